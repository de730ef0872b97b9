// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MidiThrough.h"

#include <cstring>

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

/** Merges both into the target (empty, with the room given), the passed messages only while the
    room left after the output holds them; answers how many passed messages were left out.
*/
int merge (juce::MidiBuffer& target, const juce::MidiBuffer& passed, const juce::MidiBuffer& output, size_t room) noexcept
{
    auto budget = room - (size_t) output.data.size();
    auto a = passed.begin(), b = output.begin();
    int numLeftOut = 0;

    while (a != passed.end() || b != output.end())
    {
        const auto takePassed = b == output.end() || (a != passed.end() && (*a).samplePosition <= (*b).samplePosition);
        const auto event = takePassed ? *a++ : *b++;
        const auto size = (size_t) (eventHeaderSize + event.numBytes);

        if (takePassed)
        {
            if (size > budget)
            {
                ++numLeftOut;
                continue;
            }

            budget -= size;
        }

        append (target, event.data, event.numBytes, event.samplePosition);
    }

    return numLeftOut;
}
} // namespace

MidiThrough::MidiThrough()
{
    reserve (defaultRoom);
}

void MidiThrough::reserve (size_t bytes)
{
    const auto room = juce::jlimit ((size_t) defaultRoom, (size_t) 1 << 26, bytes);
    passed.ensureSize (room);
    passedRoom = room;
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
}

void MidiThrough::pass (const juce::uint8* data, int numBytes, int sampleOffset) noexcept
{
    // The framework's events carry at most 65535 bytes.
    if (! enabled || data == nullptr || numBytes <= 0 || numBytes > 0xffff)
        return;

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

void MidiThrough::mergeInto (juce::MidiBuffer& destination, juce::MidiBuffer& output, size_t destinationRoom) noexcept
{
    const auto needed = (size_t) (passed.data.size() + output.data.size());
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

    target.clear();
    numDropped.fetch_add ((juce::uint64) merge (target, passed, output, room));

    if (! useDestination)
    {
        destination.swapWith (spare);
        spareRoom = destinationRoom; // the destination's storage, known to hold its input
    }
}

} // namespace brisquell
