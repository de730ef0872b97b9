// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plugin/BrisquellPlugInInterface.h"

#include <jack/types.h>

#include <atomic>

namespace brisquell::jack
{

//==============================================================================
/** One JACK period of the processor: the input port's MIDI events go into the processor at
    their frames, and the control changes it sends come out on the output port at theirs. The
    processor's sample clock is JACK's: it advances by each period's frame count.

    process() is what the app's JACK process callback does. It never allocates and never waits
    for a lock: the MIDI buffer is sized beforehand, and the processor is driven with
    processBlockWithoutWaiting. (Learning a new controller or keying a scene allocates in the
    model, as in every format; an ordinary period does neither.)
*/
class MidiPeriod final
{
public:
    explicit MidiPeriod (BrisquellPlugInInterface& processorToDrive);

    /** Hands the server's sample rate and period size to the processor and sizes the MIDI
        buffer. Call before the client is activated; message thread.
    */
    void prepare (double sampleRate, int maxFramesPerPeriod);

    /** Runs one period: reads inputBuffer's events, processes them and fills outputBuffer
        (both JACK MIDI port buffers of this period). Events that do not fit into the output
        port's buffer are counted as lost. JACK's process thread; allocates nothing and never
        waits.
    */
    void process (void* inputBuffer, void* outputBuffer, jack_nframes_t numFrames) noexcept;

    /** How many outgoing events did not fit into the output port's buffer so far. Any thread. */
    juce::uint64 getNumLostOutputEvents() const noexcept { return numLostOutputEvents.load(); }

    /** The MIDI buffer's room in bytes: far more than a period's JACK MIDI buffer carries in
        either direction (32 KiB in jackd2), so that neither the input nor the processor's
        output ever grows it.
    */
    static constexpr int midiBufferBytes = 256 * 1024;

private:
    BrisquellPlugInInterface& processor;
    juce::MidiBuffer midi;
    std::atomic<juce::uint64> numLostOutputEvents{ 0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MidiPeriod)
};

} // namespace brisquell::jack
