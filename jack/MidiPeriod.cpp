// SPDX-License-Identifier: GPL-3.0-or-later
#include "jack/MidiPeriod.h"

#include <jack/midiport.h>

namespace brisquell::jack
{

MidiPeriod::MidiPeriod (BrisquellPlugInInterface& processorToDrive)
    : processor (processorToDrive)
{
}

void MidiPeriod::prepare (double sampleRate, int maxFramesPerPeriod)
{
    processor.setRateAndBufferSizeDetails (sampleRate, maxFramesPerPeriod);
    processor.prepareToPlay (sampleRate, maxFramesPerPeriod);
    midi.ensureSize ((size_t) midiBufferBytes);
}

void MidiPeriod::process (void* inputBuffer, void* outputBuffer, jack_nframes_t numFrames) noexcept
{
    midi.clear();

    if (inputBuffer != nullptr)
    {
        const auto numEvents = jack_midi_get_event_count (inputBuffer);

        for (jack_nframes_t i = 0; i < numEvents; ++i)
        {
            jack_midi_event_t event{};

            if (jack_midi_event_get (&event, inputBuffer, i) == 0 && event.size > 0)
                midi.addEvent (event.buffer, (int) event.size, (int) event.time);
        }
    }

    processor.processBlockWithoutWaiting (midi, (int) numFrames);

    if (outputBuffer == nullptr)
        return;

    jack_midi_clear_buffer (outputBuffer);

    for (const auto metadata : midi)
    {
        // The processor's offsets lie inside the period and come in order, as JACK requires.
        if (jack_midi_event_write (outputBuffer, (jack_nframes_t) metadata.samplePosition, metadata.data, (size_t) metadata.numBytes) != 0)
            numLostOutputEvents.fetch_add (1);
    }
}

} // namespace brisquell::jack
