// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestHelpers.h"

using namespace brisquell;
using namespace brisquell::test;

TEST (Selection, AnAddedSceneBecomesTheWholeSelection)
{
    Brisquell model;
    auto* a = addSceneAt (model, 0, 0);
    auto* b = addSceneAt (model, 10, 0);
    EXPECT_EQ (model.getSelectedScenes(), juce::Array<Scene*> ({ b }));

    model.setSelectedScenes ({ b, a, b, nullptr });
    EXPECT_EQ (model.getSelectedScenes(), juce::Array<Scene*> ({ b, a })); // order kept, once each
    EXPECT_EQ (model.getSelectedScene (2), nullptr);

    model.keySceneAtCursor();
    EXPECT_EQ (model.getSelectedScenes(), juce::Array<Scene*> ({ model.getScene (2) }));
}

TEST (Selection, DeletingASelectedSceneLeavesItInNeitherList)
{
    Brisquell model;
    auto* a = addSceneAt (model, 0, 0);
    auto* b = addSceneAt (model, 10, 0);
    model.setSelectedScenes ({ a, b });

    model.deleteScene (a);

    EXPECT_EQ (model.indexOfScene (a), -1);
    EXPECT_EQ (model.getNumScenes(), 1);
    EXPECT_EQ (model.getSelectedScenes(), juce::Array<Scene*> ({ b }));
    EXPECT_EQ (b->getIndex(), 0);
}

TEST (Selection, RemovingWhatIsNotInTheModelChangesNothingButStillNotifies)
{
    Brisquell model, other;
    addSceneAt (model, 0, 0);
    model.addController (1, 1);
    auto* foreignScene = addSceneAt (other, 0, 0);
    auto* foreignController = other.addController (1, 1);
    RecordingListener listener (model);

    model.removeController (foreignController);
    model.removeController (nullptr);
    model.deleteScene (foreignScene);
    model.deleteScene (nullptr);
    model.deliverPendingNotifications();

    EXPECT_EQ (model.getNumScenes(), 1);
    EXPECT_EQ (model.getNumControllers(), 1);
    EXPECT_EQ (other.getNumScenes(), 1);
    EXPECT_EQ (foreignController->getNumSceneValues(), 0);
    EXPECT_EQ (listener.count (model.getControllerListSubject()), 1);
    EXPECT_EQ (listener.count (model.getSceneListSubject()), 1);
}
