// SPDX-License-Identifier: GPL-3.0-or-later
#include "GuiEvents.h"
#include "ModelHelpers.h"
#include "editor/ControllerList.h"
#include "support/MenuKeys.h"
#include "support/MessageLoop.h"

#include <gtest/gtest.h>

namespace brisquell
{
namespace
{

using test::addSceneAt;
using test::makeMouseEvent;

const juce::Colour lightGrey (0xffd3d3d3), red (0xffff0000), black (0xff000000);

/** One row of 108 x 24 pixels, the size the list gives it, in a window of its own. */
struct ControllerRow : public ::testing::Test
{
    ControllerRow()
    {
        model.setAutoKey (false);
        controller = model.addController (7, 1);
        model.deliverPendingNotifications();
        row = std::make_unique<ControllerGUI> (*controller, model);
        window = std::make_unique<test::DesktopHolder> (*row, 108, 24);
    }

    ~ControllerRow() override
    {
        test::dismissOpenMenus();
        window.reset();
        row.reset();
    }

    /** Lets the model's notifications reach the row. */
    void deliver() { model.deliverPendingNotifications(); }

    juce::String shownValue() { return row->getValueBox().getText(); }
    juce::Colour valueColour() { return row->getValueBox().findColour (juce::Label::textColourId); }

    /** Drags the row's value box from its centre by dy pixels, without releasing. */
    void startValueDrag() { row->getValueBox().mouseDown (makeMouseEvent (row->getValueBox(), dragStart, test::leftButton(), dragStart)); }
    void dragValueTo (float dy) { row->getValueBox().mouseDrag (makeMouseEvent (row->getValueBox(), dragStart.translated (0, dy), test::leftButton(), dragStart, true)); }

    Brisquell model;
    Controller* controller = nullptr;
    std::unique_ptr<ControllerGUI> row;
    std::unique_ptr<test::DesktopHolder> window;
    const juce::Point<float> dragStart{ 16, 12 };
};

TEST_F (ControllerRow, SplitsARowOf108By24IntoTheValueNameAndNumberCells)
{
    // Inside the row's outline and a white pixel: the value on the left, the name above the
    // labelled channel and CC number on the right, a white pixel between them.
    EXPECT_EQ (row->getValueBox().getBounds(), juce::Rectangle<int> (2, 2, 31, 20));
    EXPECT_EQ (row->getNameEditor().getBounds(), juce::Rectangle<int> (35, 2, 71, 10));
    EXPECT_EQ (row->getChannelLabel().getBounds(), juce::Rectangle<int> (35, 13, 12, 9));
    EXPECT_EQ (row->getChannelBox().getBounds(), juce::Rectangle<int> (47, 13, 18, 9));
    EXPECT_EQ (row->getCcLabel().getBounds(), juce::Rectangle<int> (65, 13, 12, 9));
    EXPECT_EQ (row->getCcNumberBox().getBounds(), juce::Rectangle<int> (77, 13, 29, 9));

    EXPECT_EQ (row->getCcNumberBox().getText(), "7");
    EXPECT_EQ (row->getNameEditor().getText(), "7");
}

TEST_F (ControllerRow, ColoursTheValueByHowTheSelectedScenesAgree)
{
    auto* first = addSceneAt (model, 0, 0);
    auto* second = addSceneAt (model, 100, 0);
    auto* empty = addSceneAt (model, 0, 100);
    controller->setValueInScene (64, *first);
    controller->setValueInScene (70, *second);

    model.setSelectedScenes ({});
    deliver();
    EXPECT_EQ (shownValue(), juce::String (controller->getValue())) << "the interpolated value";
    EXPECT_EQ (valueColour(), lightGrey);

    model.setSelectedScenes ({ first });
    deliver();
    EXPECT_EQ (shownValue(), "64");
    EXPECT_EQ (valueColour(), black);

    model.setSelectedScenes ({ first, second });
    deliver();
    EXPECT_EQ (shownValue(), "64") << "the first selected scene's value";
    EXPECT_EQ (valueColour(), red);

    model.setSelectedScenes ({ empty });
    deliver();
    EXPECT_EQ (shownValue(), "0");
    EXPECT_EQ (valueColour(), lightGrey);
}

TEST_F (ControllerRow, TheFirstValueDragWithNoSceneSelectedKeysASceneHoldingIt)
{
    model.setAutoKey (true);
    ASSERT_EQ (model.getNumScenes(), 0);

    startValueDrag();
    dragValueTo (-2);
    ASSERT_EQ (model.getNumScenes(), 1) << "a scene keyed at the cursor";
    ASSERT_EQ (model.getSelectedScene (0), model.getScene (0));
    EXPECT_EQ (model.getScene (0)->getValueFor (*controller), 1) << "that holds the first step's value";

    deliver();
    EXPECT_EQ (shownValue(), "1");
    EXPECT_EQ (valueColour(), black);

    dragValueTo (-6);
    EXPECT_EQ (model.getScene (0)->getValueFor (*controller), 3);
    deliver();
    EXPECT_EQ (shownValue(), "3");
    EXPECT_EQ (valueColour(), black);
    EXPECT_EQ (model.getNumScenes(), 1) << "later steps key no further scene";
}

TEST_F (ControllerRow, DraggingTheValueUpRaisesItOneStepPerTwoPixelsWithinZeroTo127)
{
    auto* scene = addSceneAt (model, 0, 0);
    controller->setValueInScene (64, *scene);
    deliver();
    auto& box = row->getValueBox();
    ASSERT_EQ (shownValue(), "64");

    const auto dragAndRead = [&] (float dy)
    {
        test::dragVertically (box, dragStart, dy);
        deliver();
        return std::make_pair (shownValue(), scene->getValueFor (*controller));
    };

    EXPECT_EQ (dragAndRead (-10), std::make_pair (juce::String ("69"), 69));
    EXPECT_EQ (dragAndRead (200), std::make_pair (juce::String ("0"), 0)) << "a long drag down stops at the minimum";
    EXPECT_EQ (dragAndRead (-3), std::make_pair (juce::String ("2"), 2)) << "1.5 steps round to the even 2";
    EXPECT_EQ (dragAndRead (-400), std::make_pair (juce::String ("127"), 127)) << "a long drag up stops at the maximum";
    EXPECT_FALSE (box.isBeingEdited()) << "a drag opens no entry";

    // A right-button press belongs to the row's menu: moving on the way changes nothing.
    auto& component = static_cast<juce::Component&> (box);
    const auto up = dragStart.translated (0, 20);
    component.mouseDown (makeMouseEvent (box, dragStart, test::rightButton(), dragStart));
    component.mouseDrag (makeMouseEvent (box, up, test::rightButton(), dragStart, true));
    component.mouseUp (makeMouseEvent (box, up, test::rightButton(), dragStart, true));
    deliver();
    EXPECT_EQ (shownValue(), "127");
    EXPECT_EQ (scene->getValueFor (*controller), 127);
    EXPECT_FALSE (box.isBeingEdited());

    component.mouseDown (makeMouseEvent (box, dragStart, test::leftButton(), dragStart));
    component.mouseUp (makeMouseEvent (box, dragStart, juce::ModifierKeys(), dragStart));
    EXPECT_NE (dynamic_cast<NumberBox*> (box.getCurrentTextEditor()), nullptr) << "a click opens a number box";
}

TEST_F (ControllerRow, RegressionANumberTypedWhileMidiFlowsStaysUntilItIsFinished)
{
    // Every notification used to refresh the whole row, which closed the value's entry and
    // dropped what was typed: with MIDI flowing, nothing could be typed at all.
    auto* scene = addSceneAt (model, 0, 0);
    controller->setValueInScene (10, *scene);
    deliver();
    auto& box = row->getValueBox();

    const auto midiFlows = [&] (int value, int channel)
    {
        for (int i = 0; i < 3; ++i)
        {
            controller->setValueInScene (value, *scene);
            controller->setChannel (channel);
            model.notifyChange (controller);
            deliver();
            test::runMessageLoopFor (5);
        }
    };

    const auto typeWhileMidiFlows = [&] (const juce::String& typed, int value, int channel)
    {
        return test::whileFocusHolds ([&]
                                      {
            if (box.isBeingEdited())
                box.hideEditor (true);

            window->takeFocus();
            box.showEditor();
            auto* entry = box.getCurrentTextEditor();

            if (entry == nullptr || ! entry->hasKeyboardFocus (true))
                return false;

            for (auto c : typed)
                entry->keyPressed (test::characterKey (c));

            midiFlows (value, channel);
            return box.isBeingEdited() && box.getCurrentTextEditor()->getText() == typed; });
    };

    ASSERT_TRUE (typeWhileMidiFlows ("99", 24, 3)) << "the entry was closed or lost what was typed";
    EXPECT_EQ (row->getChannelBox().getText(), "3") << "the row's other widgets still refresh";
    EXPECT_EQ (scene->getValueFor (*controller), 24);

    // Return hands the typed number on.
    box.getCurrentTextEditor()->keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    ASSERT_TRUE (test::runMessageLoopUntil ([&]
                                            { return ! box.isBeingEdited(); }));
    EXPECT_EQ (scene->getValueFor (*controller), 99);
    deliver();
    EXPECT_EQ (shownValue(), "99");

    // Escape drops it, and the box shows what arrived meanwhile, not what it showed before.
    ASSERT_TRUE (typeWhileMidiFlows ("5", 30, 4));
    box.getCurrentTextEditor()->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey));
    EXPECT_TRUE (test::runMessageLoopUntil ([&]
                                            { return ! box.isBeingEdited() && shownValue() == "30"; }))
        << shownValue();
    EXPECT_EQ (scene->getValueFor (*controller), 30);
}

TEST_F (ControllerRow, ChannelAndCcNumbersAreShownClampedAndEditedWithoutANotification)
{
    controller->setChannel (20);
    controller->setCcNumber (200);
    row->refresh();
    EXPECT_EQ (row->getChannelBox().getText(), "16");
    EXPECT_EQ (row->getCcNumberBox().getText(), "127");
    EXPECT_EQ (controller->getCcNumber(), 200) << "kept until the user edits the box";

    test::NotificationCounter counter (model);
    deliver();
    counter.total = 0;

    test::dragVertically (row->getChannelBox(), { 9, 6 }, 60);
    EXPECT_EQ (controller->getChannel(), 1) << "the box bounds what it passes on";
    test::dragVertically (row->getCcNumberBox(), { 9, 6 }, 4);
    EXPECT_EQ (controller->getCcNumber(), 125);

    deliver();
    EXPECT_EQ (counter.total, 0);
}

TEST_F (ControllerRow, TypingANameRenamesTheControllerAtEveryKeystroke)
{
    test::NotificationCounter counter (model);
    auto& name = row->getNameEditor();
    juce::StringArray namesAfterKeystrokes;

    ASSERT_TRUE (test::whileFocusHolds ([&]
                                        {
        controller->setName ("7");
        row->refresh();
        deliver();
        counter.total = 0;
        namesAfterKeystrokes.clear();
        window->takeFocus();
        name.grabKeyboardFocus();
        name.selectAll();

        for (auto c : juce::String ("cut"))
        {
            name.keyPressed (test::characterKey (c));
            test::runMessageLoopFor (5);
            namesAfterKeystrokes.add (controller->getName());
        }

        // Other notifications while typing leave the typed name alone.
        model.notifyChange (controller);
        name.keyPressed (test::characterKey ('s'));
        deliver();
        return name.hasKeyboardFocus (false) && name.getText() == "cuts"; }));

    EXPECT_EQ (namesAfterKeystrokes, juce::StringArray ({ "c", "cu", "cut" }));
    EXPECT_EQ (counter.total, 1) << "only the one notification sent above; renaming sends none";
    EXPECT_EQ (name.getText(), "cuts");

    window.reset();
    row.reset();
    EXPECT_EQ (controller->getName(), "cuts") << "a keystroke still on its way when the row goes is kept";
    EXPECT_TRUE (model.createStateXml ("brisquell")->toString().contains ("\"cuts\""));
}

TEST_F (ControllerRow, ARightClickOnAnyOfItsWidgetsOpensTheRowMenu)
{
    for (auto* child : row->getChildren())
    {
        const auto centre = child->getBounds().getCentre().toFloat();
        test::clickThroughPeer (*row, centre, test::rightButton());
        EXPECT_TRUE (test::dismissOpenMenus()) << "no menu from a right click at " << centre.toString();
        EXPECT_FALSE (row->getValueBox().isBeingEdited());
    }

    test::clickThroughPeer (*row, { 16, 12 }, test::leftButton());
    EXPECT_FALSE (test::dismissOpenMenus()) << "a left click opens no menu";
    EXPECT_TRUE (row->getValueBox().isBeingEdited()) << "the value box still opens its entry";
}

TEST_F (ControllerRow, AddControllerFollowsTheModelsLastControllerNotTheRow)
{
    const auto menu = ControllerGUI::createMenu();
    juce::PopupMenu::MenuItemIterator items (menu);
    juce::StringArray texts;

    while (items.next())
        texts.add (juce::String (items.getItem().itemID) + " " + items.getItem().text);

    EXPECT_EQ (texts, juce::StringArray ({ "1 remove controller", "2 add controller", "0 send as" }));

    auto* last = model.addController (127, 5);
    row->menuItemChosen (ControllerGUI::addControllerItem);
    ASSERT_EQ (model.getNumControllers(), 3);
    EXPECT_EQ (model.getController (2)->getCcNumber(), 128) << "not limited";
    EXPECT_EQ (model.getController (2)->getChannel(), 5);
    EXPECT_EQ (model.getController (1), last);

    row->menuItemChosen (0);
    EXPECT_EQ (model.getNumControllers(), 3) << "a dismissed menu changes nothing";

    row->menuItemChosen (ControllerGUI::removeControllerItem);
    EXPECT_EQ (model.getNumControllers(), 2);
    EXPECT_EQ (model.indexOfController (controller), -1);
    deliver();
}

TEST_F (ControllerRow, SendAsOffersTheKindsWithTheCurrentOneTickedAndChangesItThroughTheKeyboard)
{
    auto* scene = addSceneAt (model, 0, 0);
    controller->setCcNumber (74);
    controller->setValueInScene (64, *scene);
    deliver();

    const auto kindsIn = [] (const juce::PopupMenu& menu)
    {
        juce::StringArray texts;

        for (juce::PopupMenu::MenuItemIterator items (menu, true); items.next();)
            if (items.getItem().subMenu == nullptr)
                texts.add (juce::String (items.getItem().itemID) + " " + items.getItem().text + (items.getItem().isTicked ? " *" : ""));

        texts.removeRange (0, 2);
        return texts;
    };

    EXPECT_EQ (kindsIn (ControllerGUI::createMenu (ControllerKind::nrpn)), juce::StringArray ({ "10 CC", "11 14-bit CC", "12 NRPN *" }));

    // A right click on the row, down to "send as", into it and down to the kind, as a user does.
    const auto sendAs = [&] (int kindPosition)
    {
        test::clickThroughPeer (*row, { 60, 6 }, test::rightButton());

        if (! test::runMessageLoopUntil ([]
                                         { return test::openMenuWindow() != nullptr; }))
            return false;

        const auto picked = test::pickFromOpenMenu ({ test::reachablePositionOf (ControllerGUI::createMenu(), "send as"), kindPosition });
        test::runMessageLoopUntil ([]
                                   { return test::openMenuWindow() == nullptr; });
        deliver();
        return picked;
    };

    ASSERT_TRUE (sendAs (2));
    EXPECT_EQ (controller->getKind(), ControllerKind::nrpn);
    EXPECT_EQ (shownValue(), "8192") << "the value rescaled, shown at 14 bits";
    EXPECT_EQ (row->getValueBox().getMaximum(), 16383);
    EXPECT_EQ (row->getCcNumberBox().getMaximum(), 16383);
    EXPECT_EQ (row->getCcNumberBox().getText(), "74");
    EXPECT_EQ (kindsIn (ControllerGUI::createMenu (controller->getKind())).joinIntoString ("|"), "10 CC|11 14-bit CC|12 NRPN *");

    ASSERT_TRUE (sendAs (1));
    EXPECT_EQ (controller->getKind(), ControllerKind::fourteenBit);
    EXPECT_EQ (row->getCcNumberBox().getText(), "31") << "clamped into the 14-bit CC numbers";
    EXPECT_EQ (row->getCcNumberBox().getMaximum(), 31);

    ASSERT_TRUE (sendAs (0));
    EXPECT_EQ (controller->getKind(), ControllerKind::sevenBit);
    EXPECT_EQ (shownValue(), "64");
    EXPECT_EQ (row->getValueBox().getMaximum(), 127);
}

TEST_F (ControllerRow, AFourteenBitRowDragsAcrossItsRangeAsFarAsASevenBitOneAndTypesAnyValue)
{
    auto* scene = addSceneAt (model, 0, 0);
    controller->setKind (ControllerKind::nrpn);
    controller->setValueInScene (8192, *scene);
    deliver();
    auto& box = row->getValueBox();

    test::dragVertically (box, dragStart, -10);
    deliver();
    EXPECT_EQ (scene->getValueFor (*controller), 8192 + 5 * 128);
    test::dragVertically (box, dragStart, -400);
    deliver();
    EXPECT_EQ (scene->getValueFor (*controller), 16383) << "the top of the range";

    const auto typed = test::whileFocusHolds ([&]
                                              {
        window->takeFocus();
        box.showEditor();
        auto* entry = box.getCurrentTextEditor();

        if (entry == nullptr || ! entry->hasKeyboardFocus (true))
            return false;

        for (auto c : juce::String ("12345"))
            entry->keyPressed (test::characterKey (c));

        entry->keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
        return true; });

    ASSERT_TRUE (typed);
    ASSERT_TRUE (test::runMessageLoopUntil ([&]
                                            { return ! box.isBeingEdited(); }));
    EXPECT_EQ (scene->getValueFor (*controller), 12345);

    // The parameter number: any of 0..16383, dragged a step per 2 pixels.
    test::dragVertically (row->getCcNumberBox(), { 9, 6 }, -4);
    EXPECT_EQ (controller->getCcNumber(), 9);
    test::dragVertically (row->getCcNumberBox(), { 9, 6 }, 40);
    EXPECT_EQ (controller->getCcNumber(), 0);
}

TEST_F (ControllerRow, AMenuOutlivingItsRowDoesNothing)
{
    row->showMenu();
    window.reset();
    row.reset();
    test::runMessageLoopFor (50);
    EXPECT_FALSE (test::dismissOpenMenus()) << "the row's menu went with it";
    EXPECT_EQ (model.getNumControllers(), 1);
}

} // namespace
} // namespace brisquell
