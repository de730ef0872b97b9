// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MidiThrough.h"

#include <cstring>

namespace brisquell
{

namespace
{
constexpr int eventHeaderSize = (int) (sizeof (juce::int32) + sizeof (juce::uint16));

/** Appends the event at the buffer's end, in the framework's layout; the caller keeps the
    buffer's time order.
*/
void append (juce::MidiBuffer& buffer, const juce::uint8* data, int numBytes, int sampleOffset)
{
    const auto start = buffer.data.size();
    buffer.data.resize (start + eventHeaderSize + numBytes);
    auto* event = buffer.data.begin() + start;
    juce::writeUnaligned<juce::int32> (event, sampleOffset);
    juce::writeUnaligned<juce::uint16> (event + sizeof (juce::int32), (juce::uint16) numBytes);
    std::memcpy (event + eventHeaderSize, data, (size_t) numBytes);
}
} // namespace

MidiThrough::MidiThrough()
{
    passed.ensureSize (2048);
}

void MidiThrough::begin (bool shouldPass) noexcept
{
    passed.clear();
    lastOffset = 0;
    enabled = shouldPass;
}

void MidiThrough::pass (const juce::uint8* data, int numBytes, int sampleOffset)
{
    // The framework's events carry at most 65535 bytes.
    if (! enabled || data == nullptr || numBytes <= 0 || numBytes > 0xffff)
        return;

    if (sampleOffset < lastOffset)
    {
        passed.addEvent (data, numBytes, sampleOffset);
        return;
    }

    append (passed, data, numBytes, sampleOffset);
    lastOffset = sampleOffset;
}

void MidiThrough::mergeInto (juce::MidiBuffer& destination, const juce::MidiBuffer& output) const
{
    destination.clear();
    destination.ensureSize ((size_t) (passed.data.size() + output.data.size()));
    auto a = passed.begin(), b = output.begin();

    while (a != passed.end() || b != output.end())
    {
        const auto takePassed = b == output.end() || (a != passed.end() && (*a).samplePosition <= (*b).samplePosition);
        const auto event = takePassed ? *a++ : *b++;
        append (destination, event.data, event.numBytes, event.samplePosition);
    }
}

} // namespace brisquell
