#include "editor/TextBoxSlider.h"
#include "GuiEvents.h"
#include "support/MessageLoop.h"

#include <gtest/gtest.h>

namespace brisquell
{
namespace
{

using test::characterKey;

/** A number box opened on a box showing 64, in a window that can hold the keyboard focus. */
struct OpenNumberBox : public ::testing::Test
{
    OpenNumberBox()
    {
        box.setRange (0, 127, 1, 2);
        box.setValue (64, juce::dontSendNotification);
        box.showEditor();
        editor = dynamic_cast<NumberBox*> (box.getCurrentTextEditor());
    }

    /** Presses the key in the number box; answers what keyPressed answered. */
    bool press (const juce::KeyPress& key)
    {
        const auto answer = editor->keyPressed (key);
        // Return and Escape reach the label through the text editor's message queue.
        test::runMessageLoopFor (5);
        return answer;
    }

    TextBoxSlider box;
    test::DesktopHolder window { box, 40, 24 };
    NumberBox* editor = nullptr;
};

TEST_F (OpenNumberBox, DigitsSignsAndDecimalMarksAreTyped)
{
    ASSERT_NE (editor, nullptr);
    ASSERT_TRUE (editor->hasKeyboardFocus (true)) << "the display must let the box take the focus";

    for (auto c : juce::String ("0123456789.,-+"))
        EXPECT_FALSE (press (characterKey (c))) << "never claimed, so the parents see it too";

    EXPECT_EQ (editor->getText(), "0123456789.,-+") << "typing replaced the selected 64";
}

TEST_F (OpenNumberBox, OtherKeysNeverReachTheEditor)
{
    ASSERT_NE (editor, nullptr);
    press (characterKey ('1'));
    press (characterKey ('2'));

    const juce::KeyPress refused[] = {
        characterKey ('a'), characterKey ('Z'), characterKey (' '), characterKey ('e'),
        juce::KeyPress (juce::KeyPress::backspaceKey), juce::KeyPress (juce::KeyPress::deleteKey),
        juce::KeyPress (juce::KeyPress::leftKey), juce::KeyPress (juce::KeyPress::homeKey),
        juce::KeyPress (juce::KeyPress::tabKey),
        juce::KeyPress ('a', juce::ModifierKeys::commandModifier, 0), // select all
        juce::KeyPress ('z', juce::ModifierKeys::commandModifier, 0), // undo
        juce::KeyPress (juce::KeyPress::returnKey, juce::ModifierKeys::shiftModifier, 0)
    };

    for (auto& key : refused)
    {
        EXPECT_FALSE (NumberBox::isAllowedKey (key)) << key.getTextDescription();
        EXPECT_FALSE (press (key));
        ASSERT_TRUE (box.isBeingEdited()) << key.getTextDescription();
        EXPECT_EQ (editor->getText(), "12") << key.getTextDescription();
    }

    press (juce::KeyPress (juce::KeyPress::returnKey));
    EXPECT_FALSE (box.isBeingEdited());
    EXPECT_EQ (box.getText(), "12");
}

TEST_F (OpenNumberBox, EscapeDropsAMistypedEntry)
{
    ASSERT_NE (editor, nullptr);
    press (characterKey ('9'));
    press (characterKey ('9'));
    EXPECT_TRUE (NumberBox::isAllowedKey (juce::KeyPress (27)));
    EXPECT_FALSE (press (juce::KeyPress (juce::KeyPress::escapeKey)));
    EXPECT_FALSE (box.isBeingEdited());
    EXPECT_EQ (box.getText(), "64");
}

TEST_F (OpenNumberBox, LosingTheFocusKeepsTheTypedText)
{
    ASSERT_NE (editor, nullptr);
    press (characterKey ('3'));
    press (characterKey ('0'));
    editor->giveAwayKeyboardFocus();
    test::runMessageLoopFor (20);
    EXPECT_FALSE (box.isBeingEdited());
    EXPECT_EQ (box.getText(), "30");
}

TEST_F (OpenNumberBox, RefusesTextBeyondTwoHundredFiftySixCharacters)
{
    ASSERT_NE (editor, nullptr);
    editor->insertTextAtCaret (juce::String::repeatedString ("1", 300));
    EXPECT_EQ (editor->getTotalNumChars(), 256);
    editor->insertTextAtCaret ("x");
    EXPECT_EQ (editor->getTotalNumChars(), 256);
}

} // namespace
} // namespace brisquell
