// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestHelpers.h"

using namespace brisquell;
using namespace brisquell::test;

namespace
{
struct CountingListener final : public juce::ChangeListener
{
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
    int count = 0;
};
} // namespace

TEST (ControllersAndScenes, SettingTheSamePositionStillCountsAsAMove)
{
    Brisquell model;
    auto* scene = addSceneAt (model, 10, 10);
    tick (model);
    ASSERT_FALSE (model.needsOutput());

    scene->setPosition (10, 10);
    EXPECT_TRUE (model.needsOutput());
    tick (model);

    CountingListener cursorListener;
    model.getCursor().addChangeListener (&cursorListener);
    model.getCursor().setPosition (0, 0);
    model.deliverPendingNotifications();
    EXPECT_EQ (cursorListener.count, 1);
    EXPECT_TRUE (model.needsOutput());
    model.getCursor().removeChangeListener (&cursorListener);
}

TEST (ControllersAndScenes, ValuesAreLinkedOncePerControllerAndSceneAndDieWithEither)
{
    Brisquell model;
    auto* a = addSceneAt (model, 0, 0);
    auto* b = addSceneAt (model, 10, 0);
    auto* c = addSceneAt (model, 20, 0);
    std::vector<Controller*> controllers { model.addController (1, 1), model.addController (2, 1), model.addController (3, 1) };

    EXPECT_EQ (a->getValueFor (*controllers[0]), -1);
    EXPECT_EQ (controllers[0]->findSceneValue (*a), nullptr);

    for (auto* controller : controllers)
        for (auto* scene : { a, b, c })
            controller->setValueInScene (5, *scene);

    controllers[0]->setValueInScene (6, *a); // in place
    EXPECT_EQ (a->getValueFor (*controllers[0]), 6);
    EXPECT_EQ (controllers[0]->getNumSceneValues(), 3);
    EXPECT_EQ (a->getNumValues(), 3);
    EXPECT_EQ (controllers[0]->getSceneValue (3), nullptr);
    EXPECT_EQ (controllers[0]->getSceneValue (-1), nullptr);

    model.deleteScene (b);
    for (auto* controller : controllers)
        EXPECT_EQ (controller->getNumSceneValues(), 2);

    model.removeController (controllers[1]);
    EXPECT_EQ (a->getNumValues(), 2);
    EXPECT_EQ (c->getNumValues(), 2);
    EXPECT_EQ (a->getValueFor (*controllers[2]), 5);
}

TEST (ControllersAndScenes, RegressionValuesAreNotStoredInScenesOutsideTheModel)
{
    Brisquell model, otherModel;
    auto* controller = model.addController (1, 1);
    auto* foreign = addSceneAt (otherModel, 0, 0);
    Scene unlisted (model);
    unlisted.setPosition (5, 5);

    controller->setValueInScene (10, *foreign);
    controller->setValueInScene (10, unlisted);
    model.setSelectedScenes ({ foreign, &unlisted });

    EXPECT_EQ (controller->getNumSceneValues(), 0);
    EXPECT_EQ (model.getNumSelectedScenes(), 0);

    // A scene made for another model is not taken either.
    model.addScene (std::make_unique<Scene> (otherModel));
    EXPECT_EQ (model.getNumScenes(), 0);
}

TEST (ControllersAndScenes, ControlChangesAreClampedAndMaskedIntoMidiRange)
{
    juce::MidiBuffer buffer;
    addControlChange (buffer, 0, 128, 130, 5);
    addControlChange (buffer, 17, -1, -1, 5);
    addControlChange (buffer, 3, 7, 64, 2);

    EXPECT_EQ (messagesIn (buffer), (std::vector<SentControlChange> { { 3, 7, 64, 2 }, { 1, 0, 2, 5 }, { 16, 127, 127, 5 } }));
}

TEST (ControllersAndScenes, TakeSendRequestHonoursScenesMovedAndAlwaysClears)
{
    Brisquell model;
    auto* controller = model.addController (1, 1);
    tick (model);
    ASSERT_FALSE (model.needsOutput());

    addSceneAt (model, 1, 1); // scenesMoved
    EXPECT_TRUE (controller->takeSendRequest());
    EXPECT_TRUE (controller->takeSendRequest());
    tick (model);
    EXPECT_FALSE (controller->takeSendRequest());

    controller->markChanged();
    EXPECT_TRUE (controller->takeSendRequest());
    EXPECT_FALSE (controller->takeSendRequest());
}

TEST (ControllersAndScenes, SelectionStateTellsWhetherTheSelectedScenesAgree)
{
    Brisquell model;
    auto* a = addSceneAt (model, 0, 0);
    auto* b = addSceneAt (model, 10, 0);
    auto* controller = model.addController (1, 1);
    auto stateWith = [&] (juce::Array<Scene*> selection)
    {
        model.setSelectedScenes (selection);
        return controller->getSelectionState();
    };

    EXPECT_EQ (stateWith ({}), SelectionState::NoValue);
    EXPECT_EQ (stateWith ({ a, b }), SelectionState::NoValue);
    controller->setValueInScene (64, *a);
    EXPECT_EQ (stateWith ({ a }), SelectionState::Agreeing);
    EXPECT_EQ (stateWith ({ b }), SelectionState::NoValue);
    EXPECT_EQ (stateWith ({ a, b }), SelectionState::Differing);
    EXPECT_EQ (stateWith ({ b, a }), SelectionState::Differing);
    controller->setValueInScene (64, *b);
    EXPECT_EQ (stateWith ({ a, b }), SelectionState::Agreeing);
}

TEST (ControllersAndScenes, AddNextControllerCountsOnWithoutBound)
{
    Brisquell model;
    auto* first = model.addNextController();
    EXPECT_EQ (first->getCcNumber(), 0);
    EXPECT_EQ (first->getChannel(), 1);
    EXPECT_EQ (first->getName(), "0");

    model.addController (127, 5);
    auto* next = model.addNextController();
    EXPECT_EQ (next->getCcNumber(), 128);
    EXPECT_EQ (next->getChannel(), 5);

    model.getCursor().setPosition (0, 0);
    const auto sent = tick (model);
    ASSERT_EQ (sent.size(), 3u);
    EXPECT_EQ (sent.front(), (SentControlChange { 5, 0, 0, 0 })); // CC 128 goes out as 0; the last first
}

TEST (ControllersAndScenes, RegressionAddNextControllerAfterTheLargestNumberDoesNotOverflow)
{
    Brisquell model;
    model.addController (std::numeric_limits<int>::max(), 2);
    auto* next = model.addNextController();
    EXPECT_EQ (next->getCcNumber() & 0x7F, 0); // 127 goes on to 0, as on the wire
    EXPECT_EQ (next->getChannel(), 2);
}
