#include "engine/MidiSorter.h"

namespace brisquell
{

namespace
{
constexpr juce::uint8 noteOnStatus = 0x90, controlChangeStatus = 0xb0, programChangeStatus = 0xc0,
                      pitchBendStatus = 0xe0;

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
        channel.lastMsb.fill (-1);
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

void MidiSorter::sort (const juce::uint8* data, int numBytes)
{
    if (! isSortable (data, numBytes))
        return;

    const auto channel = (data[0] & 0x0f) + 1;

    switch (data[0] & 0xf0)
    {
        case controlChangeStatus:
            sortControlChange (channel, data[1], data[2]);
            break;

        case pitchBendStatus:
            sortPitchBend (channel, (data[2] << 7) | data[1]);
            break;

        case noteOnStatus:
            // A note-on of velocity 0 is a note-off.
            if (data[2] > 0)
                sortTrigger ({ SceneTrigger::Kind::note, channel, data[1] });
            break;

        case programChangeStatus:
            sortTrigger ({ SceneTrigger::Kind::programChange, channel, data[1] });
            break;

        default:
            break;
    }
}

//==============================================================================
void MidiSorter::sortControlChange (int channel, int ccNumber, int value)
{
    if (const auto request = target.getLearnRequest(); request.isCursor() && ccNumber <= CursorSource::maxControlChangeNumber)
        target.learnCursorSource (request, { CursorSource::Kind::controlChange, channel, ccNumber });

    auto& state = channels[(size_t) channel - 1];

    if (ccNumber < CursorSource::numPairedNumbers)
        state.lastMsb[(size_t) ccNumber] = (juce::int8) value;

    auto numMoved = moveAxesListeningTo (CursorSource::Kind::controlChange, channel, ccNumber, value);

    // An MSB alone: the LSB counts as 0 until it comes.
    numMoved += moveAxesListeningTo (CursorSource::Kind::controlChangePair, channel, ccNumber, value << 7);

    // An LSB: it pairs with the channel's last MSB, and makes a 7-bit source on that MSB a pair,
    // unless an axis listens to this number as a 7-bit source of its own.
    if (ccNumber >= CursorSource::numPairedNumbers && ccNumber < 2 * CursorSource::numPairedNumbers)
    {
        const auto msbNumber = ccNumber - CursorSource::numPairedNumbers;

        for (int axis = 0; axis < 2 && numMoved == 0; ++axis)
        {
            const auto source = target.getCursorSource (axis);

            if (source == CursorSource{ CursorSource::Kind::controlChange, channel, msbNumber })
                target.setCursorSource (axis, { CursorSource::Kind::controlChangePair, channel, msbNumber });
        }

        // Without an MSB yet there is no position to refine: the LSB moves nothing.
        if (const auto msb = state.lastMsb[(size_t) msbNumber]; msb >= 0)
            numMoved += moveAxesListeningTo (CursorSource::Kind::controlChangePair, channel, msbNumber, (msb << 7) | value);
        else
            for (int axis = 0; axis < 2; ++axis)
                if (target.getCursorSource (axis) == CursorSource{ CursorSource::Kind::controlChangePair, channel, msbNumber })
                    ++numMoved;
    }

    if (numMoved == 0)
        target.handleControllerValue (channel, ccNumber, value);
}

void MidiSorter::sortPitchBend (int channel, int value)
{
    if (const auto request = target.getLearnRequest(); request.isCursor())
        target.learnCursorSource (request, { CursorSource::Kind::pitchBend, channel, 0 });

    moveAxesListeningTo (CursorSource::Kind::pitchBend, channel, 0, value);
}

void MidiSorter::sortTrigger (SceneTrigger trigger)
{
    if (const auto request = target.getLearnRequest(); request.kind == LearnRequest::Kind::trigger)
        target.learnSceneTrigger (request, trigger);

    target.recallScene (trigger);
}

int MidiSorter::moveAxesListeningTo (CursorSource::Kind kind, int channel, int number, int value)
{
    int numMoved = 0;

    for (int axis = 0; axis < 2; ++axis)
    {
        const auto source = target.getCursorSource (axis);

        if (source.kind != kind || source.channel != channel || (kind != CursorSource::Kind::pitchBend && source.number != number))
            continue;

        target.moveCursorAxis (axis, (float) value / (float) source.getMaximumValue());
        ++numMoved;
    }

    return numMoved;
}

} // namespace brisquell
