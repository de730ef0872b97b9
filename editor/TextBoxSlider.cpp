#include "editor/TextBoxSlider.h"

#include "engine/Rounding.h"

#include <cmath>
#include <locale>
#include <sstream>

namespace brisquell
{

//==============================================================================
NumberBox::NumberBox()
    : juce::TextEditor (juce::String())
{
}

bool NumberBox::isAllowedKey (const juce::KeyPress& key)
{
    const auto character = key.getTextCharacter();

    if (character != 0 && juce::String (allowedCharacters).containsChar (character))
        return true;

    if (key.getKeyCode() == juce::KeyPress::returnKey && ! key.getModifiers().isAnyModifierKeyDown())
        return true;

    return key.getKeyCode() == 27;
}

bool NumberBox::keyPressed (const juce::KeyPress& key)
{
    if (isAllowedKey (key))
        juce::TextEditor::keyPressed (key);

    // Not claimed even when handled, so the parents see every key too. Return and Escape may
    // have closed (and deleted) this box by now: nothing of it is touched after the call.
    return false;
}

//==============================================================================
TextBoxSlider::TextBoxSlider (double initialValue)
    : juce::Label (juce::String(), juce::String())
{
    setEditable (true, true, false);
    setJustificationType (juce::Justification::centred);
    // The framework's 5-pixel side borders would leave a row's 19-pixel number cells 9 pixels
    // for the text, and a three-digit number would show as "...": the text may use everything
    // inside the outline.
    setBorderSize (juce::BorderSize<int> (1));
    setRange (0.0, 100.0, 1.0, 10);
    setValue (initialValue, juce::dontSendNotification);
}

TextBoxSlider::~TextBoxSlider() = default;

void TextBoxSlider::setRange (double newMinimum, double newMaximum, double newInterval, int newPixelsPerStep)
{
    minimum = newMinimum;
    maximum = newMaximum;
    interval = newInterval;
    pixelsPerStep = newPixelsPerStep;
}

void TextBoxSlider::setValue (double newValue, juce::NotificationType notification)
{
    // Unreadable numbers read as 0, as everywhere in the plug-in.
    auto snapped = std::isnan (newValue) ? 0.0 : newValue;

    if (interval > 0.0 && std::isfinite (interval) && std::isfinite (snapped))
        snapped = roundHalfEven (snapped / interval) * interval;

    if (snapped > maximum)
        snapped = maximum;

    if (snapped < minimum)
        snapped = minimum;

    value = snapped;

    // While a typed entry is being applied the label itself tells the listeners once the
    // commit is complete; telling them here as well would announce the same edit twice.
    setText (formatNumber (value), isApplyingTypedText ? juce::dontSendNotification : notification);
}

juce::String TextBoxSlider::formatNumber (double number)
{
    if (number == 0.0 || std::isnan (number))
        return "0"; // also for -0

    // Whole numbers of up to 9 digits, what the rows show, skip the stream: rows reload on every
    // model notification, many times a second while MIDI flows.
    if (std::abs (number) < 1.0e9 && number == std::floor (number))
        return juce::String ((juce::int64) number);

    std::ostringstream stream;
    stream.imbue (std::locale::classic());
    stream.precision (9);
    stream << number;
    return juce::String (stream.str());
}

double TextBoxSlider::parseTypedText (const juce::String& text)
{
    auto remaining = text;

    while (remaining.startsWithChar ('+'))
        remaining = remaining.substring (1);

    remaining = remaining.initialSectionContainingOnly ("0123456789.,-");

    // The number proper: an optional minus, digits, an optional "." and more digits.
    auto* p = remaining.toRawUTF8();
    juce::String number;
    bool hasDigits = false;

    if (*p == '-')
        number << *p++;

    while (*p >= '0' && *p <= '9')
    {
        number << *p++;
        hasDigits = true;
    }

    if (*p == '.')
    {
        number << *p++;

        while (*p >= '0' && *p <= '9')
        {
            number << *p++;
            hasDigits = true;
        }
    }

    return hasDigits ? number.getDoubleValue() : 0.0;
}

//==============================================================================
void TextBoxSlider::mouseDown (const juce::MouseEvent& event)
{
    dragStartValue = getText().getDoubleValue();
    juce::Label::mouseDown (event);
}

void TextBoxSlider::mouseDrag (const juce::MouseEvent& event)
{
    juce::Label::mouseDrag (event);

    // A right-button press opens the controller row's menu; moving the mouse on the way must
    // not change the value as well.
    if (event.mods.isPopupMenu())
        return;

    const auto dy = event.getDistanceFromDragStartY();
    setValue (dragStartValue - dy * interval / juce::jmax (1, pixelsPerStep), juce::sendNotificationSync);
}

void TextBoxSlider::paintOverChildren (juce::Graphics& g)
{
    const auto w = getWidth(), h = getHeight();
    g.setColour (findColour (juce::Label::textColourId, false));
    g.drawRoundedRectangle (1.0f, 1.0f, (float) (w - 2), (float) (h - 2), (float) ((h - 2) / 2), 1.0f);
}

void TextBoxSlider::resized()
{
    setFont (juce::Font ((float) (getHeight() - 2), juce::Font::plain));
    juce::Label::resized();
}

juce::TextEditor* TextBoxSlider::createEditorComponent()
{
    auto* box = new NumberBox();
    box->setSelectAllWhenFocused (true);
    box->setFont (getFont());
    box->setInputRestrictions (256, NumberBox::allowedCharacters);
    box->setColour (juce::TextEditor::backgroundColourId, juce::Colour (0x00000000));
    box->setColour (juce::TextEditor::outlineColourId, juce::Colour (0x00000000));
    box->setColour (juce::TextEditor::focusedOutlineColourId, juce::Colour (0x00000000));
    box->setColour (juce::TextEditor::highlightColourId, juce::Colour (0xffffffff));
    // Selected digits stay readable on the white highlight.
    box->setColour (juce::TextEditor::highlightedTextColourId, juce::Colour (0xff000000));
    return box;
}

void TextBoxSlider::textWasEdited()
{
    const juce::ScopedValueSetter<bool> applying (isApplyingTypedText, true);
    setValue (parseTypedText (getText()), juce::sendNotificationSync);
}

} // namespace brisquell
