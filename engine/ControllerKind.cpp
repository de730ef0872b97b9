// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ControllerKind.h"

namespace brisquell
{

int rescaleValue (int value, ControllerKind from, ControllerKind to) noexcept
{
    const auto v = juce::jlimit (0, getMaximumValue (from), value);
    const auto isFromSevenBits = from == ControllerKind::sevenBit, isToSevenBits = to == ControllerKind::sevenBit;

    if (isFromSevenBits == isToSevenBits)
        return isFromSevenBits ? value : v;

    if (isToSevenBits)
        return v >> 7;

    if (v <= 64)
        return v << 7;

    const auto aboveCentre = v & 63; // six bits, spread over the seven new ones
    return (v << 7) | (aboveCentre << 1) | (aboveCentre >> 5);
}

const char* getDisplayName (ControllerKind kind) noexcept
{
    switch (kind)
    {
        case ControllerKind::fourteenBit:
            return "14-bit CC";
        case ControllerKind::nrpn:
            return "NRPN";
        case ControllerKind::sevenBit:
            break;
    }

    return "CC";
}

const char* getDocumentName (ControllerKind kind) noexcept
{
    switch (kind)
    {
        case ControllerKind::fourteenBit:
            return "cc14";
        case ControllerKind::nrpn:
            return "nrpn";
        case ControllerKind::sevenBit:
            break;
    }

    return "";
}

ControllerKind kindFromDocumentName (const juce::String& name) noexcept
{
    for (auto kind : { ControllerKind::fourteenBit, ControllerKind::nrpn })
        if (name.equalsIgnoreCase (getDocumentName (kind)))
            return kind;

    return ControllerKind::sevenBit;
}

void writeControllerValue (MidiTickWriter& writer, ControllerKind kind, int channel, int number, int value)
{
    if (kind == ControllerKind::sevenBit)
    {
        writer.addControlChange (channel, number, value);
        return;
    }

    const auto n = limitNumber (kind, number);
    const auto v = juce::jlimit (0, getMaximumValue (kind), value);

    if (kind == ControllerKind::fourteenBit)
    {
        writer.addControlChange (channel, n, v >> 7);
        writer.addControlChange (channel, n + 32, v);
        return;
    }

    writer.addControlChange (channel, 99, n >> 7);
    writer.addControlChange (channel, 98, n);
    writer.addControlChange (channel, 6, v >> 7);
    writer.addControlChange (channel, 38, v);
}

} // namespace brisquell
