// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

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
*/
class MidiThrough final
{
public:
    /** The room reserved at construction, and the least reserve keeps. */
    static constexpr size_t defaultRoom = 65536;

    MidiThrough();

    /** Makes room for the passed messages of blocks whose input takes up to `bytes` in a MIDI
        buffer, and as much again for merging them. Never on the audio thread, never while a
        block runs (a host calls it from prepareToPlay).
    */
    void reserve (size_t bytes);

    /** Starts a block: forgets what was passed; passes nothing more unless enabled. */
    void begin (bool enabled) noexcept;

    bool isEnabled() const noexcept { return enabled; }
    bool isEmpty() const noexcept { return passed.data.isEmpty(); }

    /** Keeps the message for the output at the offset (when enabled). Offsets normally come in
        order; one earlier than the last still finds its place.
    */
    void pass (const juce::uint8* data, int numBytes, int sampleOffset) noexcept;

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
    size_t roomOf (const juce::MidiBuffer& buffer, size_t atLeast) const noexcept;

    juce::MidiBuffer passed, spare;
    size_t passedRoom = 0, spareRoom = 0;
    // The storage reserve made for merging, wherever it went since, and its room.
    const juce::uint8* reservedStorage = nullptr;
    size_t reservedRoom = 0;
    int lastOffset = 0;
    bool enabled = false;
    std::atomic<juce::uint64> numDropped{ 0 };

    JUCE_DECLARE_NON_COPYABLE (MidiThrough)
};

} // namespace brisquell
