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
    for a lock, whatever the project: its two MIDI buffers are made off the process thread with
    room for the period's input and for the largest tick the project can produce in every tick
    the period can hold at the refresh rate (prepare, updateRoom), and handed to the process
    thread through an atomic slot, which takes them at the start of its next period. What still
    does not fit (a project grown since, a burst of input) is left out and counted, never grown
    into. The processor is driven with processBlockWithoutWaiting. (Learning a new controller or
    keying a scene allocates in the model, as in every format; an ordinary period does neither.)
*/
class MidiPeriod final
{
public:
    explicit MidiPeriod (BrisquellPlugInInterface& processorToDrive);

    /** The process thread must have stopped for good. */
    ~MidiPeriod();

    /** Hands the server's sample rate and period size to the processor as a plug-in host does
        (setRateAndBufferSizeDetails, prepareToPlay), and gives the period buffers sized for them
        (see updateRoom); inputBytes is the room a period's input takes (the JACK MIDI port
        buffer's size). Any thread but the process thread, before activation or while periods
        run (JACK's sample-rate and buffer-size callbacks): the processor is told while the
        process thread is not in it, which may take until its period ends; a period that starts
        meanwhile sends nothing rather than waiting.
    */
    void prepare (double sampleRate, int maxFramesPerPeriod, size_t inputBytes = defaultInputBytes);

    /** Gives the period new buffers when the project or the refresh rate needs more room than
        the current ones have, or far less (so that memory is given back). Answers whether it
        did. Any thread but the process thread; the app calls it on its timer.
    */
    bool updateRoom();

    /** Each buffer's room in bytes: the input's, and the largest tick's in every tick the
        period can hold at the refresh interval (with some headroom for controllers learned
        before the next updateRoom).
    */
    static size_t roomFor (size_t largestTickBytes, int refreshInterval, int maxFramesPerPeriod, size_t inputBytes) noexcept;

    /** The room of the buffers made last (the process thread may still use the ones before).
        Any thread but the process thread.
    */
    size_t getRoom() const;

    /** Runs one period: reads inputBuffer's events, processes them and fills outputBuffer
        (both JACK MIDI port buffers of this period). Events that do not fit into the output
        port's buffer are counted as lost. JACK's process thread; allocates nothing and never
        waits.
    */
    void process (void* inputBuffer, void* outputBuffer, jack_nframes_t numFrames) noexcept;

    /** What was left out so far: outgoing events that did not fit into the output port's
        buffer, incoming events that did not fit into the period's buffer, and periods that
        passed the processor by while prepare told it of a new rate or size. Any thread.
    */
    juce::uint64 getNumLostOutputEvents() const noexcept { return numLostOutputEvents.load(); }
    juce::uint64 getNumDroppedInputEvents() const noexcept { return numDroppedInputEvents.load(); }
    juce::uint64 getNumHeldPeriods() const noexcept { return numHeldPeriods.load(); }

    /** The room a period's input takes when the server does not say: jackd2's MIDI port
        buffer.
    */
    static constexpr size_t defaultInputBytes = 32 * 1024;

private:
    struct Buffers
    {
        juce::MidiBuffer midi, spare;
        size_t room = 0;
    };

    /** Makes buffers of the room and puts them in the slot the process thread takes them from.
        configLock held.
    */
    void publish (size_t room);

    /** Destroys the buffers the process thread has given back. configLock held. */
    void collectRetired();

    /** The room the project needs now. configLock held. */
    size_t neededRoom() const;

    /** Takes fresh buffers from the slot, giving the old ones back. Process thread. */
    void takeFreshBuffers() noexcept;

    void readInput (void* inputBuffer, juce::MidiBuffer& midi, size_t room) noexcept;

    BrisquellPlugInInterface& processor;

    // The buffers the process thread works in (process thread only, once it runs), fresh ones
    // waiting for it, and used ones it gave back: it takes fresh ones only when the last used
    // ones have been collected, so it never frees.
    Buffers* active = nullptr;
    std::atomic<Buffers*> pending{ nullptr };
    std::atomic<Buffers*> retired{ nullptr };

    // The process thread is in the processor; a caller of prepare keeps it out.
    std::atomic<bool> inProcessor{ false }, holdProcessor{ false };

    // Everything but the process thread: the configuration the buffers were made for.
    juce::CriticalSection configLock;
    double sampleRate = 44100.0;
    int maxFrames = 1024;
    size_t inputRoom = defaultInputBytes;
    size_t publishedRoom = 0;

    std::atomic<juce::uint64> numLostOutputEvents{ 0 }, numDroppedInputEvents{ 0 }, numHeldPeriods{ 0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MidiPeriod)
};

} // namespace brisquell::jack
