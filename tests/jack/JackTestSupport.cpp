// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackTestSupport.h"

#include <jack/midiport.h>

#include <csignal>
#include <unistd.h>

namespace brisquell::test
{

namespace
{
std::atomic<int> nextScratchNumber{ 0 };

void quietly (const char*) {}
} // namespace

//==============================================================================
JackServer::JackServer()
    : name ("brisquell-test-" + std::to_string (getpid()) + "-" + std::to_string (nextScratchNumber.fetch_add (1)))
{
    jack_set_error_function (quietly);
    jack_set_info_function (quietly);

    process = std::make_unique<Subprocess> (std::vector<std::string>{ "jackd", "-S", "-n", name, "--no-realtime", "-t", "5000", "-d", "dummy", "-r", std::to_string (sampleRate), "-p", std::to_string (periodSize) });

    // Ready once a client can connect.
    running = waitUntil ([this]
                         {
                             jack_status_t status {};
                             auto* probe = jack_client_open ("probe", (jack_options_t) (JackNoStartServer | JackServerName), &status, name.c_str());

                             if (probe == nullptr)
                                 return false;

                             jack_client_close (probe);
                             return true; },
                         30000);
}

JackServer::~JackServer() { stop(); }

void JackServer::stop()
{
    if (process == nullptr)
        return;

    process->sendSignal (SIGTERM);

    if (process->waitForExit (20000) < 0)
        process->sendSignal (SIGKILL);

    process.reset();
    running = false;
}

//==============================================================================
MidiProbe::MidiProbe (const std::string& serverName, const std::string& clientName)
    : name (clientName)
{
    sent.resize (capacity);
    recorded.resize (capacity);

    // A busy server may not answer a client's opening in time; try for a while.
    const auto options = (jack_options_t) (JackNoStartServer | JackServerName | JackUseExactName);
    const auto openClient = [&] (jack_client_t*& client, const std::string& fullName)
    {
        return waitUntil ([&]
                          { return (client = jack_client_open (fullName.c_str(), options, nullptr, serverName.c_str())) != nullptr; },
                          20000);
    };

    openClient (sender, name + "-send");
    openClient (recorder, name + "-record");

    if (! isOpen())
        return;

    outputPort = jack_port_register (sender, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    inputPort = jack_port_register (recorder, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback (sender, processSender, this);
    jack_set_process_callback (recorder, processRecorder, this);
    jack_activate (sender);
    jack_activate (recorder);
}

MidiProbe::~MidiProbe()
{
    for (auto* client : { sender, recorder })
    {
        if (client != nullptr)
        {
            jack_deactivate (client);
            jack_client_close (client);
        }
    }
}

void MidiProbe::sendControlChange (int channel, int number, int value, jack_nframes_t frame)
{
    waitUntil ([this]
               { return ! hasPending.load(); },
               5000);
    pending.frame = frame;
    pending.bytes = { (unsigned char) (0xb0 | (channel - 1)), (unsigned char) number, (unsigned char) value };
    hasPending.store (true);
    waitUntil ([this]
               { return ! hasPending.load(); },
               20000);
}

bool MidiProbe::setPeriodSize (jack_nframes_t numFrames) { return jack_set_buffer_size (sender, numFrames) == 0; }

void MidiProbe::startStreaming (int number) { streamingNumber.store (number); }

std::vector<MidiProbe::Event> MidiProbe::getSent() const
{
    return std::vector<Event> (sent.begin(), sent.begin() + (long) numSent.load());
}

std::vector<MidiProbe::Event> MidiProbe::getRecorded() const
{
    return std::vector<Event> (recorded.begin(), recorded.begin() + (long) numRecorded.load());
}

bool MidiProbe::waitForRecorded (size_t count, int timeoutMilliseconds) const
{
    return waitUntil ([&]
                      { return numRecorded.load() >= count; },
                      timeoutMilliseconds);
}

int MidiProbe::processSender (jack_nframes_t numFrames, void* self)
{
    auto& probe = *static_cast<MidiProbe*> (self);
    auto* buffer = jack_port_get_buffer (probe.outputPort, numFrames);
    jack_midi_clear_buffer (buffer);

    const auto periodStart = jack_last_frame_time (probe.sender);
    const auto write = [&] (Event event)
    {
        event.periodStart = periodStart;
        const auto index = probe.numSent.load();

        if (index < capacity && jack_midi_event_write (buffer, event.frame, event.bytes.data(), 3) == 0)
        {
            probe.sent[index] = event;
            probe.numSent.store (index + 1);
        }
    };

    if (probe.hasPending.load())
    {
        write (probe.pending);
        probe.hasPending.store (false);
    }

    if (const auto number = probe.streamingNumber.load(); number >= 0)
        write ({ 0, 5, { 0xb0, (unsigned char) number, (unsigned char) (1 + probe.streamCounter++ % 127) } });

    return 0;
}

int MidiProbe::processRecorder (jack_nframes_t numFrames, void* self)
{
    auto& probe = *static_cast<MidiProbe*> (self);
    auto* buffer = jack_port_get_buffer (probe.inputPort, numFrames);
    const auto periodStart = jack_last_frame_time (probe.recorder);

    for (jack_nframes_t i = 0; i < jack_midi_get_event_count (buffer); ++i)
    {
        jack_midi_event_t event{};
        const auto index = probe.numRecorded.load();

        if (jack_midi_event_get (&event, buffer, i) != 0 || event.size != 3 || index >= capacity)
            continue;

        probe.recorded[index] = { periodStart, event.time, { event.buffer[0], event.buffer[1], event.buffer[2] } };
        probe.numRecorded.store (index + 1);
    }

    return 0;
}

//==============================================================================
std::string appPath() { return BRISQUELL_JACK_APP; }

std::string fixturePath (const std::string& fileName) { return std::string (BRISQUELL_PLUGIN_FIXTURES) + "/" + fileName; }

} // namespace brisquell::test
