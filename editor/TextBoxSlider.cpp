// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/TextBoxSlider.h"

#include "engine/Rounding.h"

#include <cmath>
#include <locale>
#include <map>
#include <sstream>
#include <tuple>

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

void NumberBox::focusGained (juce::Component::FocusChangeType cause)
{
    juce::TextEditor::focusGained (cause);
    setSelectAllWhenFocused (false);
}

//==============================================================================
TextBoxSlider::TextBoxSlider (double initialValue)
    : juce::Label (juce::String(), juce::String())
{
    setEditable (true, true, false);
    setJustificationType (juce::Justification::centred);
    // The framework's 5-pixel side borders would leave a row's number cells a few pixels for
    // the text, and a three-digit number would show as "...": the text may use everything
    // inside the outline, and the font is chosen so that it needs no more.
    setBorderSize (juce::BorderSize<int> (1));
    // Laid out at its own width, as fitFontHeight measured it: a number squeezed to fit would
    // reach beyond the room measured for it.
    setMinimumHorizontalScale (1.0f);
    setRange (0.0, 100.0, 1.0, 10);
    setValue (initialValue, juce::dontSendNotification);
}

TextBoxSlider::~TextBoxSlider() = default;

void TextBoxSlider::setRange (double newMinimum, double newMaximum, double newInterval, int newPixelsPerStep, double newDragStep)
{
    minimum = newMinimum;
    maximum = newMaximum;
    interval = newInterval;
    dragStep = newDragStep;
    pixelsPerStep = newPixelsPerStep;
    fitFont();
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
    const auto step = dragStep > 0.0 ? dragStep : interval;
    setValue (dragStartValue - dy * step / juce::jmax (1, pixelsPerStep), juce::sendNotificationSync);
}

void TextBoxSlider::paintOverChildren (juce::Graphics& g)
{
    // On the pixel centres of the outermost ring, so that the line is one sharp pixel wide.
    const auto area = getLocalBounds().toFloat().reduced (0.5f);
    g.setColour (findColour (juce::Label::textColourId, false));
    g.drawRoundedRectangle (area, juce::jmin (area.getWidth(), area.getHeight()) * 0.5f, 1.0f);
}

void TextBoxSlider::resized()
{
    fitFont();
    juce::Label::resized();
}

void TextBoxSlider::fitFont()
{
    const auto texts = getWidestTexts (minimum, maximum, interval, juce::Font (10.0f));

    // Rows are made anew on every list update: the answer for a size and range is kept.
    using Key = std::tuple<int, int, juce::String>;
    static std::map<Key, float> fitted;
    const Key key{ getWidth(), getHeight(), texts.joinIntoString ("|") };
    auto found = fitted.find (key);

    if (found == fitted.end())
    {
        if (fitted.size() > 256)
            fitted.clear();

        found = fitted.emplace (key, fitFontHeight (texts, getWidth(), getHeight())).first;
    }

    setFont (juce::Font (found->second, juce::Font::plain));
}

juce::StringArray TextBoxSlider::getWidestTexts (double min, double max, double step, const juce::Font& font)
{
    juce::StringArray texts{ formatNumber (min), formatNumber (max) };

    const auto isWhole = [] (double x)
    { return std::isfinite (x) && std::abs (x) < 1.0e9 && x == std::floor (x); };

    if (isWhole (min) && isWhole (max) && isWhole (step))
    {
        juce::juce_wchar widest = '0';

        for (juce::juce_wchar digit = '1'; digit <= '9'; ++digit)
            if (font.getStringWidthFloat (juce::String::charToString (digit)) > font.getStringWidthFloat (juce::String::charToString (widest)))
                widest = digit;

        for (auto end : { min, max })
        {
            const auto numDigits = formatNumber (std::abs (end)).length();
            texts.add ((end < 0.0 ? "-" : "") + juce::String::repeatedString (juce::String::charToString (widest), numDigits));
        }
    }

    texts.removeDuplicates (false);
    return texts;
}

namespace
{
/** True when the glyphs are the text's characters, none cut off: a text too wide for its box is
    shortened to end in "...", which may leave as many glyphs as it had characters.
*/
bool isWhole (juce::GlyphArrangement& glyphs, const juce::String& text)
{
    if (glyphs.getNumGlyphs() != text.length())
        return false;

    for (int i = 0; i < glyphs.getNumGlyphs(); ++i)
        if (glyphs.getGlyph (i).getCharacter() != text[i])
            return false;

    return true;
}
} // namespace

float TextBoxSlider::fitFontHeight (const juce::StringArray& texts, int width, int height)
{
    // The outline's inside: a pill one pixel in from the box's edges, less half a pixel of
    // white between the outline and the text.
    const auto inside = juce::Rectangle<float> ((float) width, (float) height).reduced (1.5f);
    const auto radius = juce::jmin (inside.getWidth(), inside.getHeight()) * 0.5f;

    if (radius <= 0.0f)
        return 1.0f;

    const auto isInside = [&] (juce::Point<float> p)
    {
        // The distance to the pill's spine, the segment between its two round ends' centres.
        const auto isWide = inside.getWidth() >= inside.getHeight();
        const auto spineStart = inside.getCentre() - (isWide ? juce::Point<float> (inside.getWidth() * 0.5f - radius, 0.0f) : juce::Point<float> (0.0f, inside.getHeight() * 0.5f - radius));
        const auto spineEnd = inside.getCentre() * 2.0f - spineStart;
        const juce::Line<float> spine (spineStart, spineEnd);
        juce::Point<float> nearest;
        return spine.getDistanceFromPoint (p, nearest) <= radius;
    };

    const auto fits = [&] (float fontHeight)
    {
        const juce::Font font (fontHeight, juce::Font::plain);
        const auto textArea = juce::Rectangle<float> (1.0f, 1.0f, (float) width - 2.0f, (float) height - 2.0f);

        for (auto& text : texts)
        {
            // Laid out as the label draws it (see LookAndFeel_V2::drawLabel).
            juce::GlyphArrangement glyphs;
            glyphs.addFittedText (font, text, textArea.getX(), textArea.getY(), textArea.getWidth(), textArea.getHeight(), juce::Justification::centred, juce::jmax (1, (int) (textArea.getHeight() / font.getHeight())), 1.0f);
            juce::Path outline;
            glyphs.createPath (outline);
            const auto ink = outline.getBounds();

            if (! isWhole (glyphs, text) || ! isInside (ink.getTopLeft()) || ! isInside (ink.getTopRight())
                || ! isInside (ink.getBottomLeft()) || ! isInside (ink.getBottomRight()))
                return false;
        }

        return true;
    };

    // The largest height on a quarter-pixel grid that fits: fitting only gets easier as the
    // font shrinks, so a binary search finds it.
    auto low = 4, high = juce::jmax (4, (height - 2) * 4);

    if (! fits ((float) low / 4.0f))
        return 1.0f;

    while (low < high)
    {
        const auto middle = (low + high + 1) / 2;

        if (fits ((float) middle / 4.0f))
            low = middle;
        else
            high = middle - 1;
    }

    return (float) low / 4.0f;
}

void TextBoxSlider::textEditorTextChanged (juce::TextEditor&)
{
}

void TextBoxSlider::textEditorFocusLost (juce::TextEditor& entry)
{
    const auto* peer = entry.getPeer();

    if (peer == nullptr || peer->isFocused())
        juce::Label::textEditorTextChanged (entry);
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
