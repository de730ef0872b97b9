// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plugin/BrisquellPlugInInterface.h"

#include <vector>

namespace brisquell::test
{

/** One message the processor wrote, at its offset in the block. */
struct Written
{
    int offset;
    juce::MidiMessage message;
};

/** Drives a processor the way the host boundary does: one MIDI buffer in, the same buffer
    back out, at a given sample rate.
*/
class ProcessorHarness
{
public:
    explicit ProcessorHarness (double sampleRate = 44100.0, int blockSize = 512)
    {
        processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);
    }

    Brisquell& model() { return processor.getModel(); }

    /** Runs one block of numSamples with the given input and answers what it wrote. */
    std::vector<Written> run (int numSamples, const juce::MidiBuffer& input = {})
    {
        juce::AudioBuffer<float> audio (0, numSamples);
        juce::MidiBuffer midi (input);
        processor.processBlock (audio, midi);

        std::vector<Written> written;

        for (const auto metadata : midi)
            written.push_back ({ metadata.samplePosition, metadata.getMessage() });

        return written;
    }

    /** Moves the cursor to a new place, so that the next tick has output pending. */
    void moveCursor()
    {
        JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
        processor.setParameter (0, (nextCursorStep++ % 2 == 0) ? 0.25f : 0.75f);
        JUCE_END_IGNORE_WARNINGS_GCC_LIKE
    }

    BrisquellPlugInInterface processor;

private:
    int nextCursorStep = 0;
};

inline juce::MidiBuffer midiOf (std::initializer_list<std::pair<int, juce::MidiMessage>> events)
{
    juce::MidiBuffer buffer;

    for (auto& [offset, message] : events)
        buffer.addEvent (message, offset);

    return buffer;
}

} // namespace brisquell::test
