// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace brisquell
{

//==============================================================================
/** Adds the messages of one output tick to a MIDI buffer, all at the tick's sample offset and
    after every event already there at that offset or before it, in the order they are added:
    what the framework's MidiBuffer::addEvent gives for each message. addEvent looks for its
    place with a walk from the buffer's start for every message, so a tick of n messages would
    cost n walks; the writer walks once, when it is made, and then writes each message at its
    place directly (at the buffer's end, in the usual case that nothing comes later).

    It writes the buffer's events in the framework's layout (a 32-bit sample position, a 16-bit
    size, the bytes); the tests compare it with addEvent, so a framework that changed the
    layout would be noticed there. Allocates nothing once the buffer has room. Audio thread
    (any thread is safe).
*/
class MidiTickWriter final
{
public:
    MidiTickWriter (juce::MidiBuffer& buffer, int sampleOffset) noexcept;

    /** Says that no event in the buffer lies after the offset (the writer's caller wrote them
        all, in time order): the messages go to the buffer's end without a walk.
    */
    enum AtEnd
    {
        atEnd
    };

    MidiTickWriter (juce::MidiBuffer& buffer, int sampleOffset, AtEnd) noexcept;

    /** Puts the messages not yet in the buffer there. */
    ~MidiTickWriter();

    /** One three-byte control change: status 0xB0 | (channel - 1) with the channel clamped into
        1..16, then the CC number and the value, each masked to 7 bits. The messages go into the
        buffer in batches (and the rest when the writer goes): the buffer is complete once the
        writer is gone.
    */
    void addControlChange (int channel, int ccNumber, int value);

private:
    void flush();

    static constexpr int eventBytes = (int) (sizeof (juce::int32) + sizeof (juce::uint16)) + 3;
    static constexpr int batchEvents = 64;

    juce::MidiBuffer& buffer;
    const int sampleOffset;
    int position = 0; // the byte index the next batch goes to
    int numBatched = 0;
    juce::uint8 batch[batchEvents * eventBytes];

    JUCE_DECLARE_NON_COPYABLE (MidiTickWriter)
};

} // namespace brisquell
