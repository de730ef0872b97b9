// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace brisquell
{

//==============================================================================
/** A block's incoming MIDI taken one instant (one sample offset) at a time, for what only the
    messages of an instant together tell:

    - A host's reset: a channel mode message (CC 120..127) at the instant, on any channel. Hosts
      send all notes off, reset all controllers or all sound off, often on all 16 channels, with
      sustain off (CC 64 = 0) and sometimes a centred pitch bend before or after them, all at one
      instant. Every message of such an instant is the host's, not a performer's.
    - A parameter selection delivered after its data entry: when, on one channel, data entry
      (CC 6 or 38) comes first at an instant and an NRPN or RPN selection (CC 98..101) follows at
      the same instant (the order of a client that sorts one offset's control changes by their
      number), the channel's selection is handed on first.

    forEach() hands every message on, an instant at a time, in that order. Audio thread;
    allocates nothing.
*/
class MidiInstant final
{
public:
    /** What one instant's messages tell. */
    struct Scan
    {
        bool isHostReset = false;
        juce::uint16 selectionFirstChannels = 0; // bit c - 1 for channel c
    };

    /** Scans the messages from begin up to end (one instant's). */
    static Scan scan (juce::MidiBufferIterator begin, juce::MidiBufferIterator end) noexcept;

    /** True when the message is a selection (CC 98..101) on a channel of the mask. */
    static bool isSelectionOn (const juce::MidiMessageMetadata& metadata, juce::uint16 channels) noexcept;

    /** Calls handle (metadata, isHostReset) for every message of the buffer in time order,
        with each instant's late selections first.
    */
    template <typename Handler>
    static void forEach (const juce::MidiBuffer& buffer, Handler&& handle)
    {
        for (auto it = buffer.begin(); it != buffer.end();)
        {
            auto end = it;
            const auto position = (*it).samplePosition;

            while (end != buffer.end() && (*end).samplePosition == position)
                ++end;

            const auto instant = scan (it, end);

            if (instant.selectionFirstChannels == 0)
            {
                for (; it != end; ++it)
                    handle (*it, instant.isHostReset);

                continue;
            }

            for (auto first = it; first != end; ++first)
                if (isSelectionOn (*first, instant.selectionFirstChannels))
                    handle (*first, instant.isHostReset);

            for (; it != end; ++it)
                if (! isSelectionOn (*it, instant.selectionFirstChannels))
                    handle (*it, instant.isHostReset);
        }
    }
};

} // namespace brisquell
