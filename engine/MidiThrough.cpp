// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MidiThrough.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace brisquell
{

namespace
{
constexpr int eventHeaderSize = (int) (sizeof (juce::int32) + sizeof (juce::uint16));

/** Appends the event at the buffer's end, in the framework's layout; the caller keeps the
    buffer's time order and has made sure that the storage has room.
*/
void append (juce::MidiBuffer& buffer, const juce::uint8* data, int numBytes, int sampleOffset) noexcept
{
    const auto start = buffer.data.size();
    buffer.data.resize (start + eventHeaderSize + numBytes);
    auto* event = buffer.data.begin() + start;
    juce::writeUnaligned<juce::int32> (event, sampleOffset);
    juce::writeUnaligned<juce::uint16> (event + sizeof (juce::int32), (juce::uint16) numBytes);
    std::memcpy (event + eventHeaderSize, data, (size_t) numBytes);
}

/** Only channel messages wait behind late ones: system messages (clock, time code, system
    exclusive) keep their times.
*/
bool canWait (const juce::uint8* data, int numBytes) noexcept
{
    return numBytes <= 3 && data[0] >= 0x80 && data[0] < 0xf0;
}

/** Merges the three into the target (empty, with the room given), at one offset the late
    messages first, then the passed ones, then the output; the passed messages only while the
    room left after the output and the late ones holds them. Answers how many passed messages
    were left out, and counts the events written.
*/
int merge (juce::MidiBuffer& target, const juce::MidiBuffer& late, const juce::MidiBuffer& passed, const juce::MidiBuffer& output, size_t room, int& numWritten) noexcept
{
    auto budget = room - (size_t) output.data.size() - (size_t) late.data.size();
    auto l = late.begin(), a = passed.begin(), b = output.begin();
    int numLeftOut = 0;

    constexpr auto none = std::numeric_limits<int>::max();
    const auto offsetAt = [] (const juce::MidiBufferIterator& it, const juce::MidiBufferIterator& end)
    { return it != end ? (*it).samplePosition : none; };

    for (;;)
    {
        const auto lateAt = offsetAt (l, late.end()), passedAt = offsetAt (a, passed.end()), outputAt = offsetAt (b, output.end());

        if (lateAt == none && passedAt == none && outputAt == none)
            break;

        const auto fromLate = lateAt != none && lateAt <= passedAt && lateAt <= outputAt;
        const auto fromPassed = ! fromLate && passedAt != none && passedAt <= outputAt;
        const auto event = fromLate ? *l++ : fromPassed ? *a++ : *b++;
        const auto size = (size_t) (eventHeaderSize + event.numBytes);

        if (fromPassed)
        {
            if (size > budget)
            {
                ++numLeftOut;
                continue;
            }

            budget -= size;
        }

        append (target, event.data, event.numBytes, event.samplePosition);
        ++numWritten;
    }

    return numLeftOut;
}
} // namespace

MidiThrough::MidiThrough()
    : waiting ((size_t) backlogCapacity)
{
    reserve (defaultRoom);
}

void MidiThrough::reserve (size_t bytes)
{
    const auto room = juce::jlimit ((size_t) defaultRoom, (size_t) 1 << 26, bytes);
    passed.ensureSize (room);
    late.ensureSize (room);
    passedRoom = room;
    largestBlockEvents = minimumBlockEvents;
    spare.ensureSize (room * 2);
    spareRoom = reservedRoom = room * 2;
    reservedStorage = spare.data.begin();
}

size_t MidiThrough::roomOf (const juce::MidiBuffer& buffer, size_t atLeast) const noexcept
{
    // A storage keeps its address while it is cleared and refilled within its room; one that
    // was grown since holds more still.
    if (buffer.data.begin() == reservedStorage)
        return juce::jmax (atLeast, reservedRoom);

    return &buffer == &spare ? juce::jmax (atLeast, spareRoom) : atLeast;
}

void MidiThrough::begin (bool shouldPass) noexcept
{
    passed.clear();
    lastOffset = 0;
    enabled = shouldPass;
    ++blockNumber;

    // Turned off: what waited is not passed, as nothing is.
    if (! enabled)
        firstWaiting = numWaiting = 0;
}

void MidiThrough::pass (const juce::uint8* data, int numBytes, int sampleOffset) noexcept
{
    // The framework's events carry at most 65535 bytes.
    if (! enabled || data == nullptr || numBytes <= 0 || numBytes > 0xffff)
        return;

    if (numWaiting > 0 && canWait (data, numBytes))
    {
        wait (data, numBytes, sampleOffset);
        return;
    }

    if ((size_t) (passed.data.size() + eventHeaderSize + numBytes) > passedRoom)
    {
        numDropped.fetch_add (1);
        return;
    }

    if (sampleOffset < lastOffset)
    {
        passed.addEvent (data, numBytes, sampleOffset); // inserts within the room checked above
        return;
    }

    append (passed, data, numBytes, sampleOffset);
    lastOffset = sampleOffset;
}

void MidiThrough::passLate (const juce::uint8* data, int numBytes) noexcept
{
    if (enabled && data != nullptr && numBytes > 0 && canWait (data, numBytes))
        wait (data, numBytes, -1);
}

void MidiThrough::wait (const juce::uint8* data, int numBytes, int sampleOffset) noexcept
{
    if (numWaiting == backlogCapacity)
    {
        numDropped.fetch_add (1);
        return;
    }

    // Offset -1: from an earlier block.
    auto& message = waiting[(firstWaiting + numWaiting++) % backlogCapacity];
    message.bytes = {};
    std::copy (data, data + numBytes, message.bytes.begin());
    message.size = (juce::uint8) numBytes;
    message.offset = juce::jmax (0, sampleOffset);
    message.block = sampleOffset < 0 ? 0 : blockNumber;
}

void MidiThrough::takeWaiting (size_t room, int numBlockEvents) noexcept
{
    auto numToTake = juce::jmax (0, juce::jmax (largestBlockEvents, (int) minimumBlockEvents) - numBlockEvents);
    auto bytesLeft = juce::jmin (room, passedRoom);
    int offset = 0;

    for (; numWaiting > 0 && numToTake > 0; --numToTake)
    {
        const auto& message = waiting[firstWaiting];
        const auto size = (size_t) (eventHeaderSize + message.size);

        if (size > bytesLeft)
            break;

        // Messages of this block keep their offsets, in order; earlier ones go at its start.
        if (message.block == blockNumber)
            offset = juce::jmax (offset, message.offset);

        append (late, message.bytes.data(), message.size, offset);
        bytesLeft -= size;
        firstWaiting = (firstWaiting + 1) % backlogCapacity;
        --numWaiting;
    }
}

void MidiThrough::mergeInto (juce::MidiBuffer& destination, juce::MidiBuffer& output, size_t destinationRoom) noexcept
{
    const auto needed = (size_t) (passed.data.size() + output.data.size()) + (size_t) numWaiting * (eventHeaderSize + 3);
    const auto inDestination = roomOf (destination, destinationRoom);
    const auto inSpare = roomOf (spare, 0);
    const auto useDestination = inDestination >= needed || inDestination >= inSpare;
    auto& target = useDestination ? destination : spare;
    const auto room = useDestination ? inDestination : inSpare;

    if (room < (size_t) output.data.size())
    {
        // Not even the output fits into known room: it goes out whole, as it would without
        // MIDI through, and the passed messages are counted as dropped.
        numDropped.fetch_add ((juce::uint64) passed.getNumEvents());
        destination.swapWith (output);
        return;
    }

    late.clear();

    if (numWaiting > 0)
    {
        const auto ownBytes = (size_t) (passed.data.size() + output.data.size());
        takeWaiting (room > ownBytes ? room - ownBytes : 0, passed.getNumEvents() + output.getNumEvents());
    }

    target.clear();
    int numWritten = 0;
    numDropped.fetch_add ((juce::uint64) merge (target, late, passed, output, room, numWritten));
    largestBlockEvents = juce::jmax (largestBlockEvents, numWritten);

    if (! useDestination)
    {
        destination.swapWith (spare);
        spareRoom = destinationRoom; // the destination's storage, known to hold its input
    }
}

} // namespace brisquell
