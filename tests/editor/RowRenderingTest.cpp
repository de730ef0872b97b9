// SPDX-License-Identifier: GPL-3.0-or-later
// A controller row rendered at the list's 108 x 24 pixels, checked pixel by pixel: every value a
// box can show lies inside its outline, no outline is cut or merged with another line, and no
// text is squeezed or shortened.
#include "ModelHelpers.h"
#include "editor/ControllerList.h"
#include "editor/K4TZLook.h"

#include <gtest/gtest.h>

namespace brisquell
{
namespace
{

bool isDark (juce::Colour c) { return c.getAlpha() > 200 && c.getBrightness() < 0.35f; }
bool isWhite (juce::Colour c) { return c.getAlpha() > 200 && c.getBrightness() > 0.95f; }

/** The width of the text's ink, laid out on one line at its natural width. Drawn, its
    antialiased edges may add up to a partial pixel on either side.
*/
float naturalInkWidth (const juce::Font& font, const juce::String& text)
{
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, text, 0.0f, 0.0f);
    juce::Path ink;
    glyphs.createPath (ink);
    return ink.getBounds().getWidth();
}

/** True when the pixel's centre lies inside the pill that fills the area. */
bool isInsidePill (juce::Rectangle<float> area, int x, int y)
{
    const auto radius = juce::jmin (area.getWidth(), area.getHeight()) * 0.5f;
    const auto centre = area.getCentre();
    const auto halfSpine = area.getWidth() >= area.getHeight() ? juce::Point<float> (area.getWidth() * 0.5f - radius, 0.0f)
                                                               : juce::Point<float> (0.0f, area.getHeight() * 0.5f - radius);
    juce::Point<float> nearest;
    return juce::Line<float> (centre - halfSpine, centre + halfSpine).getDistanceFromPoint ({ (float) x + 0.5f, (float) y + 0.5f }, nearest) <= radius;
}

struct RowRendering : public ::testing::Test
{
    RowRendering()
    {
        model.setAutoKey (false);
        controller = model.addController (127, 16);
        scene = test::addSceneAt (model, 0, 0);
        model.deliverPendingNotifications();
        row = std::make_unique<ControllerGUI> (*controller, model);
        row->setBounds (0, 0, 108, 24);
    }

    /** The row's pixels as the list shows them, with the controller holding the value. */
    juce::Image renderRow (int value, const juce::String& name = "127")
    {
        controller->setValueInScene (value, *scene);
        controller->setName (name);
        row->refresh();
        return row->createComponentSnapshot (row->getLocalBounds());
    }

    /** The box as drawn with its text, and with none: the pixels that differ are the text's. */
    void expectTextInsideOutline (TextBoxSlider& box)
    {
        const auto text = box.getText();
        const auto withText = box.createComponentSnapshot (box.getLocalBounds());
        box.setText ({}, juce::dontSendNotification);
        const auto outlineOnly = box.createComponentSnapshot (box.getLocalBounds());
        box.setText (text, juce::dontSendNotification);

        // Inside the outline: the box less its outermost ring, where the outline lies.
        const auto inside = box.getLocalBounds().toFloat().reduced (1.0f);
        auto ink = juce::Rectangle<int>();

        for (int y = 0; y < box.getHeight(); ++y)
            for (int x = 0; x < box.getWidth(); ++x)
                if (withText.getPixelAt (x, y) != outlineOnly.getPixelAt (x, y))
                {
                    ASSERT_TRUE (isInsidePill (inside, x, y)) << "\"" << text << "\" touches its outline at (" << x << ", " << y << ") of "
                                                              << box.getWidth() << " x " << box.getHeight();
                    ink = ink.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1) : ink.getUnion ({ x, y, 1, 1 });
                }

        // Drawn whole: neither squeezed nor cut short to "...".
        EXPECT_GE ((float) ink.getWidth(), naturalInkWidth (box.getFont(), text) - 0.5f) << "\"" << text << "\"";
    }

    SharedK4TZLook look;
    Brisquell model;
    Controller* controller = nullptr;
    Scene* scene = nullptr;
    std::unique_ptr<ControllerGUI> row;
};

TEST_F (RowRendering, EveryValueEachBoxCanShowLiesInsideItsOutline)
{
    renderRow (0);

    for (auto* box : { &row->getValueBox(), &row->getChannelBox(), &row->getCcNumberBox() })
    {
        for (auto value = (int) box->getMinimum(); value <= (int) box->getMaximum(); ++value)
        {
            box->setValue (value, juce::dontSendNotification);
            expectTextInsideOutline (*box);

            if (HasFatalFailure())
                return;
        }
    }

    // The value keeps a size to read from a distance.
    EXPECT_GE (row->getValueBox().getFont().getHeight(), 14.0f);
    EXPECT_GE (row->getCcNumberBox().getFont().getHeight(), 6.5f);
}

TEST_F (RowRendering, OutlinesAreWholeAndApartFromTheRowsOwnAndEachOther)
{
    const auto image = renderRow (127);

    // The row's outline on its outermost pixels, then a white ring inside it.
    for (int x = 3; x < 105; ++x)
    {
        EXPECT_TRUE (isDark (image.getPixelAt (x, 0))) << x;
        EXPECT_TRUE (isDark (image.getPixelAt (x, 23))) << x;
        EXPECT_TRUE (isWhite (image.getPixelAt (x, 1))) << "between the row's outline and the boxes' at x " << x;
        EXPECT_TRUE (isWhite (image.getPixelAt (x, 22))) << x;
    }

    const auto& name = row->getNameEditor();
    std::vector<juce::Rectangle<int>> outlined{ row->getValueBox().getBounds(), name.getBounds(), row->getChannelBox().getBounds(), row->getCcNumberBox().getBounds() };

    for (auto& box : outlined)
    {
        // Each outline's straight top and bottom edges are whole lines on the box's outermost
        // pixels, with white on the far side of them.
        const auto straightStart = box.getX() + box.getHeight() / 2, straightEnd = box.getRight() - box.getHeight() / 2;
        ASSERT_LT (straightStart, straightEnd) << box.toString();

        for (int x = straightStart; x < straightEnd; ++x)
        {
            EXPECT_TRUE (isDark (image.getPixelAt (x, box.getY()))) << "the top edge of " << box.toString() << " at x " << x;
            EXPECT_TRUE (isDark (image.getPixelAt (x, box.getBottom() - 1))) << "the bottom edge of " << box.toString() << " at x " << x;
            EXPECT_TRUE (isWhite (image.getPixelAt (x, box.getY() - 1))) << "above " << box.toString() << " at x " << x;
            EXPECT_TRUE (isWhite (image.getPixelAt (x, box.getBottom()))) << "below " << box.toString() << " at x " << x;
            EXPECT_FALSE (isDark (image.getPixelAt (x, box.getY() + 1))) << "a single line at " << box.toString();
        }
    }

    EXPECT_TRUE (name.getBounds().getBottom() < row->getChannelBox().getY()) << "the name above the numbers, apart";
    EXPECT_GE (row->getChannelBox().getX(), row->getChannelLabel().getRight());
}

TEST_F (RowRendering, LabelsAndAShortNameAreDrawnWhole)
{
    const auto image = renderRow (64, "gain");

    for (auto* label : { &row->getChannelLabel(), &row->getCcLabel() })
    {
        const auto cell = label->getBounds();
        auto ink = juce::Rectangle<int>();

        for (int y = cell.getY(); y < cell.getBottom(); ++y)
            for (int x = cell.getX(); x < cell.getRight(); ++x)
                if (! isWhite (image.getPixelAt (x, y)))
                    ink = ink.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1) : ink.getUnion ({ x, y, 1, 1 });

        EXPECT_GE ((float) ink.getWidth(), naturalInkWidth (label->getFont(), label->getText()) - 0.5f) << label->getText() << " unsqueezed";
        EXPECT_GT (ink.getX(), cell.getX() - 1);
        EXPECT_LT (ink.getRight(), cell.getRight() + 1);
    }

    // The name's descender ("g") stays above its outline's bottom edge.
    const auto& name = row->getNameEditor();
    const auto bottomEdge = name.getBottom() - 1;

    for (int x = name.getX() + name.getHeight(); x < name.getRight() - name.getHeight(); ++x)
        EXPECT_TRUE (isDark (image.getPixelAt (x, bottomEdge))) << x;

    auto inkBottom = 0;

    for (int y = name.getY() + 1; y < bottomEdge; ++y)
        for (int x = name.getX() + name.getHeight(); x < name.getRight() - name.getHeight(); ++x)
            if (isDark (image.getPixelAt (x, y)))
                inkBottom = y;

    EXPECT_GT (inkBottom, name.getY() + name.getHeight() / 2) << "the name is drawn";
    EXPECT_LT (inkBottom, bottomEdge);
}

} // namespace
} // namespace brisquell
