#include "editor/TextBoxSlider.h"
#include "GuiEvents.h"
#include "support/MessageLoop.h"

#include <gtest/gtest.h>

namespace brisquell
{
namespace
{

using test::characterKey;
using test::dragVertically;
using test::makeMouseEvent;

/** Records every text the box announces to its label listeners. */
struct AnnouncedTexts final : public juce::Label::Listener
{
    explicit AnnouncedTexts (juce::Label& l) : label (l) { label.addListener (this); }
    ~AnnouncedTexts() override { label.removeListener (this); }
    void labelTextChanged (juce::Label* l) override { texts.add (l->getText()); }

    juce::Label& label;
    juce::StringArray texts;
};

/** A box as the controller rows use it: 0..127 in steps of 1, 2 pixels per step. */
struct ValueBoxFixture : public ::testing::Test
{
    ValueBoxFixture()
    {
        box.setRange (0, 127, 1, 2);
        box.setValue (64, juce::dontSendNotification);
    }

    /** Opens the text entry, types the characters and ends with Return (or Escape). */
    void type (const juce::String& characters, bool commit = true)
    {
        box.showEditor();
        auto* editor = box.getCurrentTextEditor();
        ASSERT_NE (editor, nullptr);

        for (auto c : characters)
            editor->keyPressed (characterKey (c));

        ASSERT_TRUE (box.isBeingEdited()) << "the entry closed while typing";
        editor->keyPressed (juce::KeyPress (commit ? juce::KeyPress::returnKey : juce::KeyPress::escapeKey));
        // The text editor hands Return and Escape to the label through its message queue.
        test::runMessageLoopUntil ([this] { return ! box.isBeingEdited(); }, 1000);
    }

    TextBoxSlider box;
    test::DesktopHolder window { box, 40, 24 };
    AnnouncedTexts announced { box };
};

TEST (TextBoxSlider, SnapsHalvesToEvenThenClampsIntoTheRange)
{
    TextBoxSlider box;
    box.setRange (0, 127, 1, 2);

    const std::pair<double, double> examples[] = { { 63.5, 64 }, { 62.5, 62 }, { 64.4, 64 }, { -7, 0 }, { 1000, 127 } };

    for (auto [given, shown] : examples)
    {
        box.setValue (given, juce::dontSendNotification);
        EXPECT_EQ (box.getValue(), shown) << given;
        EXPECT_EQ (box.getText(), juce::String ((int) shown)) << given;
    }

    box.setRange (1, 16, 1, 2);
    box.setValue (0, juce::dontSendNotification);
    EXPECT_EQ (box.getText(), "1");
    box.setValue (40, juce::dontSendNotification);
    EXPECT_EQ (box.getText(), "16");
}

TEST (TextBoxSlider, WritesUpToNineSignificantDigitsWithoutTrailingZeros)
{
    EXPECT_EQ (TextBoxSlider::formatNumber (64.0), "64");
    EXPECT_EQ (TextBoxSlider::formatNumber (0.5), "0.5");
    EXPECT_EQ (TextBoxSlider::formatNumber (-0.0), "0");
    EXPECT_EQ (TextBoxSlider::formatNumber (1.0 / 3.0), "0.333333333");
    EXPECT_EQ (TextBoxSlider::formatNumber (123456.125), "123456.125");

    TextBoxSlider box (0.3);
    box.setRange (0, 1, 0.25, 10);
    EXPECT_EQ (box.getText(), "0") << "setRange neither re-snaps nor re-displays";
    box.setValue (0.4, juce::dontSendNotification);
    EXPECT_EQ (box.getText(), "0.5");
}

TEST (TextBoxSlider, StartsWithTheDefaultRangeAndCentredEditableText)
{
    TextBoxSlider box (250);
    EXPECT_EQ (box.getValue(), 100.0);
    EXPECT_EQ (box.getMinimum(), 0.0);
    EXPECT_EQ (box.getInterval(), 1.0);
    EXPECT_EQ (box.getPixelsPerStep(), 10);
    EXPECT_TRUE (box.isEditableOnSingleClick());
    EXPECT_TRUE (box.isEditableOnDoubleClick());
    EXPECT_FALSE (box.doesLossOfFocusDiscardChanges());
    EXPECT_EQ (box.getJustificationType(), juce::Justification::centred);
}

TEST (TextBoxSlider, ToleratesANonPositiveIntervalAndStepDistance)
{
    TextBoxSlider box;
    box.setRange (0, 10, 0, 0);
    box.setValue (2.75, juce::dontSendNotification);
    EXPECT_EQ (box.getValue(), 2.75) << "no snapping without an interval";
    box.setValue (std::numeric_limits<double>::quiet_NaN(), juce::dontSendNotification);
    EXPECT_EQ (box.getText(), "0");
    box.setSize (30, 20);
    dragVertically (box, { 5, 10 }, -3);
    EXPECT_EQ (box.getValue(), 0.0) << "0 pixels per step counts as 1, interval 0 moves nothing";
}

TEST_F (ValueBoxFixture, DraggingUpRaisesTheValueOneStepPerTwoPixels)
{
    dragVertically (box, { 10, 12 }, -10);
    EXPECT_EQ (box.getText(), "69");
    EXPECT_EQ (announced.texts, juce::StringArray ("69"));

    dragVertically (box, { 10, 12 }, 200);
    EXPECT_EQ (box.getValue(), 0.0) << "a long drag down stops at the minimum";

    dragVertically (box, { 10, 12 }, -3);
    EXPECT_EQ (box.getText(), "2") << "1.5 steps round to the even 2";
    EXPECT_FALSE (box.isBeingEdited()) << "a drag opens no text entry";
}

TEST_F (ValueBoxFixture, EveryDragStepCountsFromWhereThePressWas)
{
    const juce::Point<float> start (10, 12);
    box.mouseDown (makeMouseEvent (box, start, test::leftButton(), start));

    for (int dy = -2; dy >= -8; dy -= 2)
        box.mouseDrag (makeMouseEvent (box, start.translated (0, (float) dy), test::leftButton(), start, true));

    box.mouseDrag (makeMouseEvent (box, start.translated (0, 4), test::leftButton(), start, true));
    EXPECT_EQ (announced.texts, juce::StringArray ({ "65", "66", "67", "68", "62" }));
}

TEST_F (ValueBoxFixture, ARightButtonDragLeavesTheValue)
{
    const juce::Point<float> start (10, 12);
    box.mouseDown (makeMouseEvent (box, start, test::rightButton(), start));
    box.mouseDrag (makeMouseEvent (box, start.translated (0, -20), test::rightButton(), start, true));
    static_cast<juce::Component&> (box).mouseUp (makeMouseEvent (box, start.translated (0, -20), test::rightButton(), start, true));
    EXPECT_EQ (box.getText(), "64");
    EXPECT_TRUE (announced.texts.isEmpty());
    EXPECT_FALSE (box.isBeingEdited());
}

TEST_F (ValueBoxFixture, AClickWithoutMovingOpensANumberBox)
{
    const juce::Point<float> at (10, 12);
    box.mouseDown (makeMouseEvent (box, at, test::leftButton(), at));
    static_cast<juce::Component&> (box).mouseUp (makeMouseEvent (box, at, juce::ModifierKeys(), at));

    auto* editor = dynamic_cast<NumberBox*> (box.getCurrentTextEditor());
    ASSERT_NE (editor, nullptr);
    EXPECT_EQ (editor->getText(), "64");
    EXPECT_EQ (editor->getFont().getHeight(), box.getFont().getHeight());
    EXPECT_EQ (editor->findColour (juce::TextEditor::backgroundColourId), juce::Colour (0x00000000));
    EXPECT_EQ (editor->findColour (juce::TextEditor::outlineColourId), juce::Colour (0x00000000));
    EXPECT_EQ (editor->findColour (juce::TextEditor::focusedOutlineColourId), juce::Colour (0x00000000));
    EXPECT_EQ (editor->findColour (juce::TextEditor::highlightColourId), juce::Colour (0xffffffff));
}

TEST_F (ValueBoxFixture, TypedEntriesAreFilteredSnappedAndClamped)
{
    const std::pair<const char*, const char*> examples[] = {
        { "+70", "70" }, { "7,5", "7" }, { "1.6", "2" }, { "-3", "0" }, { "300", "127" },
        { "++12", "12" }, { "-", "0" }, { "5-2", "5" }, { ".", "0" }, { "2.5.9", "2" }
    };

    for (auto [typed, shown] : examples)
    {
        box.setValue (50, juce::dontSendNotification);
        announced.texts.clear();
        type (typed);
        EXPECT_EQ (box.getText(), shown) << typed;
        EXPECT_FALSE (box.isBeingEdited()) << typed;
        EXPECT_EQ (announced.texts, juce::StringArray (shown)) << typed << ": announced once, with the final text";
    }
}

TEST_F (ValueBoxFixture, EscapeOrAnUnchangedEntryChangesNothingAndTellsNobody)
{
    type ("99", false);
    EXPECT_EQ (box.getText(), "64");

    type ("64");
    EXPECT_EQ (box.getText(), "64");
    EXPECT_TRUE (announced.texts.isEmpty());
}

TEST_F (ValueBoxFixture, ANewValueClosesAnOpenEntryAndDropsWhatWasTyped)
{
    box.showEditor();
    box.getCurrentTextEditor()->keyPressed (characterKey ('9'));
    box.setValue (3, juce::dontSendNotification);
    EXPECT_FALSE (box.isBeingEdited());
    EXPECT_EQ (box.getText(), "3");
    EXPECT_TRUE (announced.texts.isEmpty());
}

TEST (TextBoxSlider, FontFollowsTheHeightAndThePillOutlineUsesTheTextColour)
{
    TextBoxSlider box (7);
    box.setBounds (0, 0, 32, 24);
    EXPECT_FLOAT_EQ (box.getFont().getHeight(), 22.0f);
    box.setSize (19, 12);
    EXPECT_FLOAT_EQ (box.getFont().getHeight(), 10.0f);

    box.setSize (40, 20);
    box.setColour (juce::Label::textColourId, juce::Colour (0xffff0000));
    box.setText ({}, juce::dontSendNotification); // only the outline is drawn
    juce::Image image (juce::Image::ARGB, 40, 20, true);
    {
        juce::Graphics g (image);
        box.paintEntireComponent (g, true);
    }

    // The frame's straight top edge runs along y = 1; the rounded corners leave (1, 1) bare.
    EXPECT_EQ (image.getPixelAt (20, 1).getRed(), 255);
    EXPECT_EQ (image.getPixelAt (20, 1).getGreen(), 0);
    EXPECT_EQ (image.getPixelAt (1, 1).getAlpha(), 0);
    EXPECT_EQ (image.getPixelAt (20, 10).getRed(), image.getPixelAt (20, 10).getGreen()) << "inside stays unframed";
}

TEST (TextBoxSlider, ReadsTypedTextLikeTheBoxDoes)
{
    EXPECT_EQ (TextBoxSlider::parseTypedText ("+70"), 70.0);
    EXPECT_EQ (TextBoxSlider::parseTypedText ("7,5"), 7.0);
    EXPECT_EQ (TextBoxSlider::parseTypedText ("-.5"), -0.5);
    EXPECT_EQ (TextBoxSlider::parseTypedText ("12abc"), 12.0);
    EXPECT_EQ (TextBoxSlider::parseTypedText ("--3"), 0.0);
    EXPECT_EQ (TextBoxSlider::parseTypedText (""), 0.0);
    EXPECT_EQ (TextBoxSlider::parseTypedText ("+-4"), -4.0);
}

} // namespace
} // namespace brisquell
