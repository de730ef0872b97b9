// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ControllerKind.h"
#include "engine/MidiControl.h"

#include <array>

namespace brisquell
{

//==============================================================================
/** Decides, for each incoming MIDI message, what it is to the plug-in, and hands it to its one
    handler:

    - a learn target: while the editor waits to learn a cursor source, the next control change
      (CC 0..119) or pitch bend becomes that axis's source; while it waits to learn a scene's
      trigger, the next note-on (velocity above 0) or program change becomes the trigger. The
      message then also does what it now stands for;
    - a cursor source: it moves its axis (both, when both axes listen to it) and goes nowhere
      else. A 14-bit pair's MSB moves the axis with the LSB taken as 0, as MIDI receivers do,
      and its LSB (CC n + 32) combines with the channel's last MSB; an LSB that arrives for a
      7-bit source on CC 0..31 makes the source a 14-bit pair;
    - a scene trigger: it recalls the first scene that holds it;
    - an NRPN part: CC 99 and 98 select a parameter number on their channel (99 its MSB, 98 its
      LSB; both must have come), and while one is selected the data entry CC 6 (MSB) and CC 38
      (LSB) carry its value, which goes to the NRPN controllers of that number. The data entry
      MSB alone gives the value with the LSB taken as 0, each LSB then combines with it, and an
      LSB before any MSB changes nothing; a new 99 or 98 waits for a new MSB. 99 and 98 reach
      the 7-bit controllers on those numbers only while no parameter is selected, and are never
      learned as controllers; 127 / 127 (the null parameter) deselects, and so does an RPN
      selection (CC 101 or 100). A data entry with nothing selected is a plain control change;
    - a controller value: every other control change. The 7-bit controllers on its number take
      it; the 14-bit controllers take an MSB (CC n, 0..31) and its LSB (CC n + 32) by the same
      rule as 14-bit cursor sources: the MSB alone gives the value with the LSB taken as 0, an
      LSB combines with the channel's last MSB and does nothing before one. When no controller
      takes the message, auto-learn may add a 7-bit controller for it (for a data entry MSB with
      a parameter selected, an NRPN controller).

    Channel mode messages (CC 120..127: all sound off, reset all controllers, local control, all
    notes off, omni and poly modes) are no controls: they are never learned, stored or keyed, and
    reset all controllers (CC 121) also deselects the channel's NRPN. While the messages being
    sorted are the host's own (see setHostInstant), control changes and pitch bend are taken by
    nothing at all.

    Everything else (note-offs, other channel messages, system messages, malformed messages)
    is ignored. sort() answers whether the plug-in used the message, so that what it did not use
    can be passed on. What lasts beyond one message (the last MSB on each channel, the selected NRPN
    and its data entry MSB) is kept here, per channel.

    Not thread-safe by itself: the model calls it under its lock. Audio thread; allocates
    nothing and never blocks.
*/
class MidiSorter final
{
public:
    //==============================================================================
    /** What the sorter consults and where it hands the messages: the model. Its functions are
        called from sort(), on the sorter's thread, and must not block.
    */
    class Target
    {
    public:
        virtual ~Target() = default;

        /** The pending learn request (none when nothing waits). */
        virtual LearnRequest getLearnRequest() const = 0;

        /** The source of the axis (0: x, 1: y). */
        virtual CursorSource getCursorSource (int axis) const = 0;

        /** The message came for the request: make the source the request's axis source. False
            when the request no longer stands, and the message then goes its usual way.
        */
        virtual bool learnCursorSource (LearnRequest request, CursorSource source) = 0;

        /** As learnCursorSource, for the request's scene trigger; false also when the scene has
            gone.
        */
        virtual bool learnSceneTrigger (LearnRequest request, SceneTrigger trigger) = 0;

        /** A 7-bit source received its LSB: it is now the 14-bit pair on the same numbers. */
        virtual void setCursorSource (int axis, CursorSource source) = 0;

        /** Moves the axis to the position the host parameter value gives (0..1 over the axis). */
        virtual void moveCursorAxis (int axis, float parameterValue) = 0;

        /** The cursor's target moved for a source (the axes of the mask, bit 0: x, bit 1: y) or
            a trigger (both): a performed move.
        */
        virtual void cursorPerformed (int axes) = 0;

        /** Recalls the first scene holding the trigger; false when none holds it. */
        virtual bool recallScene (SceneTrigger trigger) = 0;

        /** A controller value: every controller of the kind on the channel and number takes it.
            When none does and mayLearn is true, auto-learn (when on) adds a controller of the
            kind that takes it. A value below 0 only counts the controllers that listen.
            Answers how many took it (or listen).
        */
        virtual int handleControllerValue (ControllerKind kind, int channel, int number, int value, bool mayLearn) = 0;
    };

    explicit MidiSorter (Target& target) noexcept;

    /** Sorts one message of numBytes bytes (running status is not supported: the first byte is
        the status). Answers true when the plug-in used it (a learn request, a cursor source, a
        trigger that recalled a scene, an NRPN part, a controller that took the value or was
        learned for it), false when the message did nothing here. Audio thread.
    */
    bool sort (const juce::uint8* data, int numBytes);

    /** While set, the messages sorted are the host's own (a reset burst, the set-up a host sends
        as it opens a project): control changes and pitch bend are taken by nothing, so they
        learn, store, key and move nothing. Audio thread.
    */
    void setHostInstant (bool isHosts) noexcept { hostInstant = isHosts; }

    /** True for a channel mode message (CC 120..127 of full length). */
    static bool isChannelModeMessage (const juce::uint8* data, int numBytes) noexcept;

    static constexpr int firstChannelModeNumber = 120;

    /** True when the message is one the sorter does something with (a control change, note-on,
        program change or pitch bend of full length): what a deferred block must keep.
    */
    static bool isSortable (const juce::uint8* data, int numBytes) noexcept;

    /** Forgets what the channels carried (the last MSBs, the selected NRPNs). */
    void reset() noexcept;

private:
    //==============================================================================
    bool sortControlChange (int channel, int ccNumber, int value);
    bool sortPitchBend (int channel, int value);
    bool sortTrigger (SceneTrigger trigger);

    /** Moves every axis whose source is the kind on the channel and number; answers how many.
        A value below 0 moves nothing and only counts them.
    */
    int moveAxesListeningTo (CursorSource::Kind kind, int channel, int number, int value);

    // What the channels carried: the last MSB (CC 0..31), the selected NRPN's MSB and LSB and
    // its data entry MSB, each -1 before the first.
    struct ChannelState
    {
        std::array<juce::int8, CursorSource::numPairedNumbers> lastMsb;
        juce::int8 nrpnMsb, nrpnLsb, dataEntryMsb;

        bool hasNrpn() const noexcept { return nrpnMsb >= 0 && nrpnLsb >= 0; }
    };

    /** The 14-bit pair a control change is part of: the MSB's number and the pair's value, -1
        for an LSB before any MSB; none (number -1) for a CC outside 0..63.
    */
    struct PairPart
    {
        int number = -1, value = -1;
    };

    static PairPart pairPartOf (const ChannelState& state, int ccNumber, int value) noexcept;

    /** Takes the control change as an NRPN part (see the class comment); false when it is none. */
    bool sortNrpnPart (ChannelState& state, int channel, int ccNumber, int value);

    Target& target;

    std::array<ChannelState, 16> channels;
    bool hostInstant = false;

    JUCE_DECLARE_NON_COPYABLE (MidiSorter)
};

} // namespace brisquell
