// SPDX-License-Identifier: GPL-3.0-or-later
#include "MorphPaneFixture.h"

namespace brisquell
{
namespace
{

using namespace test;

using MorphPaneScenes = MorphPaneFixture;

TEST_F (MorphPaneScenes, OpensWithTheModelsSelectionInTheModelsOrder)
{
    addScene (0.0f, 0.0f);
    addScene (100.0f, 0.0f);
    addScene (200.0f, 0.0f);
    model.setSelectedScenes (scenes ({ 2, 0 }));

    open();
    EXPECT_EQ (selectedIndices (*pane), (std::vector<int> { 2, 0 }));

    settle();
    EXPECT_EQ (model.getSelectedScenes(), scenes ({ 2, 0 }));
}

TEST_F (MorphPaneScenes, ClicksAndDragsReachTheModel)
{
    addScene (0.0f, 0.0f);
    addScene (100.0f, 0.0f);
    open();
    settle();

    pointer->click (view (0), pointer->centreOf (view (0)), left);
    pointer->click (view (1), pointer->centreOf (view (1)), left | shift);
    settle();
    EXPECT_EQ (model.getSelectedScenes(), scenes ({ 0, 1 }));

    const auto from = pointer->centreOf (view (1));
    pointer->drag (view (1), from, { from + juce::Point<int> (25, -5) }, left);
    EXPECT_EQ (model.getScene (0)->getPosition(), juce::Point<float> (25.0f, -5.0f));
    EXPECT_EQ (model.getScene (1)->getPosition(), juce::Point<float> (125.0f, -5.0f));

    pointer->click (*pane, { 300, 250 }, left);
    settle();
    EXPECT_EQ (model.getNumSelectedScenes(), 0);
}

TEST_F (MorphPaneScenes, DeletingTheOnlySceneLeavesNoViewsAndNoSelection)
{
    auto* scene = addScene (40.0f, 40.0f);
    open();
    settle();
    ASSERT_EQ (pane->getNumViews(), 1);

    // A right click on the scene's view offers the scene's own menu.
    pointer->click (view (0), pointer->centreOf (view (0)), right);
    EXPECT_TRUE (juce::PopupMenu::dismissAllActiveMenus());

    scene->menuItemChosen (1);
    settle();
    EXPECT_EQ (model.getNumScenes(), 0);
    EXPECT_EQ (pane->getNumViews(), 0);
    EXPECT_EQ (pane->getSelection().getNumSelected(), 0);
    EXPECT_EQ (model.getNumSelectedScenes(), 0);
    EXPECT_EQ (pane->getNumItems(), 1); // the cursor view stays
}

//==============================================================================
using MorphPaneCursor = MorphPaneFixture;

TEST_F (MorphPaneCursor, FollowsTheCursorAndStaysOnTop)
{
    addScene (20.0f, 20.0f);
    open ("xoff=\"10\" yoff=\"0\" xzoom=\"2\" yzoom=\"1\"");
    EXPECT_EQ (cursorView->getBounds(), juce::Rectangle<int> (10, 0, 100, 50));

    model.getCursor().setPosition (30.0f, 40.0f);
    settle();
    EXPECT_EQ (cursorView->getBounds(), juce::Rectangle<int> (70, 40, 100, 50));

    // Pressing a scene view brings it forward, still beneath the cursor view.
    pointer->click (view (0), pointer->centreOf (view (0)), left);
    EXPECT_EQ (pane->getChildren().getLast(), cursorView);

    // Rebuilding the scene views leaves the cursor view alone.
    pane->rebuild();
    EXPECT_EQ (cursorView->getParentComponent(), pane.get());
    EXPECT_EQ (pane->getChildren().getLast(), cursorView);
}

TEST_F (MorphPaneCursor, AnyButtonDragsItUnroundedWithinTheRangeWithoutSelecting)
{
    addScene (200.0f, 200.0f);
    open();
    settle();
    const auto selectionBefore = model.getSelectedScenes();

    const auto from = pointer->centreOf (*cursorView);
    pointer->drag (*cursorView, from, { from + juce::Point<int> (15, 5), from + juce::Point<int> (30, 20) }, right);
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (30.0f, 20.0f));
    EXPECT_FALSE (juce::PopupMenu::dismissAllActiveMenus());

    pane->restoreViewState (juce::parseXML ("<v xoff=\"0\" yoff=\"0\" xzoom=\"2\" yzoom=\"2\"/>").get());
    const auto at = pointer->centreOf (*cursorView);
    pointer->drag (*cursorView, at, { at + juce::Point<int> (7, 3) }, left);
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (33.5f, 21.5f)) << "half a unit a pixel at zoom 2, not rounded";

    settle();
    EXPECT_FALSE (cursorView->isSelected());
    EXPECT_EQ (model.getSelectedScenes(), selectionBefore);
    EXPECT_EQ (cursorView->getBounds(), juce::Rectangle<int> (66, 42, 100, 100)) << "whole units; the cross hair is drawn half a unit further";

    // Past the range's edge the cursor stops there: the parameters cannot go further.
    const auto again = pointer->centreOf (*cursorView);
    pointer->drag (*cursorView, again, { again + juce::Point<int> (600, -200) }, left);
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (200.0f, 0.0f));
}

} // namespace
} // namespace brisquell
