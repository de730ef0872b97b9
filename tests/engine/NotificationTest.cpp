// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestHelpers.h"
#include "support/MessageLoop.h"

#include <thread>

using namespace brisquell;
using namespace brisquell::test;

TEST (Notification, ChangesCoalescePerSubjectAndArriveOnTheMessageThread)
{
    Brisquell model;
    RecordingListener listener (model);
    auto* controller = model.addController (1, 1);
    auto* other = model.addController (2, 1);

    std::thread audioLike ([&]
    {
        for (int i = 0; i < 50; ++i)
            model.handleIncomingMidi (controlChange (1, 1, i)); // keys one scene, then fills it
    });
    audioLike.join();

    // The pump delivers by itself: no explicit delivery here.
    ASSERT_TRUE (runMessageLoopUntil ([&] { return listener.count (controller) > 0; }));
    runMessageLoopFor (50);

    EXPECT_TRUE (listener.isAlwaysOnMessageThread);
    EXPECT_EQ (listener.count (controller), 1);
    EXPECT_EQ (listener.count (other), 0);
    EXPECT_EQ (listener.count (model.getControllerListSubject()), 1);
    EXPECT_EQ (listener.count (model.getSceneListSubject()), 1);
    EXPECT_EQ (listener.count (model.getSelectionSubject()), 1);

    // A later change is a new notification, not lost to the earlier round.
    model.setSelectedScenes ({});
    model.deliverPendingNotifications();
    EXPECT_EQ (listener.count (model.getSelectionSubject()), 2);
}

TEST (Notification, CursorMovesReachTheModelsAndTheCursorsListeners)
{
    Brisquell model;
    struct CursorListener final : public juce::ChangeListener
    {
        void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
        int count = 0;
    } cursorListener;
    model.getCursor().addChangeListener (&cursorListener);

    std::thread parameterLike ([&] { for (int i = 0; i < 20; ++i) model.setCursorX ((float) i / 20.0f); });
    parameterLike.join();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return cursorListener.count > 0; }));

    RecordingListener listener (model);
    model.setCursorY (0.5f);
    model.deliverPendingNotifications();
    EXPECT_EQ (listener.subjects, std::vector<juce::ChangeBroadcaster*> { &model.getCursor() });
    EXPECT_EQ (cursorListener.count, 2);
    model.getCursor().removeChangeListener (&cursorListener);
}

TEST (Notification, RestoreOnTheMessageThreadTellsControllersThenScenesBeforeReturning)
{
    Brisquell model;
    RecordingListener listener (model);
    model.restoreStateXml (juce::parseXML ("<b><controllers><controller/></controllers><scenes><scene/></scenes></b>"));

    EXPECT_EQ (listener.subjects, (std::vector<juce::ChangeBroadcaster*> { model.getControllerListSubject(), model.getSceneListSubject() }));
}

TEST (Notification, RestoreFromAnotherThreadTellsTheListenersOnTheMessageThread)
{
    Brisquell model;
    RecordingListener listener (model);

    std::thread chunkLike ([&] { model.restoreStateXml (juce::parseXML ("<b><controllers><controller/></controllers></b>")); });
    chunkLike.join();

    ASSERT_TRUE (runMessageLoopUntil ([&] { return listener.count (model.getSceneListSubject()) > 0; }));
    EXPECT_TRUE (listener.isAlwaysOnMessageThread);
    EXPECT_EQ (listener.subjects.front(), model.getControllerListSubject());
    EXPECT_EQ (model.getNumControllers(), 1);
}

TEST (Notification, RecordsRemovedElsewhereStayValidUntilTheViewsAreTold)
{
    // A view that shows a controller and a scene and drops them when told that its list changed.
    struct View final : public juce::ChangeListener
    {
        explicit View (Brisquell& m) : model (m)
        {
            model.addChangeListener (this);
            controller = model.getController (0);
            scene = model.getScene (0);
        }

        ~View() override { model.removeChangeListener (this); }

        void changeListenerCallback (juce::ChangeBroadcaster* source) override
        {
            // Still readable here: the records are destroyed only after this round.
            if (source == model.getControllerListSubject())
            {
                if (controller != nullptr)
                    seenName = controller->getName();

                controller = model.getController (0);
            }

            if (source == model.getSceneListSubject())
            {
                if (scene != nullptr)
                    seenPosition = scene->getPosition();

                scene = model.getScene (0);
            }
        }

        Brisquell& model;
        Controller* controller = nullptr;
        Scene* scene = nullptr;
        juce::String seenName;
        juce::Point<float> seenPosition;
    };

    Brisquell model;
    model.addController (5, 1)->setName ("shown");
    addSceneAt (model, 7, 8);
    model.deliverPendingNotifications();
    View view (model);

    // Removed on another thread, one at a time and then by a restore; the view reads its
    // pointers before the notification round and during it (ASan would see a freed record).
    std::thread other ([&] { model.removeController (model.getController (0)); model.deleteScene (model.getScene (0)); });
    other.join();
    EXPECT_EQ (view.controller->getName(), "shown");
    EXPECT_EQ (view.scene->getPosition(), juce::Point<float> (7, 8));
    model.deliverPendingNotifications();
    EXPECT_EQ (view.seenName, "shown");
    EXPECT_EQ (view.seenPosition, juce::Point<float> (7, 8));
    EXPECT_EQ (view.controller, nullptr);
    EXPECT_EQ (view.scene, nullptr);

    model.restoreStateXml (juce::parseXML ("<b><controllers><controller ccno=\"3\" name=\"next\"/></controllers></b>"));
    std::thread restorer ([&] { model.restoreStateXml (juce::parseXML ("<b/>")); });
    restorer.join();
    ASSERT_NE (view.controller, nullptr);
    EXPECT_EQ (view.controller->getName(), "next");
    model.deliverPendingNotifications();
    EXPECT_EQ (view.seenName, "next");
    EXPECT_EQ (view.controller, nullptr);
}
