// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace brisquell
{

//==============================================================================
/** Collects the incoming messages of a block that the plug-in did not use ("pass other MIDI
    through"), each at its own sample offset, and merges them in time order with the plug-in's
    own output; at one offset the passed messages go first, as the input that came there came
    before the output ticks falling there. Audio thread; allocates nothing once its buffer has
    room (the largest block's input).
*/
class MidiThrough final
{
public:
    MidiThrough();

    /** Starts a block: forgets what was passed; passes nothing more unless enabled. */
    void begin (bool enabled) noexcept;

    bool isEnabled() const noexcept { return enabled; }
    bool isEmpty() const noexcept { return passed.data.isEmpty(); }

    /** Keeps the message for the output at the offset (when enabled). Offsets normally come in
        order; one earlier than the last still finds its place.
    */
    void pass (const juce::uint8* data, int numBytes, int sampleOffset);

    /** Replaces the destination's events with the passed messages and the output, merged in
        time order. The destination must not be the output.
    */
    void mergeInto (juce::MidiBuffer& destination, const juce::MidiBuffer& output) const;

private:
    juce::MidiBuffer passed;
    int lastOffset = 0;
    bool enabled = false;

    JUCE_DECLARE_NON_COPYABLE (MidiThrough)
};

} // namespace brisquell
