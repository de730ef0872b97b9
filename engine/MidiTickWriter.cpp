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

MidiTickWriter::MidiTickWriter (juce::MidiBuffer& b, int offset, AtEnd) noexcept
    : buffer (b), sampleOffset (offset), position (b.data.size())
{
}

MidiTickWriter::~MidiTickWriter()
{
    flush();
}

void MidiTickWriter::addControlChange (int channel, int ccNumber, int value)
{
    if (numBatched == batchEvents)
        flush();

    auto* event = batch + numBatched * eventBytes;
    juce::writeUnaligned<juce::int32> (event, sampleOffset);
    juce::writeUnaligned<juce::uint16> (event + sizeof (juce::int32), (juce::uint16) 3);
    event[eventHeaderSize] = (juce::uint8) (0xB0 | (juce::jlimit (1, 16, channel) - 1));
    event[eventHeaderSize + 1] = (juce::uint8) (ccNumber & 0x7F);
    event[eventHeaderSize + 2] = (juce::uint8) (value & 0x7F);
    ++numBatched;
}

void MidiTickWriter::flush()
{
    if (numBatched == 0)
        return;

    // At the end (the usual case) the framework copies the batch in one go.
    if (position == buffer.data.size())
        buffer.data.addArray (static_cast<const juce::uint8*> (batch), numBatched * eventBytes);
    else
        buffer.data.insertArray (position, batch, numBatched * eventBytes);

    position += numBatched * eventBytes;
    numBatched = 0;
}

} // namespace brisquell
