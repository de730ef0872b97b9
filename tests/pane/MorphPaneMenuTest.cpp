// SPDX-License-Identifier: GPL-3.0-or-later
#include "MorphPaneFixture.h"

namespace brisquell
{
namespace
{

using namespace test;

struct MenuEntry
{
    int id;
    juce::String text;
    bool isTicked, isSeparator;

    bool operator== (const MenuEntry& o) const
    {
        return id == o.id && text == o.text && isTicked == o.isTicked && isSeparator == o.isSeparator;
    }

    friend std::ostream& operator<< (std::ostream& os, const MenuEntry& e)
    {
        return os << (e.isSeparator ? "----" : juce::String (e.id) + " \"" + e.text + "\"" + (e.isTicked ? " ticked" : ""));
    }
};

std::vector<MenuEntry> entriesOf (const juce::PopupMenu& menu)
{
    std::vector<MenuEntry> entries;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();
        EXPECT_TRUE (item.isSeparator || item.isEnabled) << item.text;
        entries.push_back ({ item.isSeparator ? 0 : item.itemID, item.isSeparator ? juce::String() : item.text, item.isTicked, item.isSeparator });
    }

    return entries;
}

using MorphPaneMenu = MorphPaneFixture;

TEST_F (MorphPaneMenu, ListsItsItemsWithTheModelsRateAndModes)
{
    open();
    model.setAudit (false);

    const std::vector<MenuEntry> expected{
        { 1, "add scene", false, false },
        { 101, "new random scene", false, false },
        { 5, "add controller", false, false },
        { 0, {}, false, true },
        { 2, "Midi Out Refresh Rate:200", false, false },
        { 3, "auto-learn Controller", true, false },
        { 4, "auto-key Scene", true, false },
        { 0, {}, false, true },
        { 6, "audit selected Scene", false, false },
        { 0, "sharpness", false, false },
        { 7, "select all", false, false },
        { 0, {}, false, true },
        { 8, "learn cursor X from MIDI", false, false },
        { 9, "learn cursor Y from MIDI", false, false },
        { 10, "forget cursor MIDI", false, false },
        { 11, "Glide:off", false, false },
        { 0, {}, false, true },
        { 12, "pass other MIDI through", false, false },
        { 13, "report cursor moves to the host", false, false },
        { 0, {}, false, true },
        { 0, "scale", false, false },
    };
    EXPECT_EQ (entriesOf (paneModel->createMenu()), expected);

    model.setRefreshRate (4321);
    paneModel->menuItemChosen (MorphPaneModel::autoLearnItem, {});
    paneModel->menuItemChosen (MorphPaneModel::autoKeyItem, {});
    paneModel->menuItemChosen (MorphPaneModel::auditItem, {});

    const auto entries = entriesOf (paneModel->createMenu());
    ASSERT_EQ (entries.size(), expected.size());
    EXPECT_EQ (entries[4].text, "Midi Out Refresh Rate:4321");
    EXPECT_FALSE (entries[5].isTicked);
    EXPECT_FALSE (entries[6].isTicked);
    EXPECT_TRUE (entries[8].isTicked);
}

TEST_F (MorphPaneMenu, ModeItemsInvertTheirFlagAndUnknownChoicesDoNothing)
{
    open();
    model.setAudit (false);

    paneModel->menuItemChosen (MorphPaneModel::autoLearnItem, {});
    EXPECT_FALSE (model.isAutoLearn());
    paneModel->menuItemChosen (MorphPaneModel::autoLearnItem, {});
    EXPECT_TRUE (model.isAutoLearn());

    paneModel->menuItemChosen (MorphPaneModel::autoKeyItem, {});
    EXPECT_FALSE (model.isAutoKey());

    paneModel->menuItemChosen (MorphPaneModel::auditItem, {});
    EXPECT_TRUE (model.isAudit());
    paneModel->menuItemChosen (MorphPaneModel::auditItem, {});
    EXPECT_FALSE (model.isAudit());

    paneModel->menuItemChosen (MorphPaneModel::midiThroughItem, {});
    paneModel->menuItemChosen (MorphPaneModel::reportCursorItem, {});
    EXPECT_TRUE (model.isMidiThrough() && model.isReportingCursorMoves());
    paneModel->menuItemChosen (MorphPaneModel::midiThroughItem, {});
    paneModel->menuItemChosen (MorphPaneModel::reportCursorItem, {});
    EXPECT_FALSE (model.isMidiThrough() || model.isReportingCursorMoves());

    for (int nothing : { 0, 99, -1 })
        paneModel->menuItemChosen (nothing, { 10, 10 });

    EXPECT_EQ (model.getNumScenes(), 0);
    EXPECT_EQ (model.getNumControllers(), 0);
    EXPECT_FALSE (model.isAutoKey());
    EXPECT_EQ (model.getRefreshRate(), 200);
}

TEST_F (MorphPaneMenu, AddControllerAppendsTheNextController)
{
    open();
    paneModel->menuItemChosen (MorphPaneModel::addControllerItem, {});
    paneModel->menuItemChosen (MorphPaneModel::addControllerItem, {});

    ASSERT_EQ (model.getNumControllers(), 2);
    EXPECT_EQ (model.getController (0)->getCcNumber(), 0);
    EXPECT_EQ (model.getController (0)->getChannel(), 1);
    EXPECT_EQ (model.getController (1)->getCcNumber(), 1);
}

//==============================================================================
TEST_F (MorphPaneMenu, AddSceneOnTheStartViewPutsTheSceneAtTheClick)
{
    open();
    paneModel->menuItemChosen (MorphPaneModel::addSceneItem, { 150, 40 });
    settle();

    ASSERT_EQ (model.getNumScenes(), 1);
    EXPECT_EQ (model.getScene (0)->getPosition(), juce::Point<float> (150.0f, 40.0f));
    ASSERT_EQ (pane->getNumViews(), 1);
    EXPECT_EQ (view (0).getBounds(), juce::Rectangle<int> (150, 40, 50, 50));
    EXPECT_TRUE (view (0).isSelected());
    EXPECT_EQ (model.getSelectedScenes(), scenes ({ 0 }));
}

TEST_F (MorphPaneMenu, AddSceneLandsUnderTheClickOnAShiftedAndZoomedPane)
{
    open ("xoff=\"100\" yoff=\"0\" xzoom=\"1\" yzoom=\"1\"");
    paneModel->menuItemChosen (MorphPaneModel::addSceneItem, { 150, 40 });
    settle();

    ASSERT_EQ (model.getNumScenes(), 1);
    EXPECT_EQ (model.getScene (0)->getPosition(), juce::Point<float> (50.0f, 40.0f));
    EXPECT_EQ (view (0).getPosition(), juce::Point<int> (150, 40));

    // At zoom 2 the click converts as a drag would: (151 - 100) / 2 = 25.5 and (41 - 10) / 2 = 15.5
    // both go to the even neighbour.
    pane->restoreViewState (juce::parseXML ("<v xoff=\"100\" yoff=\"10\" xzoom=\"2\" yzoom=\"2\"/>").get());
    paneModel->menuItemChosen (MorphPaneModel::addSceneItem, { 151, 41 });
    settle();

    ASSERT_EQ (model.getNumScenes(), 2);
    EXPECT_EQ (model.getScene (1)->getPosition(), juce::Point<float> (26.0f, 16.0f));
    EXPECT_EQ (view (1).getBounds(), juce::Rectangle<int> (152, 42, 100, 100));
    EXPECT_EQ (model.getSelectedScenes(), scenes ({ 1 }));
}

TEST_F (MorphPaneMenu, SelectAllSelectsEverySceneButNeverTheCursor)
{
    addScene (0.0f, 0.0f);
    addScene (100.0f, 0.0f);
    addScene (200.0f, 0.0f);
    model.setSelectedScenes ({});
    open();

    paneModel->menuItemChosen (MorphPaneModel::selectAllItem, {});
    settle();
    EXPECT_EQ (pane->getSelection().getNumSelected(), 3);
    EXPECT_FALSE (cursorView->isSelected());
    EXPECT_EQ (model.getNumSelectedScenes(), 3);

    // A lasso over the whole pane, cursor included, takes the scenes only.
    pointer->drag (*pane, { 399, 299 }, { { 0, 0 } }, left);
    settle();
    EXPECT_EQ (pane->getSelection().getNumSelected(), 3);
    EXPECT_FALSE (cursorView->isSelected());
}

//==============================================================================
TEST_F (MorphPaneMenu, RightClickOnTheEmptyAreaOpensTheMenuButNotOnTheCursor)
{
    open();
    model.getCursor().setPosition (200.0f, 100.0f);
    settle();

    pointer->click (*cursorView, pointer->centreOf (*cursorView), right);
    EXPECT_FALSE (juce::PopupMenu::dismissAllActiveMenus());

    pointer->click (*pane, { 300, 250 }, left);
    EXPECT_FALSE (juce::PopupMenu::dismissAllActiveMenus());

    pointer->click (*pane, { 300, 250 }, right);
    EXPECT_TRUE (juce::PopupMenu::dismissAllActiveMenus());
    runMessageLoopFor (20);
    EXPECT_EQ (model.getNumScenes(), 0);
}

TEST_F (MorphPaneMenu, AMenuLeftOpenWhenThePaneClosesDoesNothing)
{
    open();
    paneModel->showMenu ({ 10, 10 });
    close();
    runMessageLoopFor (50);
    juce::PopupMenu::dismissAllActiveMenus();
    runMessageLoopFor (20);
    EXPECT_EQ (model.getNumScenes(), 0);
}

//==============================================================================
juce::Slider* sliderOf (juce::DialogWindow* dialog)
{
    return dialog != nullptr ? dynamic_cast<juce::Slider*> (dialog->getContentComponent()) : nullptr;
}

TEST_F (MorphPaneMenu, RefreshRateDialogSetsTheRateWhenItCloses)
{
    open();
    paneModel->menuItemChosen (MorphPaneModel::refreshRateItem, {});

    juce::Component::SafePointer<juce::DialogWindow> dialog (paneModel->getRefreshRateDialog());
    auto* slider = sliderOf (dialog);
    ASSERT_NE (slider, nullptr);
    EXPECT_TRUE (dialog->getName().isEmpty());
    EXPECT_TRUE (slider->getName().isEmpty());
    EXPECT_EQ (slider->getMinimum(), 1.0);
    EXPECT_EQ (slider->getMaximum(), 5000.0);
    EXPECT_EQ (slider->getInterval(), 1.0);
    EXPECT_EQ (slider->getValue(), 200.0);
    EXPECT_GE (slider->getWidth(), 200); // the dialog may widen its content to fit its title bar
    EXPECT_TRUE (dialog->isVisible());

    // Choosing the item again brings the same dialog forward.
    paneModel->menuItemChosen (MorphPaneModel::refreshRateItem, {});
    EXPECT_EQ (paneModel->getRefreshRateDialog(), dialog.getComponent());

    slider->setValue (9999.0);
    EXPECT_EQ (slider->getValue(), 5000.0);
    slider->setValue (1234.0);
    EXPECT_EQ (model.getRefreshRate(), 200); // nothing is written before the dialog closes

    static_cast<juce::DocumentWindow*> (dialog.getComponent())->closeButtonPressed();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return dialog == nullptr; }));
    EXPECT_EQ (model.getRefreshRate(), 1234);
    EXPECT_EQ (paneModel->getRefreshRateDialog(), nullptr);
    EXPECT_EQ (entriesOf (paneModel->createMenu())[4].text, "Midi Out Refresh Rate:1234");
}

TEST_F (MorphPaneMenu, ClosingThePaneClosesTheDialogAndKeepsItsRate)
{
    open();
    paneModel->menuItemChosen (MorphPaneModel::refreshRateItem, {});
    juce::Component::SafePointer<juce::DialogWindow> dialog (paneModel->getRefreshRateDialog());
    ASSERT_NE (sliderOf (dialog), nullptr);
    sliderOf (dialog)->setValue (3.0);

    close();
    EXPECT_EQ (dialog, nullptr);
    EXPECT_EQ (model.getRefreshRate(), 3);
}

} // namespace
} // namespace brisquell
