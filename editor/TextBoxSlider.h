// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace brisquell
{

//==============================================================================
/** The text entry a TextBoxSlider opens for typing a number. It lets only digits, the signs,
    the decimal marks, Return (without modifiers) and Escape through to the text editor; every
    other key is swallowed without changing the box. Each key, handled or not, is still offered
    to the parent components, as keyPressed always answers false.
*/
class NumberBox final : public juce::TextEditor
{
public:
    /** The characters a number may be typed with. */
    static constexpr const char* allowedCharacters = "0123456789.,-+";

    NumberBox();

    //==============================================================================
    /** Hands the key to the text editor only when it is allowed; always answers false.
        Message thread.
    */
    bool keyPressed (const juce::KeyPress& key) override;

    /** True when the key may reach the text editor. */
    static bool isAllowedKey (const juce::KeyPress& key);

    /** The first focus selects the whole text (see TextBoxSlider), so that typing replaces it;
        a later one (the window's focus back from the host's) keeps what was typed so far.
    */
    void focusGained (juce::Component::FocusChangeType cause) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (NumberBox)
};

//==============================================================================
/** A label that shows one number and works like a slider: dragging it vertically changes the
    number by one interval per pixelsPerStep pixels (up raises it), and a click opens a NumberBox
    for typing. Every value is snapped to the interval and clamped to the range, and shown with
    up to 9 significant digits and no trailing zeros. A pill-shaped outline in the label's text
    colour frames it, along the box's outermost pixels, and the font is the largest (up to the
    box's height - 2) at which every value the range holds lies wholly inside that outline.

    Listeners are the label's own (Label::Listener::labelTextChanged): they hear of a drag step
    or a typed entry that changed the text, once per change. Message thread only.
*/
class TextBoxSlider final : public juce::Label
{
public:
    /** Shows the initial value, snapped and clamped to the default range 0..100 in steps of 1,
        10 pixels per step.
    */
    explicit TextBoxSlider (double initialValue = 0.0);
    ~TextBoxSlider() override;

    /** Stores the range, the interval and the drag distance per step, and fits the font to the
        range's widest values. The shown value is left as it is until the next setValue. An
        interval that is not positive switches snapping off; a pixelsPerStep below 1 counts as 1.
        A drag moves the value by dragStep per pixelsPerStep pixels: by the interval when
        dragStep is not positive (the default), so a wide range can be crossed in as few pixels
        as a narrow one while typing still reaches every value.
    */
    void setRange (double newMinimum, double newMaximum, double newInterval, int newPixelsPerStep, double dragStep = 0.0);

    /** Snaps the number to the interval (halves to even), clamps it into the range, stores it and
        shows it. With a notification, the listeners hear of it when the text changed.
    */
    void setValue (double newValue, juce::NotificationType notification);

    /** The current value, always snapped and clamped. */
    double getValue() const noexcept { return value; }

    double getMinimum() const noexcept { return minimum; }
    double getMaximum() const noexcept { return maximum; }
    double getInterval() const noexcept { return interval; }
    int getPixelsPerStep() const noexcept { return pixelsPerStep; }

    /** A number as the box writes it: up to 9 significant digits, no trailing zeros, no decimal
        point for whole numbers, "." as the decimal point whatever the locale.
    */
    static juce::String formatNumber (double number);

    /** What a typed text stands for: leading "+" signs dropped, the longest beginning made of
        digits, ".", "," and "-" read as a decimal number (reading stops at the first character
        that cannot continue it); an empty or unreadable text gives 0.
    */
    static double parseTypedText (const juce::String& text);

    //==============================================================================
    /** Remember the value where a drag starts / follow the drag. Message thread. */
    void mouseDown (const juce::MouseEvent& event) override;
    void mouseDrag (const juce::MouseEvent& event) override;

    /** Draws the pill-shaped outline in the text colour. */
    void paintOverChildren (juce::Graphics& g) override;

    /** Fits the font to the box's size (see fitFontHeight). */
    void resized() override;

    /** The texts whose shapes bound every value the range can show: the range's ends and, for
        whole-number steps, as many of the font's widest digit as the longest end has (with the
        sign where the range goes below 0).
    */
    static juce::StringArray getWidestTexts (double minimum, double maximum, double interval, const juce::Font& font);

    /** The largest font height, from height - 2 down in quarter steps, at which each of the
        texts, drawn centred as the box draws it, lies inside the outline of a box of that size
        with half a pixel to spare. 1 when none does.
    */
    static float fitFontHeight (const juce::StringArray& texts, int width, int height);

protected:
    //==============================================================================
    juce::TextEditor* createEditorComponent() override;
    void textWasEdited() override;

    /** Typed text is taken on Return or when the focus goes to another part of the editor, not
        with each key: a label takes its entry's text at every change while the entry lacks the
        keyboard focus, which is how keys reach it in a host that keeps the focus.
    */
    void textEditorTextChanged (juce::TextEditor&) override;

    /** The focus given away within the editor's window takes what was typed, as a label does;
        the window's focus gone (to the host's window, which may hand the keys on) leaves the
        entry open as it was.
    */
    void textEditorFocusLost (juce::TextEditor& entry) override;

private:
    int pixelsPerStep = 10;
    double dragStartValue = 0.0;
    double value = 0.0;
    double minimum = 0.0;
    double maximum = 100.0;
    double interval = 1.0;
    double dragStep = 0.0;
    bool isApplyingTypedText = false;

    void fitFont();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TextBoxSlider)
};

} // namespace brisquell
