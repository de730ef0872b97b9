// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>
#include <atomic>

namespace brisquell
{

//==============================================================================
/** Collects the incoming messages of a block that the plug-in did not use ("pass other MIDI
    through"), each at its own sample offset, and merges them in time order with the plug-in's
    own output; at one offset the passed messages go first, as the input that came there came
    before the output ticks falling there.

    Audio thread, except reserve; never allocates there. The room is reserved beforehand: a
    message that finds no room left, in the collector or in the merged block, is not passed but
    counted (getNumDropped). The plug-in's own output is never cut for it.

    Late messages
    -------------
    Messages held back from earlier blocks (the model was busy then; see passLate) go out at the
    start of the next block, oldest first. They never make a block larger than the largest one
    since reserve (and at least minimumBlockEvents): a host sizes its event lists to what it has
    seen (the framework's VST 2.4 client grows its list on the audio thread, one allocation per
    event), and a long busy spell would otherwise come out as one block of many blocks' input.
    What does not fit waits for the next block; while anything waits, the short messages passed
    after it wait behind it, so that nothing overtakes (a note-off never its note-on). System
    real-time messages (clock, start, stop) and system exclusive ones are never held.
*/
class MidiThrough final
{
public:
    /** The room reserved at construction, and the least reserve keeps. */
    static constexpr size_t defaultRoom = 65536;

    /** The messages that can wait to go out late, and the events any block may carry. */
    static constexpr int backlogCapacity = 65536;
    static constexpr int minimumBlockEvents = 512;

    MidiThrough();

    /** Makes room for the passed messages of blocks whose input takes up to `bytes` in a MIDI
        buffer, and as much again for merging them. Never on the audio thread, never while a
        block runs (a host calls it from prepareToPlay).
    */
    void reserve (size_t bytes);

    /** Starts a block: forgets what was passed; passes nothing more unless enabled. */
    void begin (bool enabled) noexcept;

    bool isEnabled() const noexcept { return enabled; }

    /** True when this block has nothing to pass: none of its own, none waiting from before. */
    bool isEmpty() const noexcept { return passed.data.isEmpty() && numWaiting == 0; }

    /** Keeps the message for the output at the offset (when enabled). Offsets normally come in
        order; one earlier than the last still finds its place.
    */
    void pass (const juce::uint8* data, int numBytes, int sampleOffset) noexcept;

    /** Keeps a message of up to three bytes from an earlier block, to go out at the start of this
        block or, when it would be too large, of a later one (see the class). When enabled.
    */
    void passLate (const juce::uint8* data, int numBytes) noexcept;

    /** Replaces the destination's events with the passed messages and the output, merged in
        time order. The destination must not be the output; `destinationRoom` is what its
        storage is known to hold at least (the bytes it held on entry to the block).

        The merged block is built where there is known room: in the destination when its storage
        is the one reserve made (it stays there from the first block on) or holds enough, else in
        that reserved storage, which is then traded into the destination. Passed messages beyond
        the room are dropped (the latest first) and counted; where not even the output fits, the
        output's storage is traded into the destination and all passed messages are counted.
    */
    void mergeInto (juce::MidiBuffer& destination, juce::MidiBuffer& output, size_t destinationRoom) noexcept;

    /** How many messages were not passed for want of room so far. Any thread. */
    juce::uint64 getNumDropped() const noexcept { return numDropped.load(); }

private:
    /** A message waiting to go out late: at its offset when it goes out in the block it was
        passed in, at the block's start otherwise.
    */
    struct Waiting
    {
        std::array<juce::uint8, 3> bytes;
        juce::uint8 size;
        int offset;
        juce::uint64 block;
    };

    size_t roomOf (const juce::MidiBuffer& buffer, size_t atLeast) const noexcept;
    void wait (const juce::uint8* data, int numBytes, int sampleOffset) noexcept;
    void takeWaiting (size_t room, int numBlockEvents) noexcept;

    juce::MidiBuffer passed, late, spare;
    size_t passedRoom = 0, spareRoom = 0;
    // The storage reserve made for merging, wherever it went since, and its room.
    const juce::uint8* reservedStorage = nullptr;
    size_t reservedRoom = 0;
    int lastOffset = 0;
    bool enabled = false;

    // Late messages, oldest at firstWaiting; the block number begin() counts; the events of the
    // largest block since reserve.
    juce::HeapBlock<Waiting> waiting;
    int firstWaiting = 0, numWaiting = 0;
    juce::uint64 blockNumber = 0;
    int largestBlockEvents = minimumBlockEvents;
    std::atomic<juce::uint64> numDropped{ 0 };

    JUCE_DECLARE_NON_COPYABLE (MidiThrough)
};

} // namespace brisquell
