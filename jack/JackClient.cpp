// SPDX-License-Identifier: GPL-3.0-or-later
#include "jack/JackClient.h"

#include <jack/midiport.h>

#include <cstdlib>

namespace brisquell::jack
{

namespace
{
// libjack reports its failures on stderr in its own words ("Cannot connect to server socket",
// ...); the app says what went wrong itself, so these stay quiet.
void quietly (const char*) {}

juce::String describeOpenFailure (jack_status_t status, const juce::String& serverName)
{
    // libjack takes an unnamed server from $JACK_DEFAULT_SERVER, as the message must.
    const auto* fromEnvironment = std::getenv ("JACK_DEFAULT_SERVER");
    const auto name = serverName.isNotEmpty() ? serverName : juce::String::fromUTF8 (fromEnvironment != nullptr ? fromEnvironment : "");
    const auto server = name.isNotEmpty() ? "\"" + name + "\"" : juce::String ("(the default server)");

    if ((status & JackServerFailed) != 0 || (status & JackServerError) != 0)
        return "no JACK server is running under the name " + server
               + "; start one first (jackd, or PipeWire's JACK support), or name another with --server";

    if ((status & JackVersionError) != 0)
        return "the JACK server " + server + " speaks another protocol version than this libjack";

    if ((status & JackNameNotUnique) != 0)
        return "the JACK server " + server + " refused the client name";

    return "the JACK server " + server + " refused the client (status 0x" + juce::String::toHexString ((int) status) + ")";
}
} // namespace

//==============================================================================
std::unique_ptr<JackClient> JackClient::open (const juce::String& clientName,
                                              const juce::String& serverName,
                                              MidiPeriod& period,
                                              juce::String& error)
{
    jack_set_error_function (quietly);
    jack_set_info_function (quietly);

    auto options = (int) JackNoStartServer;

    if (serverName.isNotEmpty())
        options |= (int) JackServerName;

    jack_status_t status{};
    auto* handle = serverName.isNotEmpty()
                       ? jack_client_open (clientName.toRawUTF8(), (jack_options_t) options, &status, serverName.toRawUTF8())
                       : jack_client_open (clientName.toRawUTF8(), (jack_options_t) options, &status);

    if (handle == nullptr)
    {
        error = describeOpenFailure (status, serverName);
        return nullptr;
    }

    std::unique_ptr<JackClient> result (new JackClient (handle, period));
    result->inputPort = jack_port_register (handle, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    result->outputPort = jack_port_register (handle, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);

    if (result->inputPort == nullptr || result->outputPort == nullptr)
    {
        error = "could not register the MIDI ports with the JACK server";
        return nullptr;
    }

    result->sampleRate = (double) jack_get_sample_rate (handle);
    result->periodSize = (int) jack_get_buffer_size (handle);
    period.prepare (result->sampleRate, result->periodSize, result->getMidiPortBytes());

    if (jack_set_process_callback (handle, processCallback, result.get()) != 0
        || jack_set_sample_rate_callback (handle, sampleRateCallback, result.get()) != 0
        || jack_set_buffer_size_callback (handle, bufferSizeCallback, result.get()) != 0)
    {
        error = "could not set the JACK callbacks";
        return nullptr;
    }

    jack_on_shutdown (handle, shutdownCallback, result.get());
    return result;
}

JackClient::JackClient (jack_client_t* clientToUse, MidiPeriod& periodToRun)
    : client (clientToUse), period (periodToRun)
{
}

JackClient::~JackClient()
{
    if (active && ! shutDown.load())
        jack_deactivate (client);

    jack_client_close (client);
}

juce::Result JackClient::activate()
{
    if (jack_activate (client) != 0)
        return juce::Result::fail ("could not activate the JACK client");

    active = true;
    return juce::Result::ok();
}

//==============================================================================
juce::Result JackClient::connectInput (const juce::String& portName) { return connect (portName, true); }

juce::Result JackClient::connectOutput (const juce::String& portName) { return connect (portName, false); }

juce::Result JackClient::connect (const juce::String& portName, bool toOurInput)
{
    // Our input takes what another client's output sends, and the other way round.
    const auto wantedFlags = toOurInput ? JackPortIsOutput : JackPortIsInput;
    const auto* ourPort = jack_port_name (toOurInput ? inputPort : outputPort);
    const auto direction = toOurInput ? juce::String ("MIDI output") : juce::String ("MIDI input");

    juce::StringArray names;

    if (auto* exact = jack_port_by_name (client, portName.toRawUTF8()))
    {
        if ((jack_port_flags (exact) & wantedFlags) == 0 || juce::String (jack_port_type (exact)) != JACK_DEFAULT_MIDI_TYPE)
            return juce::Result::fail ("the JACK port \"" + portName + "\" is no " + direction + " port");

        names.add (portName);
    }
    else if (const auto** found = jack_get_ports (client, portName.toRawUTF8(), JACK_DEFAULT_MIDI_TYPE, (unsigned long) wantedFlags))
    {
        for (auto** name = found; *name != nullptr; ++name)
            if (juce::String (*name) != ourPort)
                names.add (*name);

        jack_free (found);
    }

    if (names.isEmpty())
        return juce::Result::fail ("no JACK " + direction + " port matches \"" + portName + "\"");

    for (const auto& name : names)
    {
        const auto* source = toOurInput ? name.toRawUTF8() : ourPort;
        const auto* destination = toOurInput ? ourPort : name.toRawUTF8();
        const auto status = jack_connect (client, source, destination);

        if (status != 0 && status != EEXIST)
            return juce::Result::fail ("could not connect \"" + juce::String (source) + "\" to \"" + juce::String (destination) + "\"");
    }

    return juce::Result::ok();
}

void JackClient::start()
{
    const auto first = numPeriods.load();

    for (int i = 0; i < 1000 && numPeriods.load() < first + 2; ++i)
        juce::Thread::sleep (1);

    running.store (true);
}

juce::String JackClient::getClientName() const { return jack_get_client_name (client); }

juce::String JackClient::getInputPortName() const { return jack_port_name (inputPort); }

juce::String JackClient::getOutputPortName() const { return jack_port_name (outputPort); }

//==============================================================================
int JackClient::processCallback (jack_nframes_t numFrames, void* self)
{
    auto& owner = *static_cast<JackClient*> (self);
    auto* output = jack_port_get_buffer (owner.outputPort, numFrames);

    owner.numPeriods.fetch_add (1);

    if (! owner.running.load())
    {
        jack_midi_clear_buffer (output);
        return 0;
    }

    owner.period.process (jack_port_get_buffer (owner.inputPort, numFrames), output, numFrames);
    return 0;
}

int JackClient::sampleRateCallback (jack_nframes_t newSampleRate, void* self)
{
    auto& owner = *static_cast<JackClient*> (self);

    // libjack calls it once when it is set, with the rate the client already has.
    if (newSampleRate > 0 && (double) newSampleRate != owner.sampleRate.load())
    {
        owner.sampleRate.store ((double) newSampleRate);
        owner.period.prepare ((double) newSampleRate, owner.periodSize.load(), owner.getMidiPortBytes());
    }

    return 0;
}

int JackClient::bufferSizeCallback (jack_nframes_t newPeriodSize, void* self)
{
    auto& owner = *static_cast<JackClient*> (self);

    if (newPeriodSize > 0 && (int) newPeriodSize != owner.periodSize.load())
    {
        owner.periodSize.store ((int) newPeriodSize);
        owner.period.prepare (owner.sampleRate.load(), (int) newPeriodSize, owner.getMidiPortBytes());
    }

    return 0;
}

size_t JackClient::getMidiPortBytes() const
{
    const auto bytes = jack_port_type_get_buffer_size (client, JACK_DEFAULT_MIDI_TYPE);
    return bytes > 0 ? bytes : MidiPeriod::defaultInputBytes;
}

void JackClient::shutdownCallback (void* self)
{
    static_cast<JackClient*> (self)->shutDown.store (true);
}

} // namespace brisquell::jack
