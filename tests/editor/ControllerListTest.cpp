// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/ControllerList.h"
#include "GuiEvents.h"
#include "ModelHelpers.h"
#include "editor/K4TZLook.h"

#include <gtest/gtest.h>

namespace brisquell
{
namespace
{

/** The list box as the editor sets it up: 120 pixels wide, 24-pixel rows, scroll bar always shown. */
struct ControlsBox : public ::testing::Test
{
    ControlsBox()
    {
        for (int cc = 0; cc < 3; ++cc)
            model.addController (cc, 1);

        model.deliverPendingNotifications();
        box.setRowHeight (24);
        box.getVerticalScrollBar().setAutoHide (false);
        box.updateContent();
    }

    ControllerGUI* rowAt (int index) { return dynamic_cast<ControllerGUI*> (box.getComponentForRowNumber (index)); }

    Brisquell model;
    SharedK4TZLook look;
    ControllerList list{ model };
    juce::ListBox box{ "controls", &list };
    test::DesktopHolder window{ box, 120, 200 };
};

TEST_F (ControlsBox, ShowsOneRowOf108By24PerController)
{
    EXPECT_EQ (list.getNumRows(), 3);

    for (int i = 0; i < 3; ++i)
    {
        auto* row = rowAt (i);
        ASSERT_NE (row, nullptr) << i;
        EXPECT_EQ (&row->getController(), model.getController (i));
        EXPECT_EQ (row->getWidth(), 108) << "the look's scroll bar is 12 pixels wide";
        EXPECT_EQ (row->getHeight(), 24);
    }

    EXPECT_EQ (rowAt (3), nullptr);
}

TEST_F (ControlsBox, MakesEveryRowAnewOnEachUpdateAndDeletesTheOldOne)
{
    juce::Component::SafePointer<ControllerGUI> old (rowAt (1));
    box.updateContent();
    EXPECT_EQ (old, nullptr) << "the old row was deleted";
    EXPECT_NE (rowAt (1), nullptr);

    juce::Component* existing = new juce::Component();
    juce::Component::SafePointer<juce::Component> watch (existing);
    EXPECT_EQ (list.refreshComponentForRow (7, false, existing), nullptr) << "no row outside the list";
    EXPECT_EQ (watch, nullptr);
    EXPECT_EQ (list.refreshComponentForRow (-1, false, nullptr), nullptr);
}

TEST_F (ControlsBox, CursorKeysInANumberEntryLeaveTheRowsAlone)
{
    ControllerGUI* row = nullptr;
    juce::String typed;

    ASSERT_TRUE (test::whileFocusHolds ([&]
                                        {
        row = rowAt (1);
        auto& ccBox = row->getCcNumberBox();
        window.takeFocus();
        ccBox.showEditor();

        // Through the window's peer, as a key typed by the user travels: the focused entry
        // first, then its parents.
        auto* peer = box.getPeer();
        peer->handleKeyPress (juce::KeyPress (test::characterKey ('5')));
        peer->handleKeyPress (juce::KeyPress (juce::KeyPress::downKey));
        peer->handleKeyPress (juce::KeyPress (juce::KeyPress::upKey));

        if (rowAt (1) != row || ! ccBox.isBeingEdited() || ! ccBox.getCurrentTextEditor()->hasKeyboardFocus (true))
            return rowAt (1) != row; // replaced rows are the fault; a lost focus is another attempt

        typed = ccBox.getCurrentTextEditor()->getText();
        return true; }));

    EXPECT_EQ (rowAt (1), row) << "the rows were not replaced";
    EXPECT_EQ (typed, "5") << "the entry stayed open with what was typed";
    EXPECT_EQ (box.getSelectedRow(), -1);
}

} // namespace
} // namespace brisquell
