#include "EngineTestHelpers.h"
#include "engine/StateDocument.h"
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

        if (i % 3 == 0)
            model.deliverPendingNotifications();
        else
            runMessageLoopFor (0);
    }

    audio.join();
    parameters.join();
    chunks.join();
    model.deliverPendingNotifications();

    EXPECT_EQ (badMessages.load(), 0);
    EXPECT_EQ (badDocuments.load(), 0);
    EXPECT_GT (blocksRun.load(), 0);
    EXPECT_GT (view.reads, 0);
    expectConsistent (model);

    // What is left saves and restores into a fresh model unchanged.
    Brisquell copy;
    copy.restoreStateXml (model.createStateXml ("brisquell"));
    EXPECT_EQ (copy.createStateXml ("brisquell")->toString(), model.createStateXml ("brisquell")->toString());
}
