// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestHelpers.h"

using namespace brisquell;
using namespace brisquell::test;

TEST (MidiInput, AnythingButAControlChangeIsIgnoredAndNotifiesNothing)
{
    Brisquell model;
    RecordingListener listener (model);
    const juce::uint8 dataWithTopBit[] = { 0xB0, 0x87, 0x10 };
    const juce::uint8 truncated[] = { 0xB0, 0x07 };

    model.handleIncomingMidi (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100));
    model.handleIncomingMidi (juce::MidiMessage::pitchWheel (1, 100));
    model.handleIncomingMidi (dataWithTopBit, 3);
    model.handleIncomingMidi (truncated, 2);
    model.handleIncomingMidi (nullptr, 3);

    model.setAutoLearn (false);
    model.handleIncomingMidi (controlChange (1, 7, 64));
    model.deliverPendingNotifications();

    EXPECT_EQ (model.getNumControllers(), 0);
    EXPECT_EQ (model.getNumScenes(), 0);
    EXPECT_TRUE (listener.subjects.empty());
    EXPECT_FALSE (model.needsOutput());
}

TEST (MidiInput, EveryMatchingControllerTakesTheValueInEverySelectedScene)
{
    Brisquell model;
    auto* a = addSceneAt (model, 0, 0);
    auto* b = addSceneAt (model, 50, 0);
    model.setSelectedScenes ({ a, b });
    auto* first = model.addController (20, 2);
    auto* otherChannel = model.addController (20, 3);
    auto* second = model.addController (20, 2);

    model.handleIncomingMidi (controlChange (2, 20, 99));

    for (auto* scene : { a, b })
    {
        EXPECT_EQ (scene->getValueFor (*first), 99);
        EXPECT_EQ (scene->getValueFor (*second), 99);
        EXPECT_EQ (scene->getValueFor (*otherChannel), -1);
    }

    EXPECT_EQ (model.getNumControllers(), 3); // nothing learnt
}

TEST (MidiInput, AutoLearnCreatesANamedControllerAndAutoKeyAScene)
{
    Brisquell model;
    model.getCursor().setPosition (40, 60);

    // No selection: the first value learns CC 7 on channel 3 and keys a scene at the cursor, but
    // is not stored in it.
    model.handleIncomingMidi (controlChange (3, 7, 55));
    ASSERT_EQ (model.getNumControllers(), 1);
    auto* learnt = model.getController (0);
    EXPECT_EQ (learnt->getCcNumber(), 7);
    EXPECT_EQ (learnt->getChannel(), 3);
    EXPECT_EQ (learnt->getName(), "7");
    ASSERT_EQ (model.getNumScenes(), 1);
    auto* keyed = model.getScene (0);
    EXPECT_EQ (keyed->getPosition(), juce::Point<float> (40, 60));
    EXPECT_EQ (model.getSelectedScene (0), keyed);
    EXPECT_EQ (keyed->getValueFor (*learnt), 55) << "the value that keyed the scene is its first";

    // The values that follow, of any controller, are stored into the keyed scene.
    model.handleIncomingMidi (controlChange (3, 7, 56));
    model.handleIncomingMidi (controlChange (1, 8, 9));
    EXPECT_EQ (keyed->getValueFor (*learnt), 56);
    EXPECT_EQ (keyed->getValueFor (*model.getController (1)), 9);
    EXPECT_EQ (model.getNumScenes(), 1);
}

TEST (MidiInput, WithoutSelectionAndAutoKeyOffTheValueIsStoredNowhereButNotified)
{
    Brisquell model;
    model.setAutoKey (false);
    auto* controller = model.addController (1, 1);
    RecordingListener listener (model);

    model.handleIncomingMidi (controlChange (1, 1, 10));
    model.deliverPendingNotifications();

    EXPECT_EQ (controller->getNumSceneValues(), 0);
    EXPECT_EQ (model.getNumScenes(), 0);
    EXPECT_EQ (listener.count (controller), 1);
}

TEST (MidiInput, LookupFollowsRenumberedAndOutOfRangeControllers)
{
    Brisquell model;
    model.setAutoLearn (false);
    auto* scene = addSceneAt (model, 0, 0);
    auto* controller = model.addController (10, 1);
    auto* outOfRange = model.addController (128, 17); // possible after a restore

    controller->setCcNumber (11);
    model.handleIncomingMidi (controlChange (1, 10, 1));
    model.handleIncomingMidi (controlChange (1, 11, 2));
    controller->setChannel (5);
    model.handleIncomingMidi (controlChange (1, 11, 3));
    model.handleIncomingMidi (controlChange (5, 11, 4));
    model.handleIncomingMidi (controlChange (16, 0, 5)); // 128 & 0x7F would be 0, 17 clamps to 16

    EXPECT_EQ (scene->getValueFor (*controller), 4);
    EXPECT_EQ (scene->getValueFor (*outOfRange), -1);

    // A removed controller no longer matches; its neighbour in the list still does.
    auto* later = model.addController (30, 1);
    model.removeController (controller);
    model.handleIncomingMidi (controlChange (1, 30, 6));
    EXPECT_EQ (scene->getValueFor (*later), 6);
}
