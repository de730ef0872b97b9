// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MidiTickWriter.h"

namespace brisquell
{

namespace
{
constexpr int eventHeaderSize = (int) (sizeof (juce::int32) + sizeof (juce::uint16));
} // namespace

MidiTickWriter::MidiTickWriter (juce::MidiBuffer& b, int offset) noexcept
    : buffer (b), sampleOffset (offset)
{
    const auto* data = buffer.data.begin();
    const auto size = buffer.data.size();

    while (position + eventHeaderSize <= size
           && juce::readUnaligned<juce::int32> (data + position) <= sampleOffset)
        position += eventHeaderSize + (int) juce::readUnaligned<juce::uint16> (data + position + sizeof (juce::int32));
}

void MidiTickWriter::addControlChange (int channel, int ccNumber, int value)
{
    juce::uint8 event[eventHeaderSize + 3];
    juce::writeUnaligned<juce::int32> (event, sampleOffset);
    juce::writeUnaligned<juce::uint16> (event + sizeof (juce::int32), (juce::uint16) 3);
    event[eventHeaderSize] = (juce::uint8) (0xB0 | (juce::jlimit (1, 16, channel) - 1));
    event[eventHeaderSize + 1] = (juce::uint8) (ccNumber & 0x7F);
    event[eventHeaderSize + 2] = (juce::uint8) (value & 0x7F);

    buffer.data.insertArray (position, event, (int) sizeof (event));
    position += (int) sizeof (event);
}

} // namespace brisquell
