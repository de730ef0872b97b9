// SPDX-License-Identifier: GPL-3.0-or-later
#include "PaneTestSupport.h"

#include "support/MessageLoop.h"

#include <algorithm>

namespace brisquell
{
namespace
{

using namespace test;

class ModulePaneSelection : public ::testing::Test
{
protected:
    FakePaneModel model;
    std::unique_ptr<ModulePane> pane;
    std::unique_ptr<Pointer> pointer;

    /** Three views side by side: (0, 20), (100, 20), (200, 20), each 50 x 50. */
    void SetUp() override
    {
        for (float x : { 0.0f, 100.0f, 200.0f })
            model.addModule (x, 20.0f);

        pane = std::make_unique<ModulePane> (model);
        pane->setBounds (0, 0, 400, 300);
        pointer = std::make_unique<Pointer> (*pane);
    }

    ModuleGUI& view (int i) { return *pane->getView (i); }
    void click (int i, int mods) { pointer->click (view (i), pointer->centreOf (view (i)), mods); }
    void lasso (juce::Point<int> from, juce::Point<int> to, int mods) { pointer->drag (*pane, from, { to }, mods); }
    std::vector<int> selected() const { return selectedIndices (*pane); }

    static std::vector<int> sorted (std::vector<int> v)
    {
        std::sort (v.begin(), v.end());
        return v;
    }

    const juce::LassoComponent<ModuleGUI*>* findLasso() const
    {
        for (auto* child : pane->getChildren())
            if (auto* l = dynamic_cast<juce::LassoComponent<ModuleGUI*>*> (child))
                return l;

        return nullptr;
    }
};

TEST_F (ModulePaneSelection, ClickSelectsAloneShiftAddsCtrlToggles)
{
    click (0, left);
    EXPECT_EQ (selected(), (std::vector<int> { 0 }));

    click (1, left);
    EXPECT_EQ (selected(), (std::vector<int> { 1 }));

    click (0, left | shift);
    click (0, left | shift);
    EXPECT_EQ (selected(), (std::vector<int> { 1, 0 }));

    click (2, left | ctrl);
    EXPECT_EQ (selected(), (std::vector<int> { 1, 0, 2 }));

    click (0, left | ctrl);
    EXPECT_EQ (selected(), (std::vector<int> { 1, 2 }));

    EXPECT_TRUE (view (1).isSelected());
    EXPECT_FALSE (view (0).isSelected());
}

TEST_F (ModulePaneSelection, ClickOnAGroupMemberSelectsItAloneButDraggingKeepsTheGroup)
{
    pane->selectAll();
    click (1, left);
    EXPECT_EQ (selected(), (std::vector<int> { 1 }));

    pane->selectAll();
    const auto from = pointer->centreOf (view (1));
    pointer->drag (view (1), from, { from + juce::Point<int> (10, 4), from + juce::Point<int> (30, 10) }, left);

    EXPECT_EQ (selected().size(), 3u);

    for (int i = 0; i < 3; ++i)
        EXPECT_EQ (model.modules[(size_t) i]->getPosition(), juce::Point<float> (100.0f * (float) i + 30.0f, 30.0f));
}

TEST_F (ModulePaneSelection, OtherButtonsOnAViewOnlyReachTheModule)
{
    auto& module = *model.modules[0];
    click (0, right);
    click (0, middle);

    EXPECT_TRUE (selected().empty());
    EXPECT_EQ (module.downs, 2);
    EXPECT_EQ (module.ups, 2);
    EXPECT_TRUE (module.lastMods.isMiddleButtonDown());
    EXPECT_EQ (module.getPosition(), juce::Point<float> (0.0f, 20.0f));
}

//==============================================================================
TEST_F (ModulePaneSelection, LassoSelectsOnlyWhollyCoveredViews)
{
    lasso ({ 95, 10 }, { 240, 75 }, left);
    EXPECT_EQ (selected(), (std::vector<int> { 1 }));

    lasso ({ 95, 10 }, { 255, 75 }, left);
    EXPECT_EQ (selected(), (std::vector<int> { 1, 2 }));

    // Dragged the other way, and touching the view's edges exactly.
    lasso ({ 150, 70 }, { 100, 20 }, left);
    EXPECT_EQ (selected(), (std::vector<int> { 1 }));

    lasso ({ 100, 21 }, { 150, 70 }, left);
    EXPECT_TRUE (selected().empty());

    auto* lassoComponent = findLasso();
    ASSERT_NE (lassoComponent, nullptr);
    EXPECT_FALSE (lassoComponent->isVisible());
}

TEST_F (ModulePaneSelection, PlainPressClearsCtrlPressKeepsAndCtrlLassoToggles)
{
    pane->selectItem (0, true);
    pane->selectItem (1, false);
    pointer->click (*pane, { 300, 200 }, left);
    EXPECT_TRUE (selected().empty());

    pane->selectItem (0, true);
    pane->selectItem (1, false);
    pointer->click (*pane, { 300, 200 }, left | ctrl);
    EXPECT_EQ (selected(), (std::vector<int> { 0, 1 }));

    lasso ({ 95, 10 }, { 260, 80 }, left | ctrl);
    EXPECT_EQ (sorted (selected()), (std::vector<int> { 0, 2 }));

    // A Shift press still clears first, so a Shift lasso keeps nothing from before.
    lasso ({ 195, 10 }, { 260, 80 }, left | shift);
    EXPECT_EQ (selected(), (std::vector<int> { 2 }));
}

TEST_F (ModulePaneSelection, RightClickOnTheEmptyAreaKeepsTheSelectionAndReachesTheModel)
{
    pane->selectItem (0, true);
    pointer->drag (*pane, { 300, 200 }, { { 320, 220 } }, right);

    EXPECT_EQ (selected(), (std::vector<int> { 0 }));
    EXPECT_EQ (model.downs, 1);
    EXPECT_EQ (model.ups, 1);
    EXPECT_TRUE (model.lastUpMods.isRightButtonDown());
}

//==============================================================================
TEST_F (ModulePaneSelection, ModelHearsOfTheSelectionLaterInSelectionOrder)
{
    click (2, left);
    click (0, left | shift);
    EXPECT_TRUE (model.reports.empty());

    ASSERT_TRUE (runMessageLoopUntil ([this] { return ! model.reports.empty(); }));
    runMessageLoopFor (50);
    ASSERT_EQ (model.reports.size(), 1u);
    EXPECT_EQ (model.reports.back(), (juce::Array<ModuleGUI*> { &view (2), &view (0) }));
}

TEST_F (ModulePaneSelection, RebuildEmptiesTheSelectionWithOneNotification)
{
    pane->selectAll();
    ASSERT_TRUE (runMessageLoopUntil ([this] { return ! model.reports.empty(); }));
    model.reports.clear();

    pane->rebuild();
    EXPECT_TRUE (selected().empty());
    EXPECT_EQ (pane->getNumViews(), 3);
    runMessageLoopFor (100);
    ASSERT_EQ (model.reports.size(), 1u);
    EXPECT_TRUE (model.reports.back().isEmpty());

    // The owner selects a view before the notification arrives: the report shows that.
    model.reports.clear();
    pane->selectItem (1, true);
    pane->rebuild();
    pane->selectItem (2, true);
    runMessageLoopFor (100);
    ASSERT_EQ (model.reports.size(), 1u);
    EXPECT_EQ (model.reports.back(), (juce::Array<ModuleGUI*> { &view (2) }));
}

TEST_F (ModulePaneSelection, RebuildFollowsTheModelsModules)
{
    model.addModule (300.0f, 100.0f);
    pane->rebuild();
    ASSERT_EQ (pane->getNumViews(), 4);
    EXPECT_EQ (view (3).getModule(), model.modules[3].get());
    EXPECT_EQ (view (3).getBounds(), juce::Rectangle<int> (300, 100, 50, 50));
    EXPECT_EQ (pane->getNumItems(), 4);

    model.modules.clear();
    pane->rebuild();
    EXPECT_EQ (pane->getNumViews(), 0);
    EXPECT_EQ (pane->getNumItems(), 0);
}

TEST_F (ModulePaneSelection, SelectAllCommandAndSelectItem)
{
    juce::Array<juce::CommandID> commands;
    pane->getAllCommands (commands);
    EXPECT_TRUE (commands.contains (ModulePane::selectAllCommand));
    EXPECT_EQ (pane->getNextCommandTarget(), nullptr);

    pane->selectItem (1, true);
    EXPECT_TRUE (pane->perform (juce::ApplicationCommandTarget::InvocationInfo (1)));
    EXPECT_EQ (selected(), (std::vector<int> { 1, 2, 0 }));
    EXPECT_FALSE (pane->perform (juce::ApplicationCommandTarget::InvocationInfo (2)));

    pane->selectItem (7, true);
    pane->selectItem (-1, false);
    EXPECT_TRUE (selected().empty());
}

} // namespace
} // namespace brisquell
