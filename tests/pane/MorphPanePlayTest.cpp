// SPDX-License-Identifier: GPL-3.0-or-later
// The pane's side of playing from a controller: the learn and glide items of its menu, the
// scene menu's trigger items, the learn hint, and the cursor travelling with its target marked.
#include "MorphPaneFixture.h"

namespace brisquell
{
namespace
{

using namespace test;

bool isTicked (const juce::PopupMenu& menu, int itemId)
{
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (it.getItem().itemID == itemId)
            return it.getItem().isTicked;

    return false;
}

juce::String textOf (const juce::PopupMenu& menu, int itemId)
{
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (it.getItem().itemID == itemId)
            return it.getItem().text;

    return {};
}

void send (Brisquell& model, std::initializer_list<juce::uint8> bytes)
{
    const std::vector<juce::uint8> data (bytes);
    model.handleIncomingMidi (data.data(), (int) data.size());
}

using MorphPanePlay = MorphPaneFixture;

//==============================================================================
TEST_F (MorphPanePlay, LearnItemsWaitForTheNextMessageAndThePaneSaysSoUntilItComes)
{
    open();
    EXPECT_EQ (pane->getLearnHint(), "");

    paneModel->menuItemChosen (MorphPaneModel::learnCursorXItem, {});
    EXPECT_EQ (model.getLearnRequest(), LearnRequest::cursor (0));
    EXPECT_TRUE (isTicked (paneModel->createMenu(), MorphPaneModel::learnCursorXItem));
    EXPECT_FALSE (isTicked (paneModel->createMenu(), MorphPaneModel::learnCursorYItem));
    settle();
    EXPECT_EQ (pane->getLearnHint(), "waiting for MIDI: cursor X");

    // Y instead, then the same item again: nothing waits any more.
    paneModel->menuItemChosen (MorphPaneModel::learnCursorYItem, {});
    settle();
    EXPECT_EQ (pane->getLearnHint(), "waiting for MIDI: cursor Y");
    paneModel->menuItemChosen (MorphPaneModel::learnCursorYItem, {});
    settle();
    EXPECT_EQ (model.getLearnRequest(), LearnRequest());
    EXPECT_EQ (pane->getLearnHint(), "");

    // The message comes on the audio thread's behalf; the pane hears of it with the next round.
    paneModel->menuItemChosen (MorphPaneModel::learnCursorYItem, {});
    settle();
    send (model, { 0xe3, 0, 0x40 });
    settle();
    EXPECT_EQ (model.getCursorSource (1), (CursorSource{ CursorSource::Kind::pitchBend, 4, 0 }));
    EXPECT_EQ (pane->getLearnHint(), "");
    EXPECT_FALSE (isTicked (paneModel->createMenu(), MorphPaneModel::learnCursorYItem));

    paneModel->menuItemChosen (MorphPaneModel::forgetCursorMidiItem, {});
    EXPECT_EQ (model.getCursorSource (1), CursorSource());
}

TEST_F (MorphPanePlay, TheSceneMenuLearnsAndForgetsItsTrigger)
{
    auto* scene = addScene (100.0f, 100.0f);
    auto* other = addScene (0.0f, 100.0f);
    open();
    settle();

    juce::StringArray texts;
    const auto menu = scene->createMenu();

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        texts.add (juce::String (it.getItem().itemID) + " " + it.getItem().text);

    EXPECT_EQ (texts, juce::StringArray ({ "1 delete", "2 learn trigger", "3 forget trigger" }));

    scene->menuItemChosen (Scene::learnTriggerItem);
    EXPECT_TRUE (isTicked (scene->createMenu(), Scene::learnTriggerItem));
    EXPECT_FALSE (isTicked (other->createMenu(), Scene::learnTriggerItem));
    settle();
    EXPECT_EQ (pane->getLearnHint(), "waiting for MIDI: scene trigger");

    send (model, { 0xc0, 7 });
    settle();
    EXPECT_EQ (scene->getTrigger(), (SceneTrigger{ SceneTrigger::Kind::programChange, 1, 7 }));
    EXPECT_EQ (pane->getLearnHint(), "");

    // Chosen twice, the learn is cancelled; forgetting clears the trigger.
    other->menuItemChosen (Scene::learnTriggerItem);
    other->menuItemChosen (Scene::learnTriggerItem);
    EXPECT_EQ (model.getLearnRequest(), LearnRequest());
    scene->menuItemChosen (Scene::forgetTriggerItem);
    EXPECT_EQ (scene->getTrigger(), SceneTrigger());
}

//==============================================================================
juce::Slider* timeSliderOf (juce::DialogWindow* dialog)
{
    auto* settings = dialog != nullptr ? dynamic_cast<GlideSettings*> (dialog->getContentComponent()) : nullptr;
    return settings != nullptr ? &settings->getTimeSlider() : nullptr;
}

TEST_F (MorphPanePlay, TheGlideDialogSetsTimeAndShapeWhenItCloses)
{
    open();
    EXPECT_EQ (textOf (paneModel->createMenu(), MorphPaneModel::glideItem), "Glide:off");

    paneModel->menuItemChosen (MorphPaneModel::glideItem, {});
    juce::Component::SafePointer<juce::DialogWindow> dialog (paneModel->getGlideDialog());
    auto* slider = timeSliderOf (dialog);
    ASSERT_NE (slider, nullptr);
    auto& shape = static_cast<GlideSettings*> (dialog->getContentComponent())->getShapeBox();
    EXPECT_EQ (slider->getMinimum(), 0.0);
    EXPECT_EQ (slider->getMaximum(), 60.0);
    EXPECT_EQ (slider->getValue(), 0.0);
    EXPECT_EQ (shape.getSelectedId(), GlideSettings::linearId);
    EXPECT_EQ (shape.getItemText (1), "smooth");

    paneModel->menuItemChosen (MorphPaneModel::glideItem, {});
    EXPECT_EQ (paneModel->getGlideDialog(), dialog.getComponent()) << "the same dialog, brought forward";

    slider->setValue (100.0);
    EXPECT_EQ (slider->getValue(), 60.0);
    slider->setValue (1.5);
    shape.setSelectedId (GlideSettings::smoothId);
    EXPECT_EQ (model.getGlideTime(), 0.0) << "nothing is written before the dialog closes";

    static_cast<juce::DocumentWindow*> (dialog.getComponent())->closeButtonPressed();
    ASSERT_TRUE (runMessageLoopUntil ([&]
                                      { return dialog == nullptr; }));
    EXPECT_EQ (model.getGlideTime(), 1.5);
    EXPECT_EQ (model.getGlideShape(), GlideShape::smooth);
    EXPECT_EQ (textOf (paneModel->createMenu(), MorphPaneModel::glideItem), "Glide:1.5 s smooth");

    // Closing the pane closes an open dialog and keeps what it shows.
    paneModel->menuItemChosen (MorphPaneModel::glideItem, {});
    dialog = paneModel->getGlideDialog();
    timeSliderOf (dialog)->setValue (0.25);
    close();
    EXPECT_EQ (dialog, nullptr);
    EXPECT_EQ (model.getGlideTime(), 0.25);
    EXPECT_EQ (MorphPaneModel::describeGlide (0.25, GlideShape::linear), "Glide:0.25 s linear");
    EXPECT_EQ (MorphPaneModel::describeGlide (60.0, GlideShape::linear), "Glide:60 s linear");
}

//==============================================================================
TEST_F (MorphPanePlay, WhileAGlideRunsTheCursorTravelsAndItsTargetIsMarked)
{
    open ("xoff=\"10\" yoff=\"0\" xzoom=\"2\" yzoom=\"1\"");
    model.setSampleClock (0.0, 1000.0);
    model.setGlideTime (1.0);
    settle();
    EXPECT_FALSE (pane->getGlideTargetMarker().has_value());

    model.setCursorX (0.5f); // to x 100 over 1000 samples
    ASSERT_TRUE (runMessageLoopUntil ([&]
                                      { return pane->getGlideTargetMarker().has_value(); }));
    EXPECT_EQ (*pane->getGlideTargetMarker(), juce::Rectangle<int> (210, 0, 100, 50)) << "where the cursor's view will stand";

    // No output tick has moved the cursor, but the clock has gone on: the view follows the clock.
    model.setSampleClock (250.0, 1000.0);
    EXPECT_TRUE (runMessageLoopUntil ([&]
                                      { return cursorView->getBounds() == juce::Rectangle<int> (60, 0, 100, 50); }))
        << "x 25 at zoom 2, from the origin at 10: " << cursorView->getBounds().toString();
    EXPECT_EQ (model.getCursor().getPosition().x, 0.0f);

    // Arrived: the marker goes and the view rests on the cursor.
    model.advanceGlideTo (1000.0);
    ASSERT_TRUE (runMessageLoopUntil ([&]
                                      { return ! pane->getGlideTargetMarker().has_value(); }));
    EXPECT_EQ (cursorView->getBounds(), juce::Rectangle<int> (210, 0, 100, 50));

    // A drag ends a glide at once, where the view was put.
    model.setCursorY (1.0f);
    settle();
    const auto from = pointer->centreOf (*cursorView);
    pointer->drag (*cursorView, from, { from + juce::Point<int> (0, 10) }, left);
    EXPECT_FALSE (model.isGliding());
    EXPECT_TRUE (runMessageLoopUntil ([&]
                                      { return ! pane->getGlideTargetMarker().has_value(); }));
}

} // namespace
} // namespace brisquell
