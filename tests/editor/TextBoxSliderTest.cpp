// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/TextBoxSlider.h"
#include "GuiEvents.h"
#include "editor/ControllerList.h"

#include <gtest/gtest.h>

namespace brisquell
{
namespace
{

using test::characterKey;

/** A box set up as a controller row sets up its value box (its range, interval and drag
    distance are read from a real row) showing 64, in a window that can take the keyboard focus;
    it records what its label listeners hear. The box stands alone so that no model notification
    reloads it while a test types; dragging the row's own box is tested with the row.
*/
struct ValueBox : public ::testing::Test,
                  private juce::Label::Listener
{
    ValueBox()
    {
        Brisquell model;
        ControllerGUI row (*model.addController (7, 1), model);
        const auto& rowsBox = row.getValueBox();
        box.setRange (rowsBox.getMinimum(), rowsBox.getMaximum(), rowsBox.getInterval(), rowsBox.getPixelsPerStep());
        box.setValue (64, juce::dontSendNotification);
        box.addListener (this);
    }

    ~ValueBox() override { box.removeListener (this); }

    void labelTextChanged (juce::Label* label) override { announced.add (label->getText()); }

    /** Presses a key in the open number box, letting Return and Escape arrive (the text editor
        hands them to the label through its message queue). Answers what keyPressed answered.
    */
    bool press (const juce::KeyPress& key)
    {
        auto* editor = box.getCurrentTextEditor();
        const auto answer = editor != nullptr && editor->keyPressed (key);
        test::runMessageLoopFor (5);
        return answer;
    }

    /** Opens the entry on the value, with the keyboard focus; false when the focus is elsewhere. */
    bool openEntry (double value)
    {
        box.setValue (value, juce::dontSendNotification);
        announced.clear();
        window.takeFocus();
        box.showEditor();
        return box.getCurrentTextEditor()->hasKeyboardFocus (true);
    }

    /** Types into the open entry; false when it closed on the way (its focus was taken). */
    bool typeIntoEntry (const juce::String& characters)
    {
        for (auto c : characters)
        {
            if (! box.isBeingEdited())
                return false;

            press (characterKey (c));
        }

        // A focus event arriving in between would have closed the entry or reselected its text.
        return box.isBeingEdited() && box.getCurrentTextEditor()->getText() == characters;
    }

    /** Opens the entry on 50, types the characters and presses Return, until the focus holds. */
    bool type (const juce::String& characters, double startValue = 50)
    {
        return test::whileFocusHolds ([&]
                                      {
            if (! openEntry (startValue) || ! typeIntoEntry (characters))
                return false;

            press (juce::KeyPress (juce::KeyPress::returnKey));
            return ! box.isBeingEdited(); });
    }

    TextBoxSlider box;
    test::DesktopHolder window{ box, 32, 24 };
    juce::StringArray announced;
};

TEST (TextBoxSlider, SnapsHalvesToEvenClampsAndWritesNoTrailingZeros)
{
    TextBoxSlider box;
    box.setRange (0, 127, 1, 2);

    for (auto [given, shown] : { std::pair{ 63.5, "64" }, { 62.5, "62" }, { -7.0, "0" }, { 1000.0, "127" } })
    {
        box.setValue (given, juce::dontSendNotification);
        EXPECT_EQ (box.getText(), shown) << given;
    }

    box.setRange (1, 16, 1, 2);
    EXPECT_EQ (box.getText(), "127") << "a new range waits for the next value";
    box.setValue (0, juce::dontSendNotification);
    EXPECT_EQ (box.getText(), "1");
    box.setValue (40, juce::dontSendNotification);
    EXPECT_EQ (box.getText(), "16");

    box.setRange (0, 1, 0.5, 10);
    box.setValue (0.3, juce::dontSendNotification);
    EXPECT_EQ (box.getText(), "0.5");
    EXPECT_EQ (TextBoxSlider::formatNumber (1.0 / 3.0), "0.333333333");
    EXPECT_EQ (TextBoxSlider::formatNumber (-0.0), "0");

    box.setRange (0, 10, 0, 0); // no interval: no snapping; unreadable numbers read as 0
    box.setValue (2.75, juce::dontSendNotification);
    EXPECT_EQ (box.getText(), "2.75");
    box.setValue (std::numeric_limits<double>::quiet_NaN(), juce::dontSendNotification);
    EXPECT_EQ (box.getText(), "0");
}

TEST_F (ValueBox, TypedEntriesAreFilteredSnappedClampedAndAnnouncedOnce)
{
    for (auto [typed, shown] : { std::pair{ "+70", "70" }, { "7,5", "7" }, { "1.6", "2" }, { "-3", "0" }, { "300", "127" }, { "++12", "12" }, { "5-2", "5" }, { "-", "0" }, { "2.5.9", "2" } })
    {
        ASSERT_TRUE (type (typed)) << "the display's keyboard focus never held";
        EXPECT_EQ (box.getText(), shown) << typed;
        EXPECT_EQ (announced, juce::StringArray (shown)) << typed;
    }
}

TEST_F (ValueBox, AnUnchangedEntryOrEscapeChangesNothingAndTellsNobody)
{
    ASSERT_TRUE (type ("64", 64));
    EXPECT_TRUE (announced.isEmpty());

    ASSERT_TRUE (test::whileFocusHolds ([this]
                                        {
        if (! openEntry (64) || ! typeIntoEntry ("9"))
            return false;

        press (juce::KeyPress (juce::KeyPress::escapeKey));
        return ! box.isBeingEdited(); }));

    EXPECT_EQ (box.getText(), "64");
    EXPECT_TRUE (announced.isEmpty());
}

TEST_F (ValueBox, TheNumberBoxRefusesEveryOtherKeyAndNeverClaimsOne)
{
    const juce::KeyPress refused[] = { characterKey ('a'), characterKey (' '), characterKey ('e'), juce::KeyPress (juce::KeyPress::backspaceKey), juce::KeyPress (juce::KeyPress::deleteKey), juce::KeyPress (juce::KeyPress::leftKey), juce::KeyPress (juce::KeyPress::tabKey), juce::KeyPress ('a', juce::ModifierKeys::commandModifier, 0), juce::KeyPress (juce::KeyPress::returnKey, juce::ModifierKeys::shiftModifier, 0) };
    bool wasAnyClaimed = false;
    juce::StringArray textsAfterRefusedKeys;

    ASSERT_TRUE (test::whileFocusHolds ([&]
                                        {
        wasAnyClaimed = false;
        textsAfterRefusedKeys.clear();

        if (! openEntry (64))
            return false;

        for (auto c : juce::String ("0123456789.,-+"))
            wasAnyClaimed = press (characterKey (c)) || wasAnyClaimed;

        if (! box.isBeingEdited() || box.getCurrentTextEditor()->getText() != "0123456789.,-+")
            return false;

        box.getCurrentTextEditor()->setText ("12", false);

        for (auto& key : refused)
        {
            wasAnyClaimed = press (key) || wasAnyClaimed;

            if (! box.isBeingEdited())
                return false;

            textsAfterRefusedKeys.add (box.getCurrentTextEditor()->getText());
        }

        return true; }));

    EXPECT_FALSE (wasAnyClaimed) << "every key is offered to the parents too";
    EXPECT_EQ (textsAfterRefusedKeys, juce::StringArray::fromTokens ("12 12 12 12 12 12 12 12 12", false));

    box.getCurrentTextEditor()->giveAwayKeyboardFocus(); // a loss of focus keeps what was typed
    test::runMessageLoopFor (20);
    EXPECT_EQ (box.getText(), "12");
}

} // namespace
} // namespace brisquell
