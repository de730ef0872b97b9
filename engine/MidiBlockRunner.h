// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Brisquell.h"
#include "engine/MidiThrough.h"

#include <array>
#include <atomic>
#include <limits>

namespace brisquell
{

//==============================================================================
/** Runs the model through one block of the host's sample clock: the block's incoming MIDI goes
    into the model at its offsets, the output ticks that fall inside the block write the due
    control changes, a running glide is sampled at every tick, and with "pass other MIDI
    through" on what the model did not use stays in the block, merged in time order with the
    output. The plug-in's processBlock and the JACK app's period both go through process().

    The tick rule
    -------------
    Output ticks lie on the sample clock (samples since construction); at a tick the model
    writes what is due, if anything, and the next tick may come one interval later.

    As long as nothing plays from a controller (no glide time, no running glide, no cursor
    source, no scene trigger, no learn request), the rule is the one hosts have always seen:
    the whole block's input is applied at its start, and ticks fall at the next output time,
    which advances one interval per write. After a quiet spell it lies behind the clock, so
    writes land at offset 0 of each block with output pending until it has caught up, one
    interval per write; with an interval shorter than the block, one write per block.

    Once something plays from a controller, the rule is exact on the absolute sample clock, so
    that the same input at the same sample times gives the same output at the same times,
    whatever the block size:
    - every incoming message takes effect at its own sample time (its offset, kept inside the
      block); what reaches the model between blocks (host parameters, the editor, parked moves)
      takes effect at the next block's first sample;
    - the model is active while output is pending or a glide runs; a tick falls at
      max (next output time, the time the model became active), never before the block's
      start; ticks before an event's time are worked out before the event, so a tick sees the
      input up to and including its own sample time;
    - at a tick a running glide first places the cursor at its position for that time; then
      the due output is written; then the next output time = the tick + interval. A glide thus
      ticks on a grid that starts where it starts, and its first tick (at its start, where it
      has not moved yet) writes nothing of its own.
    Only a block that found the model busy breaks this: its input is applied with the next
    block, at the sample times it arrived at, and its ticks come no earlier than that block.

    Threads
    -------
    process() runs on the audio thread (JACK's process thread) and takes the model's lock once
    per block, only by trying it. When another thread is briefly inside the model, the block's
    messages that the model can use go into a preallocated stash, with the sample times they
    arrived at, and the block writes no output; the next block that gets the lock hands the
    stash to the model, in order, before its own input. A caller that may wait does so only
    when the stash is full; one that may not drops what does not fit and counts it. Allocates
    nothing once the buffers have room.
*/
class MidiBlockRunner final
{
public:
    /** The block's owner: told at the start of every block the model's lock is held for, before
        any input (the processor applies the cursor moves its parameters parked). Audio thread.
    */
    struct Owner
    {
        virtual ~Owner() = default;
        virtual void blockStartsLocked() = 0;
    };

    MidiBlockRunner (Brisquell& model, Owner& owner);

    /** The number of messages the stash can hold while the model is busy. */
    static constexpr int stashCapacity = 65536;

    /** The room one outgoing message takes in a MIDI buffer. */
    static constexpr size_t bytesPerOutputMessage = sizeof (juce::int32) + sizeof (juce::uint16) + 3;

    /** The room of a block whose output buffer may grow. */
    static constexpr size_t unlimitedRoom = std::numeric_limits<size_t>::max();

    /** Reserves MIDI through's room for blocks of up to that many samples, and marks the next
        restore as one a host opening a project does (see stateRestored). Not on the audio thread.
    */
    void prepare (int maximumExpectedSamplesPerBlock);

    /** Told after every restore of the state, on the thread that restored it. A host opening a
        project restores it before processing starts, then sends its own set-up (its mixer's
        volume and pan, say) with the first block: that block's control changes are the host's,
        not the musician's. A state with nothing in it (hasContent false) has nothing to keep.
        Blocks on the restoring thread, before any on another, are a host's probe run (see
        takeRestoreProbe). Any thread but the audio thread.
    */
    void stateRestored (bool hasContent);

    /** Runs one block of numSamples samples at the sample rate (a whole number): reads midi's
        input, writes the output into `out` and swaps it (merged with what passes through) into
        `midi`. `room` is the bytes both buffers' storage holds (unlimitedRoom: out may grow); a
        tick whose messages might not fit into the room left is left out and counted, and its
        values go out with the next tick that has room. mayWait false: never waits for the model
        (see the class). Audio thread.
    */
    void process (juce::MidiBuffer& midi, juce::MidiBuffer& out, size_t room, int numSamples, int sampleRate, bool mayWait);

    /** The sample time at which the next output tick is due, and the sample time of the next
        block's first sample. Audio thread; for tests.
    */
    double getNextOutputTime() const noexcept { return nextOutputTime; }
    double getElapsedSamples() const noexcept { return elapsedSamples; }

    /** What was left out so far: ticks for want of room, incoming messages the model would have
        used for want of stash room (never waiting), passed messages for want of room. Any thread.
    */
    juce::uint64 getNumDroppedOutputTicks() const noexcept { return numDroppedOutputTicks.load(); }
    juce::uint64 getNumDroppedControlChanges() const noexcept { return numDroppedControlChanges.load(); }
    juce::uint64 getNumDroppedPassedMessages() const noexcept { return through.getNumDropped(); }

    /** The MIDI buffer room, in bytes, that the largest tick of the model's current project
        takes: every controller's value in its kind's messages. Any thread; locks the model.
    */
    size_t getLargestTickBytes() const;

private:
    /** The block's work once the model's lock is held. */
    void runBlock (juce::MidiBuffer& midi, juce::MidiBuffer& out, size_t room, int numSamples, int sampleRate);

    /** The block's input, each message at its offset (exact timing: with the ticks before it). */
    void runInput (const juce::MidiBuffer& midi, juce::MidiBuffer& out, size_t room, int numSamples, int interval, bool isExact);

    /** A block the model was too busy for: its input stashed (or, when even that cannot take it
        and mayWait is false, what fits; answers false when the caller must wait instead), the
        clock run on.
    */
    bool skipBusyBlock (juce::MidiBuffer& midi, int numSamples, int sampleRate, bool mayWait);

    /** Writes the output of every tick due before the sample time `until`. Lock held. */
    void runTicksBefore (double until, bool isExact, int interval, juce::MidiBuffer& output, size_t room);

    /** True when the room left can take the largest tick of the model as it stands. Lock held. */
    bool hasRoomForTick (const juce::MidiBuffer& buffer, size_t room);

    /** Whether this block runs on the thread that last restored the state, before any block on
        another thread has run since: a host's probe run (one LV2 host runs a block from the
        thread that restored the state, to read the latency, and drops what it sends). The first
        block on another thread ends that; when a probe block sent something, the restored
        values are due again. Lock held.
    */
    bool takeRestoreProbe();

    bool isModelActive() const noexcept { return model.needsOutputLocked() || model.isGlidingLocked(); }

    /** The sample time of an event at the offset, which is kept inside the block. */
    double timeOfEvent (int sampleOffset, int numSamples) const noexcept;

    bool stashMessages (const juce::MidiBuffer& midi, int numSamples) noexcept;
    int stashWhatFits (const juce::MidiBuffer& midi, int numSamples) noexcept;
    void feedStash();
    void passUnsortable (juce::MidiBuffer& midi);
    bool takeHostSetUp() noexcept { return hostSetUpPending.exchange (false); }

    Brisquell& model;
    Owner& owner;

    // Audio thread only: the clock, and the sample time since which the model has been active
    // (output pending or a glide running) under the exact tick rule.
    double nextOutputTime = 0.0;
    double elapsedSamples = 0.0;
    double activeSince = 0.0;
    MidiThrough through;

    // Audio thread only: messages that arrived while the model was busy.
    struct StashedMessage
    {
        double time;
        std::array<juce::uint8, 3> bytes;
        int size;
        bool isHosts; // a host's reset or set-up (see MidiSorter::setHostInstant)
    };

    juce::HeapBlock<StashedMessage> stash;
    int numStashed = 0;

    // Audio thread only: the largest tick's bytes for the controller count it was worked out
    // for (-1: work it out again).
    int largestTickControllers = -1;
    size_t largestTickBytes = 0;
    std::atomic<juce::uint64> numDroppedOutputTicks{ 0 }, numDroppedControlChanges{ 0 };

    // The thread that last restored the state, until a block runs on another (see
    // takeRestoreProbe), and whether a block on it sent something meanwhile (under the model's lock).
    std::atomic<juce::Thread::ThreadID> restoredOnThread{ nullptr };
    bool restoredOutputProbed = false;

    // A project restored before the first block since processing started (a host opening it):
    // the next block's control changes and pitch bend are the host's set-up.
    std::atomic<bool> processedSinceStart{ false }, hostSetUpPending{ false };

    JUCE_DECLARE_NON_COPYABLE (MidiBlockRunner)
};

} // namespace brisquell
