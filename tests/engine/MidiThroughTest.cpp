// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MidiThrough.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace brisquell;

// A burst larger than the reserved room, into a host buffer smaller still: the collector and
// the buffers never grow (the audio thread allocates nothing), the output goes out whole and
// in time order with the passed messages that fit, and every message left out is counted.
TEST (MidiThrough, ABurstBeyondTheRoomIsCountedNeverGrown)
{
    MidiThrough through;
    through.reserve (0); // keeps the default room

    juce::MidiBuffer host, output;
    host.ensureSize (512);
    output.ensureSize (512);
    output.addEvent (juce::MidiMessage::controllerEvent (1, 7, 90), 100);

    const int numEvents = (int) MidiThrough::defaultRoom; // nine bytes each: far beyond the room
    through.begin (true);

    for (int i = 0; i < numEvents; ++i)
        through.pass (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100).getRawData(), 3, i / 100);

    through.mergeInto (host, output, 512);
    const auto numKept = host.getNumEvents() - 1;
    EXPECT_GT (numKept, (int) MidiThrough::defaultRoom / 9 - 1);
    EXPECT_GT (through.getNumDropped(), 0u);
    EXPECT_EQ ((juce::uint64) numKept + through.getNumDropped(), (juce::uint64) numEvents) << "every message passed or counted";

    int previous = 0, numOutput = 0;

    for (const auto metadata : host)
    {
        EXPECT_GE (metadata.samplePosition, previous);
        previous = metadata.samplePosition;
        numOutput += metadata.getMessage().isController() ? 1 : 0;
    }

    EXPECT_EQ (numOutput, 1);

    // Off: nothing is kept, nothing counted.
    through.begin (false);
    through.pass (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100).getRawData(), 3, 0);
    EXPECT_TRUE (through.isEmpty());
}

// Late messages wait behind each other and go out at the next block's start; what is passed in
// that block waits behind them, while a clock passes at once. Turned off, nothing waits any more.
TEST (MidiThrough, LateMessagesGoFirstAndAreForgottenWhenTurnedOff)
{
    MidiThrough through;
    juce::MidiBuffer host, output;
    host.ensureSize (4096);

    through.begin (true);
    through.passLate (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100).getRawData(), 3);
    through.pass (juce::MidiMessage::noteOff (1, 60).getRawData(), 3, 40);
    through.pass (juce::MidiMessage::midiClock().getRawData(), 1, 20);
    through.mergeInto (host, output, 4096);

    std::vector<std::pair<int, int>> out; // offset, status

    for (const auto metadata : host)
        out.emplace_back (metadata.samplePosition, metadata.data[0]);

    EXPECT_EQ (out, (std::vector<std::pair<int, int>> { { 0, 0x90 }, { 20, 0xf8 }, { 40, 0x80 } }));

    through.begin (true);
    through.passLate (juce::MidiMessage::noteOn (1, 61, (juce::uint8) 100).getRawData(), 3);
    through.begin (false);
    through.begin (true);
    through.mergeInto (host, output, 4096);
    EXPECT_TRUE (host.isEmpty()) << "what waited while it was turned off is not passed";
    EXPECT_EQ (through.getNumDropped(), 0u);
}
