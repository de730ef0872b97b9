// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/K4TZLook.h"

#include <gtest/gtest.h>

namespace brisquell
{
namespace
{

constexpr juce::uint32 white = 0xffffffff, lightGrey = 0xffd3d3d3, black = 0xff000000;

/** Paints one pop-up menu item of the look into a fresh transparent image. */
juce::Image paintMenuItem (bool isSeparator, bool isHighlighted, bool isTicked, int h = 24)
{
    K4TZLook look;
    juce::Image image (juce::Image::ARGB, 120, h, true);
    juce::Graphics g (image);
    look.drawPopupMenuItem (g, { 0, 0, 120, h }, isSeparator, true, isHighlighted, isTicked, false, "add scene", "Ctrl+A", nullptr, nullptr);
    return image;
}

juce::uint32 argbAt (const juce::Image& image, int x, int y) { return image.getPixelAt (x, y).getARGB(); }

TEST (K4TZLook, MenuItemsArePillsWithACircleThatTickedItemsFill)
{
    const auto item = paintMenuItem (false, false, false);
    EXPECT_EQ (argbAt (item, 0, 0), black) << "the item's corner keeps the black ground";
    EXPECT_EQ (argbAt (item, 100, 12), white);
    EXPECT_NE (argbAt (item, 60, 2), white) << "the frame";
    EXPECT_EQ (argbAt (item, 12, 12), white) << "an unticked circle is empty";
    EXPECT_NE (argbAt (item, 12, 2), white) << "the circle";

    EXPECT_EQ (argbAt (paintMenuItem (false, true, false), 100, 12), lightGrey) << "highlighted";
    EXPECT_EQ (argbAt (paintMenuItem (false, false, true), 12, 12), black) << "ticked";

    const auto separator = paintMenuItem (true, false, false, 7);
    EXPECT_EQ (argbAt (separator, 60, 3), black);
    EXPECT_EQ (argbAt (separator, 119, 6), black);

    K4TZLook look;
    juce::Component menuWindow;
    EXPECT_EQ (look.createDropShadowerForComponent (menuWindow), nullptr) << "no window gets a drop shadow";
}

/** Paints a real vertical scroll bar of the look, 12 pixels wide, showing a tenth of its range. */
juce::Image paintScrollBar (int length, bool isMouseOver = false)
{
    K4TZLook look;
    juce::ScrollBar bar (true);
    bar.setLookAndFeel (&look);
    bar.setBounds (0, 0, 12, length);
    bar.setRangeLimits (0.0, 100.0);
    bar.setCurrentRange (0.0, 10.0);
    bar.setAutoHide (false);
    juce::Image image (juce::Image::ARGB, 12, length, true);

    if (isMouseOver)
    {
        juce::Graphics g (image);
        look.drawScrollbar (g, bar, 0, 0, 12, length, true, 0, 20, true, false);
    }
    else
    {
        juce::Graphics g (image);
        bar.paintEntireComponent (g, true);
    }

    bar.setLookAndFeel (nullptr);
    return image;
}

bool isBlank (const juce::Image& image)
{
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt (x, y).getAlpha() != 0)
                return false;

    return true;
}

TEST (K4TZLook, ScrollBarsShowAnOutlinedThumbOnlyWhenItsAreaIsLongerThanEightPixels)
{
    const auto bar = paintScrollBar (200);
    EXPECT_GT (bar.getPixelAt (6, 1).getAlpha(), 100) << "the thumb's outline";
    EXPECT_EQ (bar.getPixelAt (6, 10).getAlpha(), 0) << "an outline, not a fill";
    EXPECT_EQ (bar.getPixelAt (6, 100).getAlpha(), 0) << "no track";
    EXPECT_EQ (argbAt (paintScrollBar (200, true), 6, 10), black) << "filled under the mouse";

    EXPECT_TRUE (isBlank (paintScrollBar (8)));
}

TEST (SharedK4TZLook, IsTheDefaultWhileHeldAndLeavesNoDanglingDefault)
{
    ASSERT_EQ (dynamic_cast<K4TZLook*> (&juce::LookAndFeel::getDefaultLookAndFeel()), nullptr);

    {
        auto first = std::make_unique<SharedK4TZLook>();
        auto* look = &first->get();
        EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), look);

        {
            SharedK4TZLook second;
            EXPECT_EQ (&second.get(), look) << "one look for the process";
        }

        EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), look) << "still held by the first";
    }

    EXPECT_EQ (SharedK4TZLook::getNumHolders(), 0);
    EXPECT_EQ (dynamic_cast<K4TZLook*> (&juce::LookAndFeel::getDefaultLookAndFeel()), nullptr);
}

} // namespace
} // namespace brisquell
