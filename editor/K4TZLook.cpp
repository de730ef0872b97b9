// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/K4TZLook.h"

namespace brisquell
{

//==============================================================================
K4TZLook::K4TZLook()
    : juce::LookAndFeel_V4 (juce::LookAndFeel_V4::getLightColourScheme())
{
}

K4TZLook::~K4TZLook() = default;

void K4TZLook::drawScrollbarButton (juce::Graphics& g, juce::ScrollBar&, int width, int height, int, bool, bool isMouseOverButton, bool)
{
    const auto corner = (float) (juce::jmin (width, height) / 4);
    const juce::Rectangle<float> area (1.0f, 1.0f, (float) (width - 2), (float) (height - 2));

    if (isMouseOverButton)
        g.fillRoundedRectangle (area, corner);

    g.drawRoundedRectangle (area, corner, 1.0f);
}

void K4TZLook::drawScrollbar (juce::Graphics& g, juce::ScrollBar&, int x, int y, int width, int height, bool isScrollbarVertical, int thumbStartPosition, int thumbSize, bool isMouseOver, bool)
{
    if (thumbSize <= 0)
        return;

    const auto corner = (float) (juce::jmin (width, height) / 4);
    const auto thumb = isScrollbarVertical
                           ? juce::Rectangle<float> ((float) (x + 1), (float) (thumbStartPosition + 1), (float) (width - 2), (float) (thumbSize - 2))
                           : juce::Rectangle<float> ((float) (thumbStartPosition + 1), (float) (y + 1), (float) (thumbSize - 2), (float) (height - 2));

    if (isMouseOver)
        g.fillRoundedRectangle (thumb, corner);
    else
        g.drawRoundedRectangle (thumb, corner, 1.0f);
}

int K4TZLook::getMinimumScrollbarThumbSize (juce::ScrollBar&) { return minimumThumbSize; }
int K4TZLook::getDefaultScrollbarWidth() { return scrollbarWidth; }
int K4TZLook::getScrollbarButtonSize (juce::ScrollBar&) { return scrollbarButtonSize; }

void K4TZLook::drawTextEditorOutline (juce::Graphics& g, int width, int height, juce::TextEditor&)
{
    // On the pixel centres of the editor's outermost ring: one sharp pixel, none of it outside.
    const auto area = juce::Rectangle<float> ((float) width, (float) height).reduced (0.5f);
    g.drawRoundedRectangle (area, juce::jmin (area.getWidth(), area.getHeight()) * 0.5f, 1.0f);
}

void K4TZLook::drawPopupMenuBackground (juce::Graphics&, int, int)
{
}

void K4TZLook::drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator, bool, bool isHighlighted, bool isTicked, bool, const juce::String& text, const juce::String&, const juce::Drawable*, const juce::Colour*)
{
    const auto w = area.getWidth(), h = area.getHeight();
    const auto fw = (float) w, fh = (float) h;

    // The framework hands every paint call a context in opaque black; this item starts from it.
    g.setColour (juce::Colour (0xff000000));
    g.fillRect (0, 0, w, h);

    if (isSeparator)
        return;

    g.setColour (juce::Colour (isHighlighted ? 0xffd3d3d3 : 0xffffffff));
    g.fillRoundedRectangle (0.0f, 0.0f, fw, fh, (float) (h / 2));

    g.setColour (juce::Colour (0xff000000));
    g.drawRoundedRectangle (2.0f, 2.0f, fw - 4.0f, fh - 4.0f, (float) ((h - 2) / 2), 1.0f);
    g.drawEllipse (2.0f, 2.0f, fh - 4.0f, fh - 4.0f, 1.0f);

    if (isTicked)
        g.fillEllipse (4.0f, 4.0f, fh - 8.0f, fh - 8.0f);

    g.drawText (text, h + 10, 0, w, h, juce::Justification::left, true);
}

std::unique_ptr<juce::DropShadower> K4TZLook::createDropShadowerForComponent (juce::Component&)
{
    return nullptr;
}

//==============================================================================
struct SharedK4TZLook::Holder
{
    Holder()
    {
        juce::LookAndFeel::setDefaultLookAndFeel (&look);
    }

    ~Holder()
    {
        if (&juce::LookAndFeel::getDefaultLookAndFeel() == &look)
            juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
    }

    K4TZLook look;
};

static int numLookHolders = 0;

SharedK4TZLook::SharedK4TZLook()
{
    JUCE_ASSERT_MESSAGE_THREAD
    ++numLookHolders;
}

SharedK4TZLook::~SharedK4TZLook()
{
    --numLookHolders;
}

K4TZLook& SharedK4TZLook::get() const noexcept
{
    return holder->look;
}

int SharedK4TZLook::getNumHolders() noexcept
{
    return numLookHolders;
}

} // namespace brisquell
