// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "jack/MidiPeriod.h"

#include <jack/jack.h>

#include <atomic>
#include <memory>

namespace brisquell::jack
{

//==============================================================================
/** The app's JACK client: a MIDI input port "midi_in" and a MIDI output port "midi_out", and a
    process callback that runs a MidiPeriod on them. It never starts a server of its own: with
    none running, open() fails with a message that says so.

    Open, connect and close on the message thread. The process callback runs on JACK's process
    thread; the shutdown callback on one of JACK's threads, and only sets a flag.
*/
class JackClient final
{
public:
    /** Opens the client on the named server (JACK's default server, or $JACK_DEFAULT_SERVER,
        when the name is empty), registers the ports and prepares the period at the server's
        sample rate and period size; not yet active. None, and the reason in error, when there
        is no server or the ports cannot be made.
    */
    static std::unique_ptr<JackClient> open (const juce::String& clientName,
                                             const juce::String& serverName,
                                             MidiPeriod& period,
                                             juce::String& error);

    /** Deactivates the client and closes it; the process callback has returned for good when
        this returns.
    */
    ~JackClient();

    /** Starts the process callback. Until start() is called, its periods only send silence:
        the processor's clock and output begin once the command line's connections are made,
        so that a restored state's first output reaches them.
    */
    juce::Result activate();

    /** Lets the processor run, once the server has applied the connections made so far: JACK
        switches to a changed graph at the start of a period, so this waits (at most a second)
        until two periods have passed. Message thread.
    */
    void start();

    /** Connects a MIDI output port of another client to "midi_in" (connectInput), or
        "midi_out" to another client's MIDI input port (connectOutput). The name is a port's full
        name ("client:port"); when no port has that name, it is taken as a regular expression
        (JACK's port search) and every matching MIDI port of the right direction is connected.
        Fails, and connects nothing, when nothing matches. The client must be active.
    */
    juce::Result connectInput (const juce::String& portName);
    juce::Result connectOutput (const juce::String& portName);

    /** The names JACK gave the client and its ports ("Brisquellum:midi_in", ...). */
    juce::String getClientName() const;
    juce::String getInputPortName() const;
    juce::String getOutputPortName() const;

    /** The server's sample rate and period size, as the client follows them. Any thread. */
    double getSampleRate() const noexcept { return sampleRate.load(); }
    int getPeriodSize() const noexcept { return periodSize.load(); }

    /** True once the server has shut the client down (it stopped or threw the client out). */
    bool hasShutDown() const noexcept { return shutDown.load(); }

private:
    JackClient (jack_client_t* client, MidiPeriod& period);

    juce::Result connect (const juce::String& portName, bool toOurInput);

    /** The server's MIDI port buffer size: what a period's input can take. */
    size_t getMidiPortBytes() const;

    static int processCallback (jack_nframes_t numFrames, void* self);
    static void shutdownCallback (void* self);

    // JACK's notification thread, while the process cycle stops for a new period size: the
    // period follows with its processor and buffers (MidiPeriod::prepare).
    static int sampleRateCallback (jack_nframes_t newSampleRate, void* self);
    static int bufferSizeCallback (jack_nframes_t newPeriodSize, void* self);

    jack_client_t* client = nullptr;
    jack_port_t* inputPort = nullptr;
    jack_port_t* outputPort = nullptr;
    MidiPeriod& period;
    std::atomic<double> sampleRate{ 0.0 };
    std::atomic<int> periodSize{ 0 };
    bool active = false;
    std::atomic<bool> running{ false };
    std::atomic<juce::uint64> numPeriods{ 0 };
    std::atomic<bool> shutDown{ false };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (JackClient)
};

} // namespace brisquell::jack
