// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MidiInstant.h"
#include "engine/MidiSorter.h"

namespace brisquell
{

namespace
{
bool isControlChange (const juce::MidiMessageMetadata& m) noexcept
{
    return MidiSorter::isSortable (m.data, m.numBytes) && (m.data[0] & 0xf0) == 0xb0;
}

bool isSelectionNumber (int number) noexcept { return number >= 98 && number <= 101; }
bool isDataEntryNumber (int number) noexcept { return number == 6 || number == 38; }
} // namespace

MidiInstant::Scan MidiInstant::scan (juce::MidiBufferIterator begin, juce::MidiBufferIterator end) noexcept
{
    Scan result;
    juce::uint16 dataEntryFirst = 0, seen = 0;

    for (auto it = begin; it != end; ++it)
    {
        const auto m = *it;

        if (! isControlChange (m))
            continue;

        const auto number = (int) m.data[1];
        const auto bit = (juce::uint16) (1u << (m.data[0] & 0x0f));

        if (number >= MidiSorter::firstChannelModeNumber)
            result.isHostReset = true;

        if (isDataEntryNumber (number) && (seen & bit) == 0)
        {
            dataEntryFirst |= bit;
            seen |= bit;
        }
        else if (isSelectionNumber (number))
        {
            seen |= bit;

            if ((dataEntryFirst & bit) != 0)
                result.selectionFirstChannels |= bit;
        }
    }

    return result;
}

bool MidiInstant::isSelectionOn (const juce::MidiMessageMetadata& m, juce::uint16 channels) noexcept
{
    return isControlChange (m) && isSelectionNumber (m.data[1]) && (channels & (1u << (m.data[0] & 0x0f))) != 0;
}

} // namespace brisquell
