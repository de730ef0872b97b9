// SPDX-License-Identifier: GPL-3.0-or-later
// Cursor sources, scene triggers and glides through the processor: each message takes effect at
// its own sample offset, glides are sampled at the output ticks, and the output is the same
// whatever the block size.
#include "ProcessorHarness.h"
#include "support/ModelBuilders.h"

#include <gtest/gtest.h>

#include <map>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
/** What went out at an absolute sample time: CC number and value (channel 1). */
using Timeline = std::vector<std::pair<double, std::pair<int, int>>>;

/** Two scenes on the x axis, A at (0, 0) and B at (200, 0), CC 7 holding 0 in A and 127 in B:
    with the cursor at x on that axis, CC 7 is 127 x^2 / (x^2 + (200 - x)^2), so 13 at 50, 64
    at 100, 114 at 150. A note-on of C4 (60) recalls A, D4 (62) recalls B; CC 16 drives x, pitch
    bend on channel 2 drives y. Set up before any block, so that every run starts alike.
*/
void buildTwoScenes (Brisquell& model, double glideSeconds, GlideShape shape = GlideShape::linear)
{
    model.setAutoKey (false);
    model.setAutoLearn (false);
    auto* controller = model.addController (7, 1);
    auto* a = addSceneAt (model, 0, 0);
    auto* b = addSceneAt (model, 200, 0);
    controller->setValueInScene (0, *a);
    controller->setValueInScene (127, *b);
    model.setSelectedScenes ({});
    model.setSceneTrigger (*a, { SceneTrigger::Kind::note, 1, 60 });
    model.setSceneTrigger (*b, { SceneTrigger::Kind::note, 1, 62 });
    model.setCursorSource (0, { CursorSource::Kind::controlChange, 1, 16 });
    model.setCursorSource (1, { CursorSource::Kind::pitchBend, 2, 0 });
    model.setGlideTime (glideSeconds);
    model.setGlideShape (shape);
}

juce::MidiMessage noteOn (int note) { return juce::MidiMessage::noteOn (1, note, (juce::uint8) 100); }

/** Runs the events (at absolute sample times) through blocks of the size until numSamples have
    passed, and answers everything sent before numSamples, at absolute times.
*/
Timeline runTimeline (ProcessorHarness& harness, int blockSize, int numSamples, const std::multimap<int, juce::MidiMessage>& events)
{
    Timeline sent;

    for (int start = 0; start < numSamples; start += blockSize)
    {
        juce::MidiBuffer input;

        for (auto it = events.lower_bound (start); it != events.end() && it->first < start + blockSize; ++it)
            input.addEvent (it->second, it->first - start);

        for (auto& w : harness.run (blockSize, input))
            if (start + w.offset < numSamples)
                sent.push_back ({ (double) (start + w.offset), { w.message.getControllerNumber(), w.message.getControllerValue() } });
    }

    return sent;
}

Timeline runTimeline (int blockSize, int numSamples, const std::multimap<int, juce::MidiMessage>& events, double glideSeconds, GlideShape shape = GlideShape::linear, double sampleRate = 48000.0)
{
    ProcessorHarness harness (sampleRate, blockSize);
    buildTwoScenes (harness.model(), glideSeconds, shape);
    return runTimeline (harness, blockSize, numSamples, events);
}

Timeline cc7 (std::initializer_list<std::pair<double, int>> timesAndValues)
{
    Timeline expected;

    for (auto [time, value] : timesAndValues)
        expected.push_back ({ time, { 7, value } });

    return expected;
}

juce::AudioProcessorParameter& cursorX (ProcessorHarness& harness)
{
    return *harness.processor.getParameters()[0];
}

// 48 kHz at the default 200 ticks per second: one tick every 240 samples. 0.02 s: 960 samples.
constexpr double fourTicks = 0.02;
} // namespace

//==============================================================================
TEST (PlayTiming, ASourceTakesEffectAtItsOwnOffsetAndTheTicksBeforeItKeepTheOldPosition)
{
    const auto sent = runTimeline (512, 2048, { { 812, juce::MidiMessage::controllerEvent (1, 16, 127) }, { 912, juce::MidiMessage::controllerEvent (1, 16, 0) }, { 1500, juce::MidiMessage::controllerEvent (1, 7, 99) } }, 0.0);

    // 0: the first tick sends the cursor's value at A. 812: the source's own time. 912 is one
    // tick too soon after 812: it goes out at 812 + 240. The controller value at 1500 is a
    // controller's value (stored nowhere, with no scene selected), not a cursor move.
    EXPECT_EQ (sent, cc7 ({ { 0, 0 }, { 812, 127 }, { 1052, 0 } }));
}

TEST (PlayTiming, ATriggerRecallsItsSceneAtItsOwnOffset)
{
    const auto sent = runTimeline (512, 1536, { { 700, noteOn (62) }, { 1300, noteOn (61) } }, 0.0);
    EXPECT_EQ (sent, cc7 ({ { 0, 0 }, { 700, 127 } })) << "note 61 is no trigger";
}

TEST (PlayTiming, AGlideIsSampledAtEveryTickFromItsStartForBothShapes)
{
    // The glide leaves A at 1000; its first tick there has nothing new to send.
    EXPECT_EQ (runTimeline (512, 2560, { { 1000, noteOn (62) } }, fourTicks),
               cc7 ({ { 0, 0 }, { 1240, 13 }, { 1480, 64 }, { 1720, 114 }, { 1960, 127 } }));

    // Smooth: 0.15625 of the way after a quarter (x 31.25), 0.84375 after three (x 168.75).
    EXPECT_EQ (runTimeline (512, 2560, { { 1000, noteOn (62) } }, fourTicks, GlideShape::smooth),
               cc7 ({ { 0, 0 }, { 1240, 4 }, { 1480, 64 }, { 1720, 123 }, { 1960, 127 } }));
}

TEST (PlayTiming, ANewTargetMidGlideTurnsBackWithTheCursorsMotion)
{
    // Half way to B (x 100, going 200 units a glide time) at 1480, the note for A: the cursor
    // goes on a little, turns and arrives four ticks later, on the same grid. From u = 0 to 1
    // of the new glide, x = 100 - 100 u + 300 u (1 - u)^2: 117.2, 87.5, 39.1, 0.
    EXPECT_EQ (runTimeline (512, 3072, { { 1000, noteOn (62) }, { 1480, noteOn (60) } }, fourTicks),
               cc7 ({ { 0, 0 }, { 1240, 13 }, { 1480, 64 }, { 1720, 85 }, { 1960, 48 }, { 2200, 7 }, { 2440, 0 } }));
}

TEST (PlayTiming, TheOutputIsTheSameWhateverTheBlockSize)
{
    // Sources of both kinds, triggers, a value for a controller, retargets mid-glide and a
    // glide left to finish, over about a second.
    const std::multimap<int, juce::MidiMessage> events{
        { 0, juce::MidiMessage::controllerEvent (1, 16, 64) },
        { 333, noteOn (62) },
        { 5000, juce::MidiMessage::pitchWheel (2, 12000) },
        { 5001, juce::MidiMessage::controllerEvent (1, 16, 10) },
        { 9999, noteOn (60) },
        { 10000, juce::MidiMessage::controllerEvent (1, 7, 1) },
        { 17777, juce::MidiMessage::pitchWheel (2, 0) },
        { 30000, noteOn (62) },
        { 30001, noteOn (60) },
        { 44100, juce::MidiMessage::controllerEvent (1, 16, 127) },
    };

    for (auto shape : { GlideShape::linear, GlideShape::smooth })
    {
        const auto reference = runTimeline (4096, 61440, events, 0.1, shape, 44100.0);
        ASSERT_GT (reference.size(), 100u);

        for (int blockSize : { 32, 64, 441, 512 })
            EXPECT_EQ (runTimeline (blockSize, 61440, events, 0.1, shape, 44100.0), reference) << blockSize;
    }
}

TEST (PlayTiming, WithoutSourcesTriggersOrGlideTheBlockIsAppliedAtItsStartAsBefore)
{
    ProcessorHarness harness (48000.0, 512);
    buildTwoScenes (harness.model(), 0.0);
    harness.model().forgetCursorSources();

    for (int i = 0; i < harness.model().getNumScenes(); ++i)
        harness.model().setSceneTrigger (*harness.model().getScene (i), {});

    harness.run (512);
    cursorX (harness).setValue (1.0f);
    const auto written = harness.run (512, midiOf ({ { 300, juce::MidiMessage::controllerEvent (1, 16, 0) } }));

    ASSERT_EQ (written.size(), 1u);
    EXPECT_EQ (written[0].offset, 0) << "the old rule: at the block's start, the tick at 240 being behind it";
    EXPECT_EQ (written[0].message.getControllerValue(), 127);
}

//==============================================================================
TEST (PlayTiming, TheParameterAnswersTheTargetWhileTheCursorGlides)
{
    ProcessorHarness harness (48000.0, 512);
    buildTwoScenes (harness.model(), 1.0);
    harness.run (512);

    cursorX (harness).setValue (1.0f);
    EXPECT_EQ (cursorX (harness).getValue(), 1.0f);
    EXPECT_EQ (cursorX (harness).getCurrentValueAsText(), "200");

    harness.run (512);
    EXPECT_GT (harness.model().getCursor().getPosition().x, 0.0f);
    EXPECT_LT (harness.model().getCursor().getPosition().x, 200.0f);
    EXPECT_EQ (cursorX (harness).getValue(), 1.0f);
}

TEST (PlayTiming, ALearnedSourceActsFromTheOffsetOfTheMessageThatTaughtIt)
{
    ProcessorHarness harness (48000.0, 512);
    buildTwoScenes (harness.model(), 0.0);
    harness.model().forgetCursorSources();
    harness.run (512);

    harness.model().requestLearn (LearnRequest::cursor (0));
    const auto written = harness.run (512, midiOf ({ { 100, juce::MidiMessage::controllerEvent (5, 20, 127) } }));

    EXPECT_EQ (harness.model().getCursorSource (0), (CursorSource{ CursorSource::Kind::controlChange, 5, 20 }));
    ASSERT_EQ (written.size(), 1u);
    EXPECT_EQ (written[0].offset, 100);
    EXPECT_EQ (written[0].message.getControllerValue(), 127);
    EXPECT_EQ (harness.model().getNumControllers(), 1) << "nothing learned as a controller";
}
