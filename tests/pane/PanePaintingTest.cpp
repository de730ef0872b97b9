// SPDX-License-Identifier: GPL-3.0-or-later
#include "MorphPaneFixture.h"

namespace brisquell
{
namespace
{

using namespace test;

bool isRed (juce::Colour c) { return c.getAlpha() > 200 && c.getRed() > 200 && c.getGreen() < 80 && c.getBlue() < 80; }
bool isBlack (juce::Colour c) { return c.getAlpha() > 200 && c.getBrightness() < 0.2f; }
bool isWhite (juce::Colour c) { return c.getAlpha() > 200 && c.getRed() > 230 && c.getGreen() > 230 && c.getBlue() > 230; }

int countPixels (const juce::Image& image, juce::Rectangle<int> area, bool (*test) (juce::Colour))
{
    int n = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            n += test (image.getPixelAt (x, y)) ? 1 : 0;

    return n;
}

using PanePainting = MorphPaneFixture;

TEST_F (PanePainting, ScenesAreBlackDiscsRingedRedWhenSelectedAndTheCursorIsACrossHair)
{
    addScene (20.0f, 20.0f);
    addScene (120.0f, 20.0f);
    open();
    model.getCursor().setPosition (250.0f, 150.0f);
    settle();
    ASSERT_TRUE (view (1).isSelected());
    ASSERT_FALSE (view (0).isSelected());

    const auto image = pane->createComponentSnapshot (pane->getLocalBounds());

    // The discs' labels are white in the middle; above them the discs are black.
    const auto unselected = view (0).getBounds(), selected = view (1).getBounds();
    EXPECT_TRUE (isBlack (image.getPixelAt (unselected.getCentreX(), unselected.getY() + 12)));
    EXPECT_TRUE (isBlack (image.getPixelAt (selected.getCentreX(), selected.getY() + 12)));
    EXPECT_EQ (countPixels (image, unselected, isRed), 0);
    EXPECT_GT (countPixels (image, selected, isRed), 60);
    EXPECT_TRUE (isRed (image.getPixelAt (selected.getCentreX(), selected.getY())));

    // The cross hair spans the cursor's view; the white ring lies 5 pixels inside its edge.
    const auto c = cursorView->getBounds();
    EXPECT_TRUE (isBlack (image.getPixelAt (c.getX() + 25, c.getY() + 1)));
    EXPECT_TRUE (isBlack (image.getPixelAt (c.getX() + 1, c.getY() + 25)));
    EXPECT_TRUE (isBlack (image.getPixelAt (c.getX() + 25, c.getY() + 25)));
    EXPECT_TRUE (isWhite (image.getPixelAt (c.getX() + 25, c.getY() + 5)));
    EXPECT_EQ (image.getPixelAt (c.getX() + 3, c.getY() + 3).getAlpha(), 0);

    // The border over everything, and the origin mark in the top-left corner.
    EXPECT_TRUE (isBlack (image.getPixelAt (200, 0)));
    EXPECT_TRUE (isBlack (image.getPixelAt (0, 150)));
    EXPECT_EQ (image.getPixelAt (200, 150).getAlpha(), 0);
}

TEST_F (PanePainting, TheCrossHairStaysVisibleOnASceneAndOnItsRedRing)
{
    // Scenes keyed at the cursor lie exactly under it: one selected, one not.
    addScene (100.0f, 100.0f);
    addScene (160.0f, 100.0f);
    open();
    pane->selectItem (0, true);
    settle();
    ASSERT_TRUE (view (0).isSelected());
    ASSERT_FALSE (view (1).isSelected());

    for (auto x : { 100.0f, 160.0f })
    {
        model.getCursor().setPosition (x, 100.0f);
        settle();
        const auto image = pane->createComponentSnapshot (pane->getLocalBounds());
        const auto c = cursorView->getBounds();
        ASSERT_EQ (c, view (x == 100.0f ? 0 : 1).getBounds());

        // On the disc, between its label and the white ring: the vertical line is black with
        // white on either side, and the disc black beyond that. The same for the horizontal.
        for (int along = 11; along <= 16; ++along)
        {
            EXPECT_TRUE (isBlack (image.getPixelAt (c.getX() + 24, c.getY() + along))) << along;
            EXPECT_TRUE (isBlack (image.getPixelAt (c.getX() + 25, c.getY() + along))) << along;
            EXPECT_TRUE (isWhite (image.getPixelAt (c.getX() + 23, c.getY() + along))) << along;
            EXPECT_TRUE (isWhite (image.getPixelAt (c.getX() + 26, c.getY() + along))) << along;
            EXPECT_TRUE (isBlack (image.getPixelAt (c.getX() + 21, c.getY() + along))) << along;

            EXPECT_TRUE (isBlack (image.getPixelAt (c.getX() + along, c.getY() + 25))) << along;
            EXPECT_TRUE (isWhite (image.getPixelAt (c.getX() + along, c.getY() + 23))) << along;
            EXPECT_TRUE (isWhite (image.getPixelAt (c.getX() + along, c.getY() + 26))) << along;
        }
    }

    // Where the line crosses the selected scene's red ring, at the disc's top edge.
    model.getCursor().setPosition (100.0f, 100.0f);
    settle();
    const auto image = pane->createComponentSnapshot (pane->getLocalBounds());
    const auto c = cursorView->getBounds();
    EXPECT_TRUE (isBlack (image.getPixelAt (c.getX() + 25, c.getY())));
    EXPECT_TRUE (isWhite (image.getPixelAt (c.getX() + 23, c.getY())));
    EXPECT_TRUE (isWhite (image.getPixelAt (c.getX() + 26, c.getY())));
    EXPECT_TRUE (isRed (image.getPixelAt (c.getX() + 29, c.getY())));
    EXPECT_TRUE (isRed (image.getPixelAt (c.getX() + 21, c.getY())));
}

} // namespace
} // namespace brisquell
