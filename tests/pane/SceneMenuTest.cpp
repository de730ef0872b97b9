// SPDX-License-Identifier: GPL-3.0-or-later
#include "MorphPaneFixture.h"

#include "pane/SceneGUI.h"
#include "support/MenuKeys.h"

namespace brisquell
{
namespace
{

using namespace test;

//==============================================================================
class SceneMenus : public MorphPaneFixture
{
protected:
    SceneGUI& sceneView (int i) { return dynamic_cast<SceneGUI&> (view (i)); }

    /** Right-clicks the scene's view and picks the item (and the submenu's item) by keyboard. */
    void choose (int sceneIndex, const juce::String& item, int submenuPosition = -1)
    {
        auto& scene = *model.getScene (sceneIndex);
        const auto position = reachablePositionOf (paneModel->getSceneMenu().create (scene), item);
        ASSERT_GE (position, 0) << item;

        pointer->click (view (sceneIndex), pointer->centreOf (view (sceneIndex)), right);
        ASSERT_TRUE (pickFromOpenMenu (submenuPosition < 0 ? std::vector<int>{ position } : std::vector<int>{ position, submenuPosition }));
        runMessageLoopFor (20);
        settle();
    }

    juce::AlertWindow* renameDialog() { return paneModel->getSceneMenu().getRenameDialog(); }

    /** Chooses "rename..." in the scene's menu and answers the dialog it opens, or none. */
    juce::AlertWindow* openRenameDialog (int sceneIndex)
    {
        choose (sceneIndex, "rename...");
        EXPECT_TRUE (runMessageLoopUntil ([this]
                                          { return renameDialog() != nullptr; }));
        return renameDialog();
    }

    /** Opens the rename dialog of the scene through its menu, types the text into it and ends
        with the key.
    */
    void rename (int sceneIndex, const juce::String& text, int endKey)
    {
        juce::Component::SafePointer<juce::AlertWindow> dialog (openRenameDialog (sceneIndex));
        ASSERT_NE (dialog, nullptr);
        auto* editor = dialog->getTextEditor ("name");
        ASSERT_NE (editor, nullptr);
        EXPECT_EQ (editor->getText(), model.getScene (sceneIndex)->getName());

        editor->selectAll();
        sendKey (*editor, juce::KeyPress (juce::KeyPress::backspaceKey));
        typeText (*editor, text);
        sendKey (*editor, juce::KeyPress (endKey));
        ASSERT_TRUE (runMessageLoopUntil ([&]
                                          { return dialog == nullptr; }));
        settle();
    }
};

TEST_F (SceneMenus, OfferTheScenesOwnItemsThenTheOnesThatEditIt)
{
    auto* scene = addScene (40.0f, 40.0f);
    scene->setColour (juce::Colour (SceneMenu::getPalette()[3].argb));
    open();

    const auto menu = paneModel->getSceneMenu().create (*scene);
    std::vector<juce::String> texts;
    const juce::PopupMenu* colours = nullptr;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        texts.push_back (it.getItem().isSeparator ? "----" : it.getItem().text);

        if (it.getItem().subMenu != nullptr)
            colours = it.getItem().subMenu.get();
    }

    EXPECT_EQ (texts, (std::vector<juce::String>{ "delete", "learn trigger", "forget trigger", "----", "rename...", "colour", "duplicate", "randomise" }));
    ASSERT_NE (colours, nullptr);

    std::vector<juce::String> colourTexts;
    juce::String ticked;

    for (juce::PopupMenu::MenuItemIterator it (*colours); it.next();)
    {
        colourTexts.push_back (it.getItem().text);

        if (it.getItem().isTicked)
            ticked = it.getItem().text;
    }

    EXPECT_EQ (colourTexts, (std::vector<juce::String>{ "none", "red", "orange", "yellow", "green", "cyan", "blue", "purple", "pink" }));
    EXPECT_EQ (ticked, "green");
}

TEST_F (SceneMenus, RenameTypesANameThatTheViewShowsAndEscapeKeepsTheOldOne)
{
    addScene (40.0f, 40.0f);
    open();
    settle();
    EXPECT_EQ (sceneView (0).getLook().label, "1");

    rename (0, "Lead", juce::KeyPress::returnKey);
    EXPECT_EQ (model.getScene (0)->getName(), "Lead");
    ASSERT_TRUE (runMessageLoopUntil ([&]
                                      { return sceneView (0).getLook().label == "Lead"; }));

    rename (0, "Pad", juce::KeyPress::escapeKey);
    EXPECT_EQ (model.getScene (0)->getName(), "Lead");

    // Return on an emptied name gives the scene back its number.
    rename (0, {}, juce::KeyPress::returnKey);
    EXPECT_EQ (model.getScene (0)->getName(), "");
    ASSERT_TRUE (runMessageLoopUntil ([&]
                                      { return sceneView (0).getLook().label == "1"; }));
}

TEST_F (SceneMenus, ARenameDialogOpenWhenThePaneClosesRenamesNothing)
{
    auto* scene = addScene (40.0f, 40.0f);
    open();
    settle();
    juce::Component::SafePointer<juce::AlertWindow> dialog (openRenameDialog (0));
    ASSERT_NE (dialog, nullptr);
    dialog->getTextEditor ("name")->setText ("never");

    close();
    EXPECT_EQ (dialog, nullptr);
    runMessageLoopFor (50);
    EXPECT_EQ (scene->getName(), "");
}

TEST_F (SceneMenus, ARenameOfASceneDeletedMeanwhileRenamesNothing)
{
    addScene (40.0f, 40.0f);
    open();
    settle();
    juce::Component::SafePointer<juce::AlertWindow> dialog (openRenameDialog (0));
    ASSERT_NE (dialog, nullptr);

    model.deleteScene (model.getScene (0));
    settle();
    auto* newer = addScene (80.0f, 80.0f);
    settle();

    typeText (*dialog->getTextEditor ("name"), "late");
    sendKey (*dialog->getTextEditor ("name"), juce::KeyPress (juce::KeyPress::returnKey));
    ASSERT_TRUE (runMessageLoopUntil ([&]
                                      { return dialog == nullptr; }));
    EXPECT_EQ (newer->getName(), "");
}

TEST_F (SceneMenus, ColourDuplicateAndRandomiseReachTheModel)
{
    model.addController (1, 1);
    model.addController (2, 1);
    auto* scene = addScene (40.0f, 40.0f);
    model.getController (0)->setValueInScene (64, *scene);
    open();
    settle();

    choose (0, "colour", 5); // the fifth colour, after "none"
    EXPECT_EQ (scene->getColour(), juce::Colour (SceneMenu::getPalette()[4].argb));
    ASSERT_TRUE (runMessageLoopUntil ([&]
                                      { return sceneView (0).getLook().colour == scene->getColour(); }));

    choose (0, "colour", 0);
    EXPECT_FALSE (scene->getColour().has_value());

    choose (0, "duplicate");
    ASSERT_EQ (model.getNumScenes(), 2);
    EXPECT_EQ (model.getScene (1)->getPosition(), juce::Point<float> (65.0f, 65.0f));
    EXPECT_EQ (model.getScene (1)->getValueFor (*model.getController (0)), 64);
    EXPECT_EQ (model.getSelectedScenes(), scenes ({ 1 }));
    EXPECT_EQ (pane->getNumViews(), 2);

    model.setRandomSeed (99);
    choose (1, "randomise");
    Brisquell reference;
    reference.addController (1, 1);
    reference.addController (2, 1);
    reference.setRandomSeed (99);
    auto* expected = reference.keyRandomSceneAtCursor();

    for (int c = 0; c < 2; ++c)
        EXPECT_EQ (model.getScene (1)->getValueFor (*model.getController (c)), expected->getValueFor (*reference.getController (c))) << c;

    EXPECT_EQ (scene->getValueFor (*model.getController (0)), 64) << "the source keeps its values";
}

TEST_F (SceneMenus, RegressionAMenuLeftOpenOverADeletedSceneNeverDeletesANewerOne)
{
    auto* first = addScene (40.0f, 40.0f);
    open();
    settle();
    pointer->click (view (0), pointer->centreOf (view (0)), right);
    ASSERT_NE (openMenuWindow(), nullptr);

    // The scene goes and is destroyed; a new one, quite possibly at the same address, comes.
    // (The notifications are delivered by hand: a message loop with no component focused
    // would close the menu.)
    model.deleteScene (first);
    model.deliverPendingNotifications();
    auto* newer = addScene (100.0f, 100.0f);
    model.deliverPendingNotifications();
    ASSERT_EQ (pane->getNumViews(), 1);
    SCOPED_TRACE (newer == first ? "the new scene took the old one's address" : "the new scene lies elsewhere");

    ASSERT_TRUE (pickFromOpenMenu ({ 0 })); // "delete"
    runMessageLoopFor (50);
    settle();
    ASSERT_EQ (model.getNumScenes(), 1);
    EXPECT_EQ (model.getScene (0), newer);
}

//==============================================================================
using PaneMenuForScenes = MorphPaneFixture;

TEST_F (PaneMenuForScenes, NewRandomSceneAndSharpnessThroughTheKeyboard)
{
    model.addController (1, 1);
    model.addController (2, 1);
    model.getCursor().setPosition (120.0f, 60.0f);
    open();
    settle();

    const auto pick = [this] (const juce::String& item, int submenuPosition)
    {
        const auto position = reachablePositionOf (paneModel->createMenu(), item);
        ASSERT_GE (position, 0) << item;
        pointer->click (*pane, { 350, 250 }, right);
        ASSERT_TRUE (pickFromOpenMenu (submenuPosition < 0 ? std::vector<int>{ position } : std::vector<int>{ position, submenuPosition }));
        runMessageLoopFor (20);
        settle();
    };

    pick ("new random scene", -1);
    ASSERT_EQ (model.getNumScenes(), 1);
    EXPECT_EQ (model.getScene (0)->getPosition(), juce::Point<float> (120.0f, 60.0f)) << "at the cursor, not the click";
    EXPECT_EQ (model.getScene (0)->getNumValues(), 2);
    EXPECT_EQ (pane->getNumViews(), 1);

    pick ("sharpness", 2);
    EXPECT_EQ (model.getSharpness(), 4);
    pick ("sharpness", 1);
    EXPECT_EQ (model.getSharpness(), 2);

    // The submenu ticks the sharpness in use.
    const auto menu = paneModel->createMenu();
    int sharpnessItems = 0;

    for (juce::PopupMenu::MenuItemIterator it (menu, true); it.next();)
    {
        const auto& item = it.getItem();

        if (item.itemID > MorphPaneModel::sharpnessItemBase && item.itemID < MorphPaneModel::scaleItemBase)
        {
            ++sharpnessItems;
            EXPECT_EQ (item.isTicked, item.itemID == MorphPaneModel::sharpnessItemBase + 2) << item.text;
        }
    }

    EXPECT_EQ (sharpnessItems, 3);
}

} // namespace
} // namespace brisquell
