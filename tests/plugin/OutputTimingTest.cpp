// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProcessorHarness.h"

#include <gtest/gtest.h>

#include <optional>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
/** The offset of each block's write, or none, for continuously changing output: the cursor
    moves before every block and one controller is there to be sent.
*/
std::vector<std::optional<int>> writeOffsets (double sampleRate, int refreshRate, int blockSize, int numBlocks)
{
    ProcessorHarness harness (sampleRate, blockSize);
    harness.model().addController (7, 1);
    harness.model().setRefreshRate (refreshRate);

    std::vector<std::optional<int>> offsets;

    for (int block = 0; block < numBlocks; ++block)
    {
        harness.moveCursor();
        const auto written = harness.run (blockSize);
        offsets.push_back (written.empty() ? std::nullopt : std::optional<int> (written.front().offset));
    }

    return offsets;
}

/** The sample times (since construction) of the writes for continuously changing output. */
std::vector<int> writeTimes (double sampleRate, int refreshRate, int blockSize, int numBlocks)
{
    std::vector<int> times;
    const auto offsets = writeOffsets (sampleRate, refreshRate, blockSize, numBlocks);

    for (size_t block = 0; block < offsets.size(); ++block)
        if (offsets[block].has_value())
            times.push_back ((int) block * blockSize + *offsets[block]);

    return times;
}

std::vector<int> multiplesOf (int interval, int count)
{
    std::vector<int> result;

    for (int i = 0; i < count; ++i)
        result.push_back (i * interval);

    return result;
}
} // namespace

//==============================================================================
struct IntervalCase
{
    double sampleRate;
    int refreshRate;
    int expectedInterval;
};

class OutputInterval : public testing::TestWithParam<IntervalCase>
{
};

// With blocks much shorter than the interval, the writes land exactly one interval apart.
TEST_P (OutputInterval, WritesAreOneIntervalApart)
{
    const auto& c = GetParam();
    const auto blockSize = std::max (1, c.expectedInterval / 7);
    const auto numBlocks = (c.expectedInterval * 5) / blockSize + 1;

    EXPECT_EQ (writeTimes (c.sampleRate, c.refreshRate, blockSize, numBlocks), multiplesOf (c.expectedInterval, 6));
}

INSTANTIATE_TEST_SUITE_P (RatesAndRefreshRates, OutputInterval,
                          testing::Values (IntervalCase { 44100.0, 200, 220 },  // 220.5 truncated
                                           IntervalCase { 48000.0, 200, 240 },
                                           IntervalCase { 44100.0, 5000, 8 },
                                           IntervalCase { 100.0, 200, 1 },      // refresh rate above the sample rate
                                           IntervalCase { 44100.9, 200, 220 },  // the rate is truncated first
                                           IntervalCase { 0.0, 200, 220 },      // no usable rate: 44100
                                           IntervalCase { -48000.0, 200, 220 }));

//==============================================================================
TEST (OutputTiming, LongIntervalWritesAtExactOffsetsAcrossBlocks)
{
    // 44100 Hz at 50 ticks per second: 882 samples, in blocks of 512.
    const std::vector<std::optional<int>> expected { 0, 370, std::nullopt, 228 };
    EXPECT_EQ (writeOffsets (44100.0, 50, 512, 4), expected);
}

TEST (OutputTiming, TickOnBlockEndGoesToTheNextBlock)
{
    // 882-sample interval, 441-sample blocks: the tick at 882 is block 2's offset 0, never
    // offset 441 of block 1.
    const std::vector<std::optional<int>> expected { 0, std::nullopt, 0, std::nullopt, 0, std::nullopt };
    EXPECT_EQ (writeOffsets (44100.0, 50, 441, 6), expected);
}

TEST (OutputTiming, ShortIntervalWritesAtTheStartOfEveryBlock)
{
    const std::vector<std::optional<int>> expected { 0, 0, 0, 0 };
    EXPECT_EQ (writeOffsets (44100.0, 200, 1024, 4), expected);
}

TEST (OutputTiming, FirstBlockWithOutputPendingWritesAtOffsetZero)
{
    ProcessorHarness harness;
    harness.model().addController (7, 1);
    harness.moveCursor();

    const auto written = harness.run (512);

    ASSERT_EQ (written.size(), 1u);
    EXPECT_EQ (written[0].offset, 0);
    EXPECT_TRUE (written[0].message.isController());
}

TEST (OutputTiming, QuietBlocksLeaveTheClockAndCatchUpAfterwards)
{
    ProcessorHarness harness (44100.0, 512);
    harness.model().addController (7, 1);
    harness.model().setRefreshRate (50); // 882 samples
    harness.moveCursor();

    EXPECT_EQ (harness.run (512).size(), 1u); // the new controller, at 0
    EXPECT_EQ (harness.processor.getNextOutputTime(), 882.0);

    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE (harness.run (512).empty());

    EXPECT_EQ (harness.processor.getNextOutputTime(), 882.0);
    EXPECT_EQ (harness.processor.getElapsedSamples(), 11.0 * 512);

    // Behind the sample clock, every block with something pending writes at offset 0, and the
    // tick time advances one interval per write until it has caught up.
    for (int i = 0; i < 3; ++i)
    {
        harness.moveCursor();
        const auto written = harness.run (512);
        ASSERT_EQ (written.size(), 1u);
        EXPECT_EQ (written[0].offset, 0);
    }

    EXPECT_EQ (harness.processor.getNextOutputTime(), 882.0 * 4);
}

TEST (OutputTiming, ZeroLengthBlocks)
{
    ProcessorHarness harness (44100.0, 512);
    harness.model().addController (7, 1);

    // The tick due at 0 is not before the clock at 0: a block of no samples holds no tick.
    harness.moveCursor();
    EXPECT_TRUE (harness.run (0).empty());

    EXPECT_EQ (harness.run (512).size(), 1u);

    for (int i = 0; i < 4; ++i)
        harness.run (512);

    // The clock (2560) is now past the next tick (220): an empty block takes the write.
    harness.moveCursor();
    const auto written = harness.run (0);
    ASSERT_EQ (written.size(), 1u);
    EXPECT_EQ (written[0].offset, 0);
    EXPECT_EQ (harness.processor.getElapsedSamples(), 5.0 * 512);
}

//==============================================================================
TEST (ProcessedMidi, IncomingEventsNeverComeBackOut)
{
    ProcessorHarness harness;
    const auto input = midiOf ({ { 0, juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100) },
                                 { 5, juce::MidiMessage::noteOff (1, 60) },
                                 { 9, juce::MidiMessage::pitchWheel (1, 1000) } });

    // Nothing pending and nothing of this the model takes: the buffer comes back empty.
    EXPECT_TRUE (harness.run (512, input).empty());
    EXPECT_EQ (harness.model().getNumControllers(), 0);

    // A learned controller is output, but the incoming message itself is not passed on.
    auto written = harness.run (512, midiOf ({ { 100, juce::MidiMessage::controllerEvent (3, 7, 99) },
                                              { 200, juce::MidiMessage::noteOn (1, 62, (juce::uint8) 90) } }));
    ASSERT_EQ (written.size(), 1u);
    EXPECT_EQ (written[0].offset, 0);
    EXPECT_TRUE (written[0].message.isController());
    EXPECT_EQ (written[0].message.getChannel(), 3);
    EXPECT_EQ (written[0].message.getControllerNumber(), 7);
}

TEST (ProcessedMidi, InputOfABlockIsOutputInTheSameBlock)
{
    ProcessorHarness harness (44100.0, 512);
    auto& model = harness.model();
    model.addController (7, 1);
    model.keySceneAtCursor(); // selected, at the cursor: its value is the controller's value
    harness.run (512);

    const auto written = harness.run (512, midiOf ({ { 400, juce::MidiMessage::controllerEvent (1, 7, 42) } }));

    ASSERT_EQ (written.size(), 1u);
    EXPECT_EQ (written[0].offset, 0); // the tick due at 220 is behind the block start at 512
    EXPECT_EQ (written[0].message.getControllerValue(), 42);
}

TEST (ProcessedMidi, EventsApplyInBufferOrder)
{
    ProcessorHarness harness;
    auto& model = harness.model();
    model.addController (7, 1);
    model.keySceneAtCursor();
    harness.run (512);

    // The buffer sorts by offset: the value at offset 300 is applied last.
    const auto written = harness.run (512, midiOf ({ { 300, juce::MidiMessage::controllerEvent (1, 7, 11) },
                                                    { 10, juce::MidiMessage::controllerEvent (1, 7, 99) } }));
    ASSERT_EQ (written.size(), 1u);
    EXPECT_EQ (written[0].message.getControllerValue(), 11);
}

TEST (ProcessedMidi, DoublePrecisionCallPassesNothingThrough)
{
    ProcessorHarness harness;
    juce::AudioBuffer<double> audio (0, 512);
    auto midi = midiOf ({ { 0, juce::MidiMessage::controllerEvent (1, 7, 64) } });

    harness.processor.processBlock (audio, midi);

    EXPECT_TRUE (midi.isEmpty());
    EXPECT_EQ (harness.processor.getElapsedSamples(), 0.0);
}

TEST (ProcessedMidi, SuspendAndResumeDoNotResetTheClock)
{
    ProcessorHarness harness (44100.0, 512);
    harness.model().addController (7, 1);
    harness.moveCursor();
    harness.run (512);
    harness.run (512);

    harness.processor.releaseResources();
    harness.processor.setRateAndBufferSizeDetails (48000.0, 256);
    harness.processor.prepareToPlay (48000.0, 256);

    EXPECT_EQ (harness.processor.getElapsedSamples(), 1024.0);
    EXPECT_EQ (harness.processor.getNextOutputTime(), 220.0);
}
