// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestHelpers.h"

#include <functional>
#include <set>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
std::vector<int> valuesIn (const Brisquell& model, const Scene& scene)
{
    std::vector<int> values;

    for (int i = 0; i < model.getNumControllers(); ++i)
        values.push_back (scene.getValueFor (*model.getController (i)));

    return values;
}

std::vector<juce::String> labelsOf (const std::vector<SceneLook>& looks)
{
    std::vector<juce::String> labels;

    for (const auto& look : looks)
        labels.push_back (look.label);

    return labels;
}
} // namespace

//==============================================================================
TEST (SceneEditing, NamesAreKeptStorableAndLabelsFallBackToTheScenesNumber)
{
    Brisquell model;
    auto* first = addSceneAt (model, 0, 0);
    auto* second = addSceneAt (model, 100, 0);
    EXPECT_EQ (first->getName(), "");
    EXPECT_EQ (first->getLabel(), "1");
    EXPECT_EQ (second->getLabel(), "2");

    // The controllers' rule: characters no document can carry become U+FFFD, length is cut.
    const juce::juce_wchar unwritable[] = { 'p', 0xd800, 'a', 0x110000, 'd', 0 };
    first->setName (juce::String (juce::CharPointer_UTF32 (unwritable)));
    const juce::juce_wchar kept[] = { 'p', 0xfffd, 'a', 0xfffd, 'd', 0 };
    EXPECT_EQ (first->getLabel(), juce::String (juce::CharPointer_UTF32 (kept)));

    second->setName (juce::String::repeatedString ("x", maxStorableNameLength + 5));
    EXPECT_EQ (second->getName().length(), maxStorableNameLength);

    // A number follows the scene's place in the list; a deleted scene has none.
    second->setName ({});
    first->setName ({});
    model.deleteScene (first);
    EXPECT_EQ (second->getLabel(), "1");
    EXPECT_EQ (first->getLabel(), "");
    model.deliverPendingNotifications();
}

TEST (SceneEditing, OpaqueBlackIsNoColour)
{
    Brisquell model;
    auto* scene = addSceneAt (model, 0, 0);
    EXPECT_FALSE (scene->getColour().has_value());

    scene->setColour (juce::Colour (0xff17becf));
    EXPECT_EQ (scene->getColour(), juce::Colour (0xff17becf));

    scene->setColour (juce::Colour (0xff000000));
    EXPECT_FALSE (scene->getColour().has_value());

    scene->setColour (juce::Colour (0x80000000));
    EXPECT_EQ (scene->getColour(), juce::Colour (0x80000000)) << "only the document's mark means none";
}

//==============================================================================
TEST (SceneEditing, DuplicateCopiesValuesNameAndColourOffsetAndSelected)
{
    Brisquell model;
    auto* a = model.addController (1, 1);
    auto* b = model.addController (2, 1);
    model.addController (3, 1);
    auto* source = addSceneAt (model, 40, -10);
    a->setValueInScene (10, *source);
    b->setValueInScene (127, *source);
    source->setName ("pad");
    source->setColour (juce::Colour (0xffd62728));
    addSceneAt (model, 400, 400);
    tick (model);

    auto* copy = model.duplicateScene (*source);
    ASSERT_NE (copy, nullptr);
    ASSERT_EQ (model.getNumScenes(), 3);
    EXPECT_EQ (model.getScene (2), copy);
    EXPECT_EQ (copy->getPosition(), juce::Point<float> (40 + Brisquell::duplicateOffset, -10 + Brisquell::duplicateOffset));
    EXPECT_EQ (valuesIn (model, *copy), (std::vector<int>{ 10, 127, -1 }));
    EXPECT_EQ (copy->getName(), "pad");
    EXPECT_EQ (copy->getColour(), juce::Colour (0xffd62728));
    EXPECT_EQ (model.getSelectedScenes(), juce::Array<Scene*> ({ copy }));
    EXPECT_EQ (tick (model).size(), 3u) << "a new scene moves the mix";

    // The copy is a scene of its own.
    a->setValueInScene (99, *copy);
    EXPECT_EQ (source->getValueFor (*a), 10);

    // A scene that is no longer in the model is not copied.
    model.deleteScene (source);
    EXPECT_EQ (model.duplicateScene (*source), nullptr);
    EXPECT_EQ (model.getNumScenes(), 2);
    model.deliverPendingNotifications();

    // At the edge of the float range the copy stays on the source's spot rather than leave it.
    auto* edge = addSceneAt (model, std::numeric_limits<float>::max(), 0);
    EXPECT_EQ (model.duplicateScene (*edge)->getPosition(), juce::Point<float> (std::numeric_limits<float>::max(), 25.0f));
}

TEST (SceneEditing, RandomiseGivesEveryControllerASeededValueInItsRange)
{
    const auto randomised = [] (juce::int64 seed)
    {
        Brisquell model;
        for (int cc = 0; cc < 40; ++cc)
            model.addController (cc, 1);

        auto* scene = addSceneAt (model, 0, 0);
        model.getController (0)->setValueInScene (5, *scene);
        model.setRandomSeed (seed);
        model.randomiseScene (*scene);
        return valuesIn (model, *scene);
    };

    const auto values = randomised (1234);
    EXPECT_EQ (values, randomised (1234));
    EXPECT_NE (values, randomised (4321));
    EXPECT_EQ (values.size(), 40u);

    for (auto v : values)
        EXPECT_TRUE (v >= 0 && v <= 127) << v;

    EXPECT_GT (std::set<int> (values.begin(), values.end()).size(), 20u);
}

TEST (SceneEditing, RandomiseTellsTheControllersAndLeavesOtherScenesAlone)
{
    Brisquell model;
    RecordingListener listener (model);
    auto* a = model.addController (1, 1);
    auto* b = model.addController (2, 1);
    auto* other = addSceneAt (model, 0, 0);
    a->setValueInScene (50, *other);
    auto* scene = addSceneAt (model, 100, 0);
    tick (model);
    model.deliverPendingNotifications();
    listener.subjects.clear();

    model.randomiseScene (*scene);
    EXPECT_EQ (other->getValueFor (*a), 50);
    EXPECT_EQ (other->getValueFor (*b), -1);
    EXPECT_NE (scene->getValueFor (*b), -1);
    EXPECT_EQ (tick (model).size(), 2u);

    model.deliverPendingNotifications();
    EXPECT_EQ (listener.count (a), 1);
    EXPECT_EQ (listener.count (b), 1);

    // A deleted scene takes no values.
    model.deleteScene (scene);
    model.randomiseScene (*scene);
    EXPECT_EQ (scene->getNumValues(), 0);
    model.deliverPendingNotifications();
}

TEST (SceneEditing, ANewRandomSceneIsKeyedAtTheCursorWithAValueForEveryController)
{
    Brisquell model;
    model.addController (1, 1);
    model.addController (2, 1);
    model.getCursor().setPosition (70, 30);
    model.setRandomSeed (7);

    auto* scene = model.keyRandomSceneAtCursor();
    ASSERT_EQ (model.getNumScenes(), 1);
    EXPECT_EQ (scene->getPosition(), juce::Point<float> (70, 30));
    EXPECT_EQ (scene->getNumValues(), 2);
    EXPECT_EQ (model.getSelectedScenes(), juce::Array<Scene*> ({ scene }));

    Brisquell again;
    again.addController (1, 1);
    again.addController (2, 1);
    again.setRandomSeed (7);
    EXPECT_EQ (valuesIn (model, *scene), valuesIn (again, *again.keyRandomSceneAtCursor()));
}

//==============================================================================
TEST (SceneEditing, LooksGiveLabelsColoursAndSharesAndInAuditTheHeardScene)
{
    Brisquell model;
    auto* near = addSceneAt (model, 10, 0);
    auto* far = addSceneAt (model, -30, 0);
    near->setName ("lead");
    far->setColour (juce::Colour (0xff2ca02c));

    auto looks = model.getSceneLooks();
    ASSERT_EQ (looks.size(), 2u);
    EXPECT_EQ (looks[0].scene, near);
    EXPECT_EQ (labelsOf (looks), (std::vector<juce::String>{ "lead", "2" }));
    EXPECT_FALSE (looks[0].colour.has_value());
    EXPECT_EQ (looks[1].colour, juce::Colour (0xff2ca02c));
    EXPECT_FLOAT_EQ (looks[0].share, 0.9f);
    EXPECT_FLOAT_EQ (looks[1].share, 0.1f);

    // Audit with a selection: the first selected scene is what is heard.
    model.setAudit (true);
    model.setSelectedScenes ({ far, near });
    looks = model.getSceneLooks();
    EXPECT_EQ (looks[0].share, 0.0f);
    EXPECT_EQ (looks[1].share, 1.0f);

    model.setSelectedScenes ({});
    EXPECT_FLOAT_EQ (model.getSceneLooks()[0].share, 0.9f) << "without a selection audit hears the mix";
}

TEST (SceneEditing, TheLooksVersionChangesWithEverythingTheLooksShowAndOnlyThen)
{
    Brisquell model;
    auto* scene = addSceneAt (model, 10, 0);
    addSceneAt (model, -30, 0);
    auto version = model.getSceneLooksVersion();

    const auto changes = [&] (const char* what, const std::function<void()>& action)
    {
        action();
        const auto now = model.getSceneLooksVersion();
        EXPECT_NE (now, version) << what;
        version = now;
    };

    changes ("cursor", [&]
             { model.getCursor().setPosition (5, 5); });
    changes ("scene", [&]
             { scene->setPosition (20, 0); });
    changes ("name", [&]
             { scene->setName ("a"); });
    changes ("colour", [&]
             { scene->setColour (juce::Colour (0xff1f5fd4)); });
    changes ("sharpness", [&]
             { model.setSharpness (2); });
    changes ("audit", [&]
             { model.setAudit (true); });
    changes ("selection", [&]
             { model.setSelectedScenes ({ scene }); });
    changes ("new scene", [&]
             { addSceneAt (model, 0, 90); });
    changes ("deleted scene", [&]
             { model.deleteScene (scene); });

    model.getSceneLooks();
    model.getScene (0)->getValueFor (*model.addController (1, 1));
    tick (model);
    EXPECT_EQ (model.getSceneLooksVersion(), version) << "reading and output change nothing";
    model.deliverPendingNotifications();
}
