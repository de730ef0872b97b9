// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/Processes.h"

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace brisquell::test
{

//==============================================================================
/** jackd with the dummy driver (48 kHz, 128 frames, synchronous, no real-time scheduling) under
    a server name of its own, so that parallel tests never meet; stopped when dropped.
*/
class JackServer
{
public:
    JackServer();
    ~JackServer();

    const std::string& getName() const noexcept { return name; }
    bool isRunning() const noexcept { return running; }

    /** What jackd printed. */
    std::string getOutput() const { return process != nullptr ? process->getOutput() : std::string(); }

    /** Stops the server now (SIGTERM), as a user quitting it would. */
    void stop();

    static constexpr int sampleRate = 48000, periodSize = 128;

private:
    std::string name;
    std::unique_ptr<Subprocess> process;
    bool running = false;
};

//==============================================================================
/** The tests' own JACK clients: "<name>-send" with the output port "out" and "<name>-record"
    with the input port "in". Two clients, so that JACK runs the sender before the app and the
    app before the recorder within one period: what the app sends in reply shows up in the same
    period, at the frame it was sent.
*/
class MidiProbe
{
public:
    struct Event
    {
        jack_nframes_t periodStart = 0; // JACK's frame time at the start of the period
        jack_nframes_t frame = 0;       // within the period
        std::array<unsigned char, 3> bytes{};

        jack_nframes_t time() const noexcept { return periodStart + frame; }
    };

    MidiProbe (const std::string& serverName, const std::string& name);
    ~MidiProbe();

    bool isOpen() const noexcept { return sender != nullptr && recorder != nullptr; }
    std::string getSenderPort() const { return name + "-send:out"; }
    std::string getRecorderPort() const { return name + "-record:in"; }

    /** Sends a control change at the frame of the next period. */
    void sendControlChange (int channel, int number, int value, jack_nframes_t frame);

    /** From the next period on, sends CC number on channel 1 in every period, at frame 5, with
        a value that changes every period (1 to 127 in turn).
    */
    void startStreaming (int number);

    /** Asks the server for a new period size (a power of two), as jack_bufsize does. */
    bool setPeriodSize (jack_nframes_t numFrames);

    /** What was sent and what was recorded so far, in order. */
    std::vector<Event> getSent() const;
    std::vector<Event> getRecorded() const;

    /** Waits until at least the number of events has been recorded. */
    bool waitForRecorded (size_t count, int timeoutMilliseconds = 20000) const;

private:
    static int processSender (jack_nframes_t numFrames, void* self);
    static int processRecorder (jack_nframes_t numFrames, void* self);

    static constexpr size_t capacity = 1 << 16;

    std::string name;
    jack_client_t* sender = nullptr;
    jack_client_t* recorder = nullptr;
    jack_port_t* outputPort = nullptr;
    jack_port_t* inputPort = nullptr;

    // One pending control change, handed from the test's thread to the sender's period.
    std::atomic<bool> hasPending{ false };
    Event pending;
    std::atomic<int> streamingNumber{ -1 };
    unsigned streamCounter = 0;

    std::vector<Event> sent, recorded;
    std::atomic<size_t> numSent{ 0 }, numRecorded{ 0 };
};

/** The built app and a fixture file. */
std::string appPath();
std::string fixturePath (const std::string& name);

} // namespace brisquell::test
