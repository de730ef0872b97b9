// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MidiTickWriter.h"

namespace brisquell
{

//==============================================================================
/** How a controller's value goes out, and the range of its number and its values:

    - sevenBit: CC `number`, one control change of 0..127 (the original kind and the default);
    - fourteenBit: the MSB on CC `number` (0..31), then the LSB on CC number + 32; 0..16383;
    - nrpn: parameter `number` (0..16383) selected with CC 99 (its MSB) and CC 98 (its LSB), then
      the value as data entry, CC 6 (MSB) and CC 38 (LSB); 0..16383.
*/
enum class ControllerKind
{
    sevenBit,
    fourteenBit,
    nrpn
};

/** The highest value of the kind: 127 or 16383. */
constexpr int getMaximumValue (ControllerKind kind) noexcept
{
    return kind == ControllerKind::sevenBit ? 127 : 16383;
}

/** The highest number of the kind: 127, 31 or 16383. */
constexpr int getMaximumNumber (ControllerKind kind) noexcept
{
    return kind == ControllerKind::sevenBit ? 127 : (kind == ControllerKind::fourteenBit ? 31 : 16383);
}

/** How many control changes one value of the kind takes: 1, 2 or 4 (see writeControllerValue). */
constexpr int getNumMessages (ControllerKind kind) noexcept
{
    return kind == ControllerKind::sevenBit ? 1 : (kind == ControllerKind::fourteenBit ? 2 : 4);
}

/** The number clamped into 0..getMaximumNumber (kind). */
constexpr int limitNumber (ControllerKind kind, int number) noexcept
{
    return number < 0 ? 0 : (number > getMaximumNumber (kind) ? getMaximumNumber (kind) : number);
}

/** A stored value taken from one kind's resolution to another's, so that it sounds the same.
    The value is first clamped into the old kind's range. From 7 to 14 bits the value moves up
    seven bits, and above the centre (64) the new low bits repeat the value's own bits above
    the centre: 0 gives 0, 64 gives 8192, 65 gives 8322 and 127 gives 16383, evenly spread and
    monotonic. From 14 to 7 bits the low seven bits are dropped: 8192 gives 64, 16383 gives 127.
    So every 7-bit value comes back unchanged from 14 bits. Between the two 14-bit kinds the
    value stays.
*/
int rescaleValue (int value, ControllerKind from, ControllerKind to) noexcept;

/** The name the row's menu shows: "CC", "14-bit CC" or "NRPN". */
const char* getDisplayName (ControllerKind kind) noexcept;

/** The state document's name for the kind: "cc14" or "nrpn"; empty for the 7-bit kind, which
    the document leaves unwritten.
*/
const char* getDocumentName (ControllerKind kind) noexcept;

/** The kind a document names (without regard to letter case); 7-bit for any other text. */
ControllerKind kindFromDocumentName (const juce::String& name) noexcept;

/** Writes a value in the kind's form: one control change for 7 bits (number and value masked
    to 7 bits, as the plug-in always sent them); MSB then LSB for 14 bits; CC 99, 98, 6 and 38
    for an NRPN. The 14-bit kinds clamp the number and the value into their ranges. Audio
    thread (any thread is safe); allocates nothing once the buffer has room.
*/
void writeControllerValue (MidiTickWriter& writer, ControllerKind kind, int channel, int number, int value);

} // namespace brisquell
