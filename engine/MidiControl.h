// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_core/juce_core.h>

namespace brisquell
{

//==============================================================================
/** The MIDI message that drives one axis of the cursor, with its channel. Its whole range maps
    onto the axis as the host's cursor parameter does: the lowest value is parameter value 0, the
    highest is 1.
*/
struct CursorSource final
{
    enum class Kind
    {
        none,
        controlChange,     // 7 bits: CC `number` (0..119), 0..127
        controlChangePair, // 14 bits: the MSB on CC `number` (0..31), the LSB on CC number + 32
        pitchBend          // 14 bits: 0..16383; `number` is not used
    };

    Kind kind = Kind::none;
    int channel = 1;
    int number = 0;

    /** CC numbers 120..127 are channel mode messages (all notes off, reset, ...), which hosts
        send on their own: they are never sources.
    */
    static constexpr int maxControlChangeNumber = 119;

    /** The CC numbers an MSB can use; its LSB comes on the number + 32. */
    static constexpr int numPairedNumbers = 32;

    /** True for a kind other than none, a channel of 1..16 and a number its kind can use. */
    bool isValid() const noexcept;

    /** The highest value the source sends: 127 or 16383 (0 for none). */
    int getMaximumValue() const noexcept;

    bool operator== (const CursorSource& other) const noexcept;
    bool operator!= (const CursorSource& other) const noexcept { return ! operator== (other); }
};

//==============================================================================
/** What recalls a scene: a note-on (velocity above 0) of one note on one channel, or a program
    change of one number on one channel.
*/
struct SceneTrigger final
{
    enum class Kind
    {
        none,
        note,
        programChange
    };

    Kind kind = Kind::none;
    int channel = 1;
    int number = 0;

    /** True for a kind other than none, a channel of 1..16 and a number of 0..127. */
    bool isValid() const noexcept;

    bool operator== (const SceneTrigger& other) const noexcept;
    bool operator!= (const SceneTrigger& other) const noexcept { return ! operator== (other); }
};

//==============================================================================
/** What the editor asked to learn from the next suitable incoming message: the source of
    cursor X or Y (a control change or pitch bend), or a scene's trigger (a note-on or a
    program change). It travels from the message thread to the audio thread as one atomic word
    (pack / unpack); a scene is named by its serial number, which no other scene ever has.
*/
struct LearnRequest final
{
    enum class Kind : juce::uint8
    {
        none = 0,
        cursorX = 1,
        cursorY = 2,
        trigger = 3
    };

    Kind kind = Kind::none;
    juce::uint32 sceneSerial = 0; // trigger only

    static LearnRequest cursor (int axis) noexcept { return { axis == 0 ? Kind::cursorX : Kind::cursorY, 0 }; }
    static LearnRequest trigger (juce::uint32 serial) noexcept { return { Kind::trigger, serial }; }

    bool isCursor() const noexcept { return kind == Kind::cursorX || kind == Kind::cursorY; }
    int getAxis() const noexcept { return kind == Kind::cursorY ? 1 : 0; }

    juce::uint64 pack() const noexcept { return ((juce::uint64) sceneSerial << 8) | (juce::uint64) kind; }
    static LearnRequest unpack (juce::uint64 word) noexcept;

    bool operator== (const LearnRequest& other) const noexcept { return kind == other.kind && sceneSerial == other.sceneSerial; }
    bool operator!= (const LearnRequest& other) const noexcept { return ! operator== (other); }
};

} // namespace brisquell
