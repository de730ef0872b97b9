// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MidiControl.h"

namespace brisquell
{

//==============================================================================
bool CursorSource::isValid() const noexcept
{
    if (channel < 1 || channel > 16)
        return false;

    switch (kind)
    {
        case Kind::controlChange:
            return number >= 0 && number <= maxControlChangeNumber;
        case Kind::controlChangePair:
            return number >= 0 && number < numPairedNumbers;
        case Kind::pitchBend:
            return true;
        case Kind::none:
            break;
    }

    return false;
}

int CursorSource::getMaximumValue() const noexcept
{
    switch (kind)
    {
        case Kind::controlChange:
            return 127;
        case Kind::controlChangePair:
        case Kind::pitchBend:
            return 16383;
        case Kind::none:
            break;
    }

    return 0;
}

bool CursorSource::operator== (const CursorSource& other) const noexcept
{
    return kind == other.kind && channel == other.channel && number == other.number;
}

//==============================================================================
bool SceneTrigger::isValid() const noexcept
{
    return kind != Kind::none && channel >= 1 && channel <= 16 && number >= 0 && number <= 127;
}

bool SceneTrigger::operator== (const SceneTrigger& other) const noexcept
{
    return kind == other.kind && channel == other.channel && number == other.number;
}

//==============================================================================
LearnRequest LearnRequest::unpack (juce::uint64 word) noexcept
{
    const auto kindBits = (juce::uint8) (word & 0xff);

    // A word no request packs reads as none.
    if (kindBits > (juce::uint8) Kind::trigger)
        return {};

    return { (Kind) kindBits, (juce::uint32) (word >> 8) };
}

} // namespace brisquell
