// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestHelpers.h"
#include "engine/document/DocumentElements.h"
#include "support/MessageLoop.h"

#include <atomic>
#include <thread>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
// An editor-like view: it keeps a pointer to the first controller and the first scene, reads them
// whenever it likes on the message thread, and refreshes them when told that their list changed.
struct PointerHoldingView final : public juce::ChangeListener
{
    explicit PointerHoldingView (Brisquell& m) : model (m)
    {
        model.addChangeListener (this);
        refresh();
    }

    ~PointerHoldingView() override { model.removeChangeListener (this); }

    void refresh()
    {
        controller = model.getController (0);
        scene = model.getScene (0);
    }

    void readHeldRecords()
    {
        if (controller != nullptr)
            reads += controller->getName().length() + controller->getNumSceneValues() + (controller->getValue() & 1);

        if (scene != nullptr)
            reads += (int) scene->getPosition().x + scene->getNumValues();
    }

    void changeListenerCallback (juce::ChangeBroadcaster* source) override
    {
        readHeldRecords();

        if (source == model.getControllerListSubject() || source == model.getSceneListSubject())
            refresh();
        else if (auto* c = dynamic_cast<Controller*> (source))
            reads += c->getSelectionState() == SelectionState::Differing ? 1 : 0;
    }

    Brisquell& model;
    Controller* controller = nullptr;
    Scene* scene = nullptr;
    long reads = 0;
};

// Everything that must hold between any two operations: the selection lies within the scenes,
// and every value is linked once to a listed scene and once to its controller.
void expectConsistent (Brisquell& model)
{
    const juce::ScopedLock sl (model.getLock());
    int valuesByControllers = 0, valuesByScenes = 0;

    for (int i = 0; i < model.getNumSelectedScenes(); ++i)
        EXPECT_GE (model.indexOfScene (model.getSelectedScene (i)), 0);

    for (int i = 0; i < model.getNumScenes(); ++i)
        valuesByScenes += model.getScene (i)->getNumValues();

    for (int i = 0; i < model.getNumControllers(); ++i)
    {
        auto* controller = model.getController (i);

        for (int v = 0; v < controller->getNumSceneValues(); ++v)
        {
            auto* value = controller->getSceneValue (v);
            EXPECT_GE (model.indexOfScene (&value->getScene()), 0);
            EXPECT_EQ (value->getScene().getValueFor (*controller), value->getValue());
            EXPECT_TRUE (juce::isPositiveAndBelow (value->getValue(), 128));
        }

        valuesByControllers += controller->getNumSceneValues();
        EXPECT_TRUE (juce::isPositiveAndBelow (controller->getValue(), 128));
    }

    EXPECT_EQ (valuesByControllers, valuesByScenes);
}

/** The message thread's turn: every third one delivers the model's notifications at once, the
    others let the message loop run.
*/
void messageThreadRound (Brisquell& model, int round)
{
    if (round % 3 == 0)
        model.deliverPendingNotifications();
    else
        runMessageLoopFor (0);
}

/** Waits for the worker threads, then delivers what they left pending, as the message thread
    would.
*/
void joinThenDeliver (Brisquell& model, std::thread& audio, std::thread& parameters, std::thread& chunks)
{
    audio.join();
    parameters.join();
    chunks.join();
    model.deliverPendingNotifications();
}

/** What is left saves and restores into a fresh model unchanged. */
void expectRoundTrip (const Brisquell& model)
{
    Brisquell copy;
    copy.restoreStateXml (model.createStateXml ("brisquell"));
    EXPECT_EQ (copy.createStateXml ("brisquell")->toString(), model.createStateXml ("brisquell")->toString());
}
} // namespace

TEST (ModelThreading, AudioParameterChunkAndMessageThreadsWorkAtOnce)
{
    Brisquell model;

    for (int i = 0; i < 6; ++i)
    {
        addSceneAt (model, (float) (i * 40), (float) ((i * 70) % 200));
        model.addController (i, 1)->setValueInScene (i * 20, *model.getScene (i));
    }

    PointerHoldingView view (model);
    std::atomic<int> workersRunning { 3 };
    std::atomic<int> badMessages { 0 }, badDocuments { 0 }, blocksRun { 0 }, blocksDeferred { 0 };

    // Audio-like: per block, try the lock as the processor does, feed CCs (new numbers learn
    // controllers, an empty selection keys scenes), then write the output ticks.
    std::thread audio ([&]
    {
        juce::MidiBuffer buffer;

        for (int block = 0; block < 100000; ++block)
        {
            const juce::ScopedTryLock tryLock (model.getLock());

            if (! tryLock.isLocked())
            {
                ++blocksDeferred;
                std::this_thread::yield();
                continue;
            }

            for (int m = 0; m < 4; ++m)
                model.handleIncomingMidi (controlChange (1 + (block + m) % 3, (block * 7 + m) % 24, (block + m * 31) % 128));

            buffer.clear();

            for (int offset = 0; offset < 512 && model.needsOutput(); offset += 220)
                model.renderOutput (buffer, offset);

            for (const auto metadata : buffer)
                if (! metadata.getMessage().isController() || metadata.samplePosition >= 512)
                    ++badMessages;

            ++blocksRun;
        }

        --workersRunning;
    });

    // Parameter-like: the host automating the cursor.
    std::thread parameters ([&]
    {
        for (int i = 0; i < 100000; ++i)
        {
            model.setCursorX ((float) (i % 100) / 100.0f);
            model.setCursorY ((float) ((i * 3) % 100) / 100.0f);
            EXPECT_TRUE (std::isfinite (model.getCursorX()));
        }

        --workersRunning;
    });

    // Chunk-like: save, and now and then restore what was saved. Every saved document must be
    // a consistent snapshot: each value points at a scene that the same document holds.
    std::thread chunks ([&]
    {
        for (int i = 0; i < 2000; ++i)
        {
            auto document = model.createStateXml ("brisquell");
            const auto numScenes = state::getChild (*document, "scenes")->getNumChildElements();

            for (auto* controller : state::getChild (*document, "controllers")->getChildIterator())
                for (auto* value : controller->getChildIterator())
                    if (! juce::isPositiveAndBelow (state::getIntAttribute (*value, "scene"), numScenes))
                        ++badDocuments;

            if (i % 10 == 9)
                model.restoreStateXml (juce::parseXML (document->toString()));
        }

        --workersRunning;
    });

    // Message thread: editor-like reads and edits, and the notification rounds.
    for (int i = 0; workersRunning.load() > 0 || i < 200; ++i)
    {
        view.readHeldRecords();

        for (int c = 0; c < model.getNumControllers(); ++c)
            if (auto* controller = model.getController (c))
                view.reads += controller->getValue() + (int) controller->getSelectionState();

        if (auto* controller = model.getController (i % 7))
            controller->setValue (i % 128);

        if (i % 5 == 0)
            model.setSelectedScenes ({ model.getScene (i % 4), model.getScene ((i + 1) % 4) });

        if (i % 9 == 0)
            model.setSelectedScenes ({});

        // Removals keep the lists that learning and keying grow at a bounded size.
        while (model.getNumControllers() > (i % 13 == 0 ? 12 : 30))
            model.removeController (model.getController (i % model.getNumControllers()));

        while (model.getNumScenes() > (i % 11 == 0 ? 8 : 30))
            model.deleteScene (model.getScene (i % model.getNumScenes()));

        if (i % 17 == 0)
            model.keySceneAtCursor();

        if (i % 23 == 0)
            model.setAudit (! model.isAudit());

        if (auto* scene = model.getScene (i % 3))
            scene->setPosition ((float) (i % 150), 20.0f);

        // The scene menus and the pane: names, colours, copies, random values, the sharpness,
        // and the looks the scene views read.
        if (auto* scene = model.getScene (i % 5))
        {
            scene->setName (i % 2 == 0 ? juce::String (i) : juce::String());
            scene->setColour (i % 3 == 0 ? std::optional<juce::Colour> (juce::Colour ((juce::uint32) i * 2654435761u)) : std::nullopt);

            if (i % 19 == 0)
                model.duplicateScene (*scene);

            if (i % 7 == 0)
                model.randomiseScene (*scene);
        }

        if (i % 29 == 0)
            model.keyRandomSceneAtCursor();

        if (i % 31 == 0)
            model.setSharpness (1 << (i % 3));

        for (const auto& look : model.getSceneLooks())
        {
            view.reads += look.label.length();
            EXPECT_TRUE (look.share >= 0.0f && look.share <= 1.0f) << look.share;
        }

        messageThreadRound (model, i);
    }

    joinThenDeliver (model, audio, parameters, chunks);

    EXPECT_EQ (badMessages.load(), 0);
    EXPECT_EQ (badDocuments.load(), 0);
    EXPECT_GT (blocksRun.load(), 0);
    EXPECT_GT (view.reads, 0);
    expectConsistent (model);
    expectRoundTrip (model);
}

TEST (ModelThreading, PlayingFromAControllerWhileTheEditorLearnsAndTheHostAutomates)
{
    Brisquell model;
    model.setAutoKey (false);

    for (int i = 0; i < 6; ++i)
    {
        auto* scene = addSceneAt (model, (float) (i * 40), (float) ((i * 70) % 200));
        model.addController (i, 1)->setValueInScene (i * 20, *scene);
        model.setSceneTrigger (*scene, { SceneTrigger::Kind::note, 1, 60 + i });
    }

    model.setCursorSource (0, { CursorSource::Kind::controlChangePair, 1, 1 });
    model.setCursorSource (1, { CursorSource::Kind::pitchBend, 2, 0 });
    model.setGlideTime (0.01);

    std::atomic<int> workersRunning{ 3 };
    std::atomic<int> badMessages{ 0 }, badPositions{ 0 };

    // Audio-like: the processor's clock, sources, triggers and learnable messages at their
    // times, the glide advanced at every tick.
    std::thread audio ([&]
                       {
        juce::MidiBuffer buffer;
        double clock = 0.0;

        for (int block = 0; block < 50000; ++block, clock += 512.0)
        {
            const juce::ScopedTryLock tryLock (model.getLock());

            if (! tryLock.isLocked())
            {
                std::this_thread::yield();
                continue;
            }

            model.setSampleClock (clock, 48000.0);
            const juce::uint8 messages[][3] = { { 0xb0, 1, (juce::uint8) (block % 128) },
                                                { 0xb0, 33, (juce::uint8) ((block * 5) % 128) },
                                                { 0xe1, 0, (juce::uint8) ((block * 3) % 128) },
                                                { 0x90, (juce::uint8) (60 + block % 8), 100 },
                                                { 0xc0, (juce::uint8) (block % 4), 0 },
                                                { 0xb2, (juce::uint8) (block % 40), 1 } };

            for (int m = 0; m < 6; ++m)
                model.handleIncomingMidi (messages[m], m == 4 ? 2 : 3, clock + m * 80);

            buffer.clear();

            for (double tick = clock; tick < clock + 512.0; tick += 240.0)
            {
                model.advanceGlideTo (tick);

                if (model.needsOutput())
                    model.renderOutput (buffer, (int) (tick - clock));
            }

            for (const auto metadata : buffer)
                if (! metadata.getMessage().isController() || metadata.samplePosition >= 512)
                    ++badMessages;
        }

        --workersRunning; });

    std::thread parameters ([&]
                            {
        for (int i = 0; i < 100000; ++i)
        {
            model.setCursorX ((float) (i % 100) / 100.0f);
            const auto target = model.getCursorTarget();

            if (! (std::isfinite (target.x) && std::isfinite (target.y) && std::isfinite (model.getCursorY())))
                ++badPositions;
        }

        --workersRunning; });

    std::thread chunks ([&]
                        {
        for (int i = 0; i < 2000; ++i)
        {
            auto document = model.createStateXml ("brisquell");

            if (i % 10 == 9)
                model.restoreStateXml (juce::parseXML (document->toString()));
        }

        --workersRunning; });

    // Message thread: the pane's and the scenes' menus, a cursor drag, the pane's glide view.
    for (int i = 0; workersRunning.load() > 0 || i < 200; ++i)
    {
        switch (i % 8)
        {
            case 0:
                model.requestLearn (LearnRequest::cursor (i % 2));
                break;
            case 1:
                if (auto* scene = model.getScene (i % 5))
                    model.requestLearn (LearnRequest::trigger (scene->getSerial()));
                break;
            case 2:
                model.setGlideTime ((i % 3) * 0.005);
                break;
            case 3:
                if (auto* scene = model.getScene (i % 4))
                    model.setSceneTrigger (*scene, { SceneTrigger::Kind::programChange, 1, i % 4 });
                break;
            case 4:
                model.getCursor().setPosition ((float) (i % 200), 50.0f);
                break;
            case 5:
                if (i % 40 == 5)
                    model.forgetCursorSources();
                else
                    model.setCursorSource (0, { CursorSource::Kind::controlChange, 1, 1 });
                break;
            case 6:
                model.setGlideShape (i % 16 < 8 ? GlideShape::smooth : GlideShape::linear);
                break;
            default:
                if (model.getNumScenes() > 8)
                    model.deleteScene (model.getScene (0));
                else
                    addSceneAt (model, (float) (i % 190), 10.0f);
                break;
        }

        const auto glide = model.getGlide();
        const auto shown = glide.getPositionAt (model.getSampleTime());

        if (! (std::isfinite (shown.x) && std::isfinite (shown.y)))
            ++badPositions;

        messageThreadRound (model, i);
    }

    joinThenDeliver (model, audio, parameters, chunks);

    EXPECT_EQ (badMessages.load(), 0);
    EXPECT_EQ (badPositions.load(), 0);
    expectConsistent (model);
    expectRoundTrip (model);
}
