// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MidiSorter.h"

namespace brisquell
{

namespace
{
constexpr juce::uint8 noteOnStatus = 0x90, controlChangeStatus = 0xb0, programChangeStatus = 0xc0,
                      pitchBendStatus = 0xe0;

constexpr int dataEntryMsb = 6, dataEntryLsb = 38, nrpnLsb = 98, nrpnMsb = 99, rpnLsb = 100, rpnMsb = 101;

/** The length of the channel messages the sorter handles (0 for every other status). */
int sortableLength (juce::uint8 status) noexcept
{
    switch (status & 0xf0)
    {
        case noteOnStatus:
        case controlChangeStatus:
        case pitchBendStatus:
            return 3;
        case programChangeStatus:
            return 2;
        default:
            break;
    }

    return 0;
}
} // namespace

//==============================================================================
MidiSorter::MidiSorter (Target& t) noexcept : target (t)
{
    reset();
}

void MidiSorter::reset() noexcept
{
    for (auto& channel : channels)
    {
        channel.lastMsb.fill (-1);
        channel.nrpnMsb = channel.nrpnLsb = channel.dataEntryMsb = -1;
    }
}

bool MidiSorter::isSortable (const juce::uint8* data, int numBytes) noexcept
{
    if (data == nullptr || numBytes < 1)
        return false;

    const auto length = sortableLength (data[0]);

    if (length == 0 || numBytes < length)
        return false;

    // Data bytes with the top bit set are not MIDI data: such a message is malformed.
    for (int i = 1; i < length; ++i)
        if ((data[i] & 0x80) != 0)
            return false;

    return true;
}

bool MidiSorter::isChannelModeMessage (const juce::uint8* data, int numBytes) noexcept
{
    return isSortable (data, numBytes) && (data[0] & 0xf0) == controlChangeStatus && data[1] >= firstChannelModeNumber;
}

bool MidiSorter::sort (const juce::uint8* data, int numBytes)
{
    if (! isSortable (data, numBytes))
        return false;

    const auto channel = (data[0] & 0x0f) + 1;

    switch (data[0] & 0xf0)
    {
        case controlChangeStatus:
            return ! hostInstant && sortControlChange (channel, data[1], data[2]);

        case pitchBendStatus:
            return ! hostInstant && sortPitchBend (channel, (data[2] << 7) | data[1]);

        case noteOnStatus:
            // A note-on of velocity 0 is a note-off.
            return data[2] > 0 && sortTrigger ({ SceneTrigger::Kind::note, channel, data[1] });

        case programChangeStatus:
            return sortTrigger ({ SceneTrigger::Kind::programChange, channel, data[1] });

        default:
            break;
    }

    return false;
}

//==============================================================================
MidiSorter::PairPart MidiSorter::pairPartOf (const ChannelState& state, int ccNumber, int value) noexcept
{
    constexpr auto n = CursorSource::numPairedNumbers;

    // An MSB alone: the LSB counts as 0 until it comes.
    if (ccNumber < n)
        return { ccNumber, value << 7 };

    // An LSB pairs with the channel's last MSB; without one there is no value to refine.
    if (ccNumber < 2 * n)
    {
        const auto msb = state.lastMsb[(size_t) (ccNumber - n)];
        return { ccNumber - n, msb >= 0 ? (msb << 7) | value : -1 };
    }

    return {};
}

bool MidiSorter::sortControlChange (int channel, int ccNumber, int value)
{
    if (ccNumber >= firstChannelModeNumber)
    {
        // A reset of all controllers takes the channel's parameter selection with it.
        if (ccNumber == 121)
            channels[(size_t) channel - 1].nrpnMsb = channels[(size_t) channel - 1].nrpnLsb = -1;

        return false;
    }

    auto used = false;

    if (const auto request = target.getLearnRequest(); request.isCursor() && ccNumber <= CursorSource::maxControlChangeNumber)
        used = target.learnCursorSource (request, { CursorSource::Kind::controlChange, channel, ccNumber });

    auto& state = channels[(size_t) channel - 1];

    if (ccNumber < CursorSource::numPairedNumbers)
        state.lastMsb[(size_t) ccNumber] = (juce::int8) value;

    auto numMoved = moveAxesListeningTo (CursorSource::Kind::controlChange, channel, ccNumber, value);
    const auto pair = pairPartOf (state, ccNumber, value);

    if (pair.number >= 0)
    {
        // An LSB makes a 7-bit source on its MSB a pair, unless an axis listens to this number
        // as a 7-bit source of its own.
        if (ccNumber >= CursorSource::numPairedNumbers)
        {
            for (int axis = 0; axis < 2 && numMoved == 0; ++axis)
            {
                const auto source = target.getCursorSource (axis);

                if (source == CursorSource{ CursorSource::Kind::controlChange, channel, pair.number })
                    target.setCursorSource (axis, { CursorSource::Kind::controlChangePair, channel, pair.number });
            }
        }

        numMoved += moveAxesListeningTo (CursorSource::Kind::controlChangePair, channel, pair.number, pair.value);
    }

    // What drives the cursor goes nowhere else.
    if (numMoved > 0 || sortNrpnPart (state, channel, ccNumber, value))
        return true;

    int numTaken = 0;

    if (pair.number >= 0)
        numTaken = target.handleControllerValue (ControllerKind::fourteenBit, channel, pair.number, pair.value, false);

    numTaken += target.handleControllerValue (ControllerKind::sevenBit, channel, ccNumber, value, numTaken == 0);
    return used || numTaken > 0;
}

bool MidiSorter::sortNrpnPart (ChannelState& state, int channel, int ccNumber, int value)
{
    switch (ccNumber)
    {
        case nrpnMsb:
        case nrpnLsb:
        {
            const auto wasSelected = state.hasNrpn();
            (ccNumber == nrpnMsb ? state.nrpnMsb : state.nrpnLsb) = (juce::int8) value;
            state.dataEntryMsb = -1;

            if (state.nrpnMsb == 127 && state.nrpnLsb == 127)
                state.nrpnMsb = state.nrpnLsb = -1;

            if (! wasSelected)
                target.handleControllerValue (ControllerKind::sevenBit, channel, ccNumber, value, false);

            return true;
        }

        case rpnMsb:
        case rpnLsb:
            // The data entry that follows is the RPN's.
            state.nrpnMsb = state.nrpnLsb = state.dataEntryMsb = -1;
            return false;

        case dataEntryMsb:
        case dataEntryLsb:
        {
            if (! state.hasNrpn())
                return false;

            const auto number = (state.nrpnMsb << 7) | state.nrpnLsb;

            if (ccNumber == dataEntryMsb)
                state.dataEntryMsb = (juce::int8) value;

            const auto msb = (int) state.dataEntryMsb;
            const auto combined = ccNumber == dataEntryMsb ? value << 7 : (msb >= 0 ? (msb << 7) | value : -1);
            target.handleControllerValue (ControllerKind::nrpn, channel, number, combined, true);
            return true;
        }

        default:
            break;
    }

    return false;
}

bool MidiSorter::sortPitchBend (int channel, int value)
{
    auto used = false;

    if (const auto request = target.getLearnRequest(); request.isCursor())
        used = target.learnCursorSource (request, { CursorSource::Kind::pitchBend, channel, 0 });

    return moveAxesListeningTo (CursorSource::Kind::pitchBend, channel, 0, value) > 0 || used;
}

bool MidiSorter::sortTrigger (SceneTrigger trigger)
{
    auto used = false;

    if (const auto request = target.getLearnRequest(); request.kind == LearnRequest::Kind::trigger)
        used = target.learnSceneTrigger (request, trigger);

    if (! target.recallScene (trigger))
        return used;

    target.cursorPerformed (3);
    return true;
}

int MidiSorter::moveAxesListeningTo (CursorSource::Kind kind, int channel, int number, int value)
{
    int numMoved = 0;

    for (int axis = 0; axis < 2; ++axis)
    {
        const auto source = target.getCursorSource (axis);

        if (source.kind != kind || source.channel != channel || (kind != CursorSource::Kind::pitchBend && source.number != number))
            continue;

        if (value >= 0)
        {
            target.moveCursorAxis (axis, (float) value / (float) source.getMaximumValue());
            target.cursorPerformed (1 << axis);
        }

        ++numMoved;
    }

    return numMoved;
}

} // namespace brisquell
