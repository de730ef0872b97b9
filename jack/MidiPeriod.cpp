// SPDX-License-Identifier: GPL-3.0-or-later
#include "jack/MidiPeriod.h"

#include <jack/midiport.h>

#include <limits>
#include <thread>

namespace brisquell::jack
{

namespace
{
// Room in every tick for this many controllers learned before the next updateRoom, at the
// largest kind's four messages.
constexpr size_t learnedControllersHeadroom = 16;

// The framework's MIDI buffer takes a 32-bit sample position and a 16-bit size before each
// event's bytes.
constexpr size_t eventHeaderBytes = sizeof (juce::int32) + sizeof (juce::uint16);
} // namespace

MidiPeriod::MidiPeriod (BrisquellPlugInInterface& processorToDrive)
    : processor (processorToDrive)
{
    active = new Buffers();
}

MidiPeriod::~MidiPeriod()
{
    delete pending.exchange (nullptr);
    delete retired.exchange (nullptr);
    delete active;
}

void MidiPeriod::prepare (double newSampleRate, int maxFramesPerPeriod, size_t inputBytes)
{
    const juce::ScopedLock lock (configLock);

    // Keep the process thread out of the processor while it is told, as a host stops calling a
    // plug-in around prepareToPlay. JACK stops its cycle for a new period size, so this
    // normally finds it out already.
    holdProcessor.store (true);

    while (inProcessor.load())
        std::this_thread::sleep_for (std::chrono::microseconds (200));

    processor.setRateAndBufferSizeDetails (newSampleRate, maxFramesPerPeriod);
    processor.prepareToPlay (newSampleRate, maxFramesPerPeriod);
    holdProcessor.store (false);

    sampleRate = newSampleRate;
    maxFrames = juce::jmax (1, maxFramesPerPeriod);
    inputRoom = inputBytes;
    publish (neededRoom());
}

bool MidiPeriod::updateRoom()
{
    const juce::ScopedLock lock (configLock);
    collectRetired();

    const auto room = neededRoom();

    if (room <= publishedRoom && room >= publishedRoom / 4)
        return false;

    publish (room);
    return true;
}

size_t MidiPeriod::roomFor (size_t largestTickBytes, int refreshInterval, int maxFramesPerPeriod, size_t inputBytes) noexcept
{
    // Ticks are at least an interval apart and lie inside the period.
    const auto interval = (size_t) juce::jmax (1, refreshInterval);
    const auto numTicks = ((size_t) juce::jmax (1, maxFramesPerPeriod) + interval - 1) / interval;
    const auto tickBytes = largestTickBytes + learnedControllersHeadroom * 4 * BrisquellPlugInInterface::bytesPerOutputMessage;

    // The framework's buffers count their room in ints; a period beyond that drops ticks.
    const auto limit = (size_t) std::numeric_limits<int>::max() / 2;
    return juce::jmin (limit, numTicks * juce::jmin (limit, tickBytes) + juce::jmin (limit / 2, inputBytes));
}

size_t MidiPeriod::getRoom() const
{
    const juce::ScopedLock lock (configLock);
    return publishedRoom;
}

size_t MidiPeriod::neededRoom() const
{
    const auto interval = processor.getModel().getSamplesPerRefresh ((int) juce::jlimit (1.0, 1.0e9, sampleRate));
    return roomFor (processor.getLargestTickBytes(), interval, maxFrames, inputRoom);
}

void MidiPeriod::publish (size_t room)
{
    collectRetired();

    auto fresh = std::make_unique<Buffers>();
    fresh->midi.ensureSize (room);
    fresh->spare.ensureSize (room);
    fresh->room = room;

    // Buffers still waiting were never touched by the process thread.
    delete pending.exchange (fresh.release());
    publishedRoom = room;
}

void MidiPeriod::collectRetired()
{
    delete retired.exchange (nullptr);
}

void MidiPeriod::takeFreshBuffers() noexcept
{
    if (retired.load() != nullptr)
        return;

    if (auto* fresh = pending.exchange (nullptr))
    {
        retired.store (active);
        active = fresh;
    }
}

//==============================================================================
void MidiPeriod::process (void* inputBuffer, void* outputBuffer, jack_nframes_t numFrames) noexcept
{
    takeFreshBuffers();

    inProcessor.store (true);

    if (holdProcessor.load())
    {
        inProcessor.store (false);
        numHeldPeriods.fetch_add (1);

        if (outputBuffer != nullptr)
            jack_midi_clear_buffer (outputBuffer);

        return;
    }

    auto& midi = active->midi;
    readInput (inputBuffer, midi, active->room);
    processor.processBlockWithoutWaiting (midi, active->spare, active->room, (int) numFrames);
    inProcessor.store (false);

    if (outputBuffer == nullptr)
        return;

    jack_midi_clear_buffer (outputBuffer);

    juce::uint64 numLost = 0;

    for (const auto metadata : midi)
    {
        // The processor's offsets lie inside the period and come in order, as JACK requires.
        // Once the port is full, libjack would write an error message for every event it
        // refuses: the events that cannot fit are not offered to it.
        if ((size_t) metadata.numBytes > jack_midi_max_event_size (outputBuffer)
            || jack_midi_event_write (outputBuffer, (jack_nframes_t) metadata.samplePosition, metadata.data, (size_t) metadata.numBytes) != 0)
            ++numLost;
    }

    if (numLost > 0)
        numLostOutputEvents.fetch_add (numLost);
}

void MidiPeriod::readInput (void* inputBuffer, juce::MidiBuffer& midi, size_t room) noexcept
{
    midi.clear();

    if (inputBuffer == nullptr)
        return;

    const auto numEvents = jack_midi_get_event_count (inputBuffer);

    for (jack_nframes_t i = 0; i < numEvents; ++i)
    {
        jack_midi_event_t event{};

        if (jack_midi_event_get (&event, inputBuffer, i) != 0 || event.size == 0)
            continue;

        // Never grow the buffer: what does not fit is left out.
        if ((size_t) midi.data.size() + eventHeaderBytes + event.size > room)
        {
            numDroppedInputEvents.fetch_add (1);
            continue;
        }

        midi.addEvent (event.buffer, (int) event.size, (int) event.time);
    }
}

} // namespace brisquell::jack
