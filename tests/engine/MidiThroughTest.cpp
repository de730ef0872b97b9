// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MidiThrough.h"

#include <gtest/gtest.h>

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
