// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProcessorHarness.h"
#include "engine/MidiThrough.h"
#include "support/MessageLoop.h"
#include "support/ModelBuilders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
/** Holds the model's lock on another thread, as the editor or a chunk call briefly does,
    until released (or, so that a faulty wait cannot hang the suite, for ten seconds).
*/
class ModelBusy final
{
public:
    explicit ModelBusy (Brisquell& model)
    {
        std::promise<void> held;
        auto isHeld = held.get_future();

        holder = std::thread ([&model, this, held = std::move (held)]() mutable
                              {
                                  const juce::ScopedLock lock (model.getLock());
                                  held.set_value();
                                  releaseSignal.wait_for (std::chrono::seconds (10));
                              });
        isHeld.wait();
    }

    ~ModelBusy() { release(); }

    void release()
    {
        if (! holder.joinable())
            return;

        releasePromise.set_value();
        holder.join();
    }

private:
    std::promise<void> releasePromise;
    std::shared_future<void> releaseSignal { releasePromise.get_future().share() };
    std::thread holder;
};

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

/** A processor with one controller and one selected scene under the cursor, flushed: its
    controller's value is the value last received.
*/
void prepareOneControllerInOneScene (ProcessorHarness& harness)
{
    harness.model().addController (7, 1);
    harness.model().keySceneAtCursor();
    harness.run (512);
}

juce::MidiBuffer manyControlChanges (int count, int ccNumber)
{
    juce::MidiBuffer buffer;

    for (int i = 0; i < count; ++i)
        buffer.addEvent (juce::MidiMessage::controllerEvent (1, ccNumber, i % 128), i % 512);

    return buffer;
}
} // namespace

//==============================================================================
TEST (BusyModel, BlockDefersItsInputAndOutputWithoutWaiting)
{
    ProcessorHarness harness;
    prepareOneControllerInOneScene (harness);

    {
        ModelBusy busy (harness.model());
        const auto written = harness.run (512, midiOf ({ { 10, juce::MidiMessage::controllerEvent (1, 7, 42) },
                                                        { 20, juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100) } }));

        // Nothing is written and nothing passes through; the sample clock still runs.
        EXPECT_TRUE (written.empty());
        EXPECT_EQ (harness.processor.getElapsedSamples(), 1024.0);
    }

    // The next block gets the lock: the stashed value arrives and is sent at once.
    const auto written = harness.run (512);
    ASSERT_EQ (written.size(), 1u);
    EXPECT_EQ (written[0].offset, 0);
    EXPECT_EQ (written[0].message.getControllerValue(), 42);
}

TEST (BusyModel, FullStashWaitsForTheModelRatherThanDropInput)
{
    ProcessorHarness harness;
    ModelBusy busy (harness.model());

    // Busy blocks fill the stash exactly: CC 1 is learned from it later.
    const auto perBlock = 1024;
    const auto input = manyControlChanges (perBlock, 1);

    for (int i = 0; i < BrisquellPlugInInterface::stashCapacity / perBlock; ++i)
        EXPECT_TRUE (harness.run (512, input).empty());

    std::atomic<bool> isDone { false };
    std::thread audio ([&]
                       {
                           harness.run (512, manyControlChanges (1, 2));
                           isDone.store (true);
                       });

    // The block cannot finish while the model is held: it waits instead of dropping CC 2.
    std::this_thread::sleep_for (std::chrono::milliseconds (100));
    EXPECT_FALSE (isDone.load());

    busy.release();
    audio.join();

    EXPECT_EQ (harness.model().getNumControllers(), 2);
    EXPECT_EQ (harness.model().getController (0)->getCcNumber(), 1);
    EXPECT_EQ (harness.model().getController (1)->getCcNumber(), 2);
}

TEST (BusyModel, CursorMoveFromAnotherThreadIsParkedAndAppliedLater)
{
    ProcessorHarness harness;
    auto& cursor = harness.model().getCursor();
    ModelBusy busy (harness.model());

    float answered = -1.0f;
    juce::String shown;
    std::thread parameterThread ([&]
                                 {
                                     harness.processor.setParameter (0, 0.5f);
                                     answered = harness.processor.getParameter (0);
                                     shown = harness.processor.getParameterText (0);
                                 });
    parameterThread.join();

    // The calls returned while the model was busy, and already answer the new value and its text.
    EXPECT_EQ (answered, 0.5f);
    EXPECT_EQ (shown, "100");
    EXPECT_EQ (cursor.getPosition().x, 0.0f);

    busy.release();
    harness.run (512);
    EXPECT_EQ (cursor.getPosition().x, 100.0f);
}

TEST (BusyModel, ParkedMoveReachesTheModelWithoutAnyBlock)
{
    ProcessorHarness harness;
    auto& cursor = harness.model().getCursor();

    {
        ModelBusy busy (harness.model());
        std::thread ([&] { harness.processor.setParameter (1, 0.25f); }).join();
    }

    // No block runs (a stopped host): the message thread's timer applies the move.
    EXPECT_TRUE (runMessageLoopUntil ([&]
                                      { return cursor.getPosition().y == 50.0f; }));
}

TEST (BusyModel, ParkedMoveIsAppliedByTheNextBlockBeforeItsInput)
{
    ProcessorHarness harness;
    harness.model().setAutoKey (true);

    {
        ModelBusy busy (harness.model());
        std::thread ([&] { harness.processor.setParameter (0, 1.0f); }).join();
    }

    // The block keys a scene from its input: at the moved cursor, not where it was.
    harness.run (512, midiOf ({ { 0, juce::MidiMessage::controllerEvent (1, 7, 1) } }));
    ASSERT_EQ (harness.model().getNumScenes(), 1);
    EXPECT_EQ (harness.model().getScene (0)->getPosition().x, 200.0f);
}

TEST (BusyModel, SourcesTriggersAndPitchBendWaitInOrderWithTheirSampleTimes)
{
    ProcessorHarness harness (1000.0, 512);
    auto& model = harness.model();
    auto* scene = addSceneAt (model, 200, 0);
    model.setSceneTrigger (*scene, { SceneTrigger::Kind::programChange, 1, 3 });
    model.setCursorSource (1, { CursorSource::Kind::pitchBend, 1, 0 });
    model.setGlideTime (1.0);
    harness.run (512);

    {
        ModelBusy busy (model);
        const auto written = harness.run (512, midiOf ({ { 100, juce::MidiMessage::pitchWheel (1, 16383) }, { 200, juce::MidiMessage::programChange (1, 3) } }));
        EXPECT_TRUE (written.empty());
    }

    // The pitch bend came first, so the program change's scene is the target; the glide left
    // when the program change came, at 512 + 200, not when the model was free again.
    harness.run (0);
    const auto glide = model.getGlide();
    EXPECT_TRUE (glide.isRunning);
    EXPECT_EQ (glide.target, juce::Point<float> (200, 0));
    EXPECT_EQ (glide.startTime, 712.0);
    EXPECT_EQ (glide.start, juce::Point<float> (0, 20)) << "a tenth of the way down from the bend, which came at 612";
}

TEST (BusyModel, AChunkWithTheSessionOutranksAMoveParkedBeforeIt)
{
    const std::string document = "<brisquell><scenes><scene x=\"0\" y=\"0\"/></scenes><session cursorx=\"40\" cursory=\"20\"/></brisquell>";
    juce::MemoryOutputStream chunk;
    chunk.writeInt ((int) 0x21324356);
    chunk.writeInt ((int) document.size());
    chunk.write (document.data(), document.size());
    chunk.writeShort (0);

    ProcessorHarness harness;
    auto& cursor = harness.model().getCursor();

    const auto moveFromAnotherThread = [&] (int index, float value)
    {
        ModelBusy busy (harness.model());
        std::thread (&BrisquellPlugInInterface::setParameter, &harness.processor, index, value).join();
    };

    moveFromAnotherThread (0, 0.9f);
    ASSERT_EQ (harness.processor.getParameter (0), 0.9f) << "parked";

    harness.processor.setStateInformation (chunk.getData(), (int) chunk.getDataSize());
    EXPECT_EQ (harness.processor.getParameter (0), 0.2f) << "the restored position, not the parked one";
    EXPECT_EQ (harness.processor.getParameter (1), 0.1f);

    harness.run (512);
    EXPECT_EQ (cursor.getPosition(), juce::Point<float> (40.0f, 20.0f)) << "nothing parked is applied later";

    // A move parked after the restore is newer, and goes through as ever.
    moveFromAnotherThread (1, 0.5f);

    harness.run (512);
    EXPECT_EQ (cursor.getPosition(), juce::Point<float> (40.0f, 100.0f));
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE

// With MIDI through on, a long busy spell's notes come out after it, oldest first, never in a
// block larger than the host has seen (a host's event list grows on the audio thread), with the
// input of the blocks after it waiting behind them; the clock never waits.
TEST (BusyModel, ALongBusySpellPassesItsNotesInOrderInBlocksOfTheUsualSize)
{
    ProcessorHarness harness (48000.0, 256);
    prepareOneControllerInOneScene (harness);
    harness.model().setMidiThrough (true);

    int numSent = 0;
    const auto blockOfNotes = [&numSent] (int count)
    {
        juce::MidiBuffer block;
        block.addEvent (juce::MidiMessage::midiClock(), 0);

        // Each note numbered by its key and velocity, so that the order can be read back.
        for (int i = 0; i < count; ++i, ++numSent)
            block.addEvent (juce::MidiMessage::noteOn (1, numSent / 127, (juce::uint8) (numSent % 127 + 1)), i * 10);

        return block;
    };

    // One buffer for every block, as the framework's VST 2.4 client keeps.
    juce::AudioBuffer<float> audio (0, 256);
    juce::MidiBuffer midi;
    midi.ensureSize (2048);
    std::vector<int> notesOut;
    int largestBlock = 0;

    const auto run = [&] (const juce::MidiBuffer& input)
    {
        midi.clear();
        midi.addEvents (input, 0, -1, 0);
        harness.processor.processBlock (audio, midi);
        int numClocks = 0;

        for (const auto metadata : midi)
        {
            const auto message = metadata.getMessage();
            numClocks += message.isMidiClock() ? 1 : 0;

            if (message.isNoteOn())
                notesOut.push_back (message.getNoteNumber() * 127 + message.getVelocity() - 1);
        }

        EXPECT_EQ (numClocks, 1) << "the block's clock, at once";
        largestBlock = std::max (largestBlock, midi.getNumEvents());
    };

    for (int block = 0; block < 4; ++block)
        run (blockOfNotes (5));

    {
        ModelBusy busy (harness.model());

        for (int block = 0; block < 300; ++block)
            run (blockOfNotes (5));
    }

    for (int block = 0; block < 10; ++block)
        run (blockOfNotes (5));

    EXPECT_LE (largestBlock, MidiThrough::minimumBlockEvents);

    for (int block = 0; block < 100 && notesOut.size() < (size_t) numSent; ++block)
        run (blockOfNotes (0));

    ASSERT_EQ (notesOut.size(), (size_t) numSent) << "every note passed";

    for (size_t i = 0; i < notesOut.size(); ++i)
        ASSERT_EQ (notesOut[i], (int) i) << "in the order played";
}
