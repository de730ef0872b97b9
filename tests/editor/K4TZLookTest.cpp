#include "editor/K4TZLook.h"

#include <gtest/gtest.h>

namespace brisquell
{
namespace
{

constexpr juce::uint32 white = 0xffffffff, lightGrey = 0xffd3d3d3, black = 0xff000000;

/** Paints one pop-up menu item of the look into a fresh transparent image. */
juce::Image paintMenuItem (bool isSeparator, bool isHighlighted, bool isTicked, int w = 120, int h = 24)
{
    K4TZLook look;
    juce::Image image (juce::Image::ARGB, w, h, true);
    juce::Graphics g (image);
    look.drawPopupMenuItem (g, { 0, 0, w, h }, isSeparator, true, isHighlighted, isTicked, false,
                            "add scene", "Ctrl+A", nullptr, nullptr);
    return image;
}

juce::uint32 argbAt (const juce::Image& image, int x, int y) { return image.getPixelAt (x, y).getARGB(); }

TEST (K4TZLook, ReportsSmallerScrollBarsThanTheFramework)
{
    K4TZLook look;
    juce::ScrollBar bar (true);
    bar.setSize (30, 200);
    EXPECT_EQ (look.getDefaultScrollbarWidth(), 12);
    EXPECT_EQ (look.getMinimumScrollbarThumbSize (bar), 8);
    EXPECT_EQ (look.getScrollbarButtonSize (bar), 8);
}

TEST (K4TZLook, MenuItemsAreWhitePillsWithAFrameAndACircle)
{
    const auto item = paintMenuItem (false, false, false);
    EXPECT_EQ (argbAt (item, 0, 0), black) << "the item's corner keeps the black ground";
    EXPECT_EQ (argbAt (item, 60, 0), white);
    EXPECT_EQ (argbAt (item, 100, 12), white);
    EXPECT_NE (argbAt (item, 60, 2), white) << "the frame runs along y = 2";
    EXPECT_EQ (argbAt (item, 12, 12), white) << "an unticked circle is empty";
    EXPECT_NE (argbAt (item, 12, 2), white) << "the circle's top";
}

TEST (K4TZLook, HighlightedItemsAreLightGreyAndTickedOnesHaveADot)
{
    EXPECT_EQ (argbAt (paintMenuItem (false, true, false), 100, 12), lightGrey);
    EXPECT_EQ (argbAt (paintMenuItem (false, false, true), 12, 12), black);
    EXPECT_EQ (argbAt (paintMenuItem (false, false, true), 100, 12), white);
}

TEST (K4TZLook, ASeparatorIsABlackBand)
{
    const auto separator = paintMenuItem (true, false, false, 120, 7);

    for (auto [x, y] : { std::pair { 0, 0 }, { 60, 3 }, { 119, 6 } })
        EXPECT_EQ (argbAt (separator, x, y), black);
}

TEST (K4TZLook, PaintsNoMenuBackground)
{
    K4TZLook look;
    juce::Image image (juce::Image::ARGB, 50, 50, true);
    juce::Graphics g (image);
    look.drawPopupMenuBackground (g, 50, 50);
    EXPECT_EQ (image.getPixelAt (25, 25).getAlpha(), 0);
}

/** Paints a vertical scroll bar of the given length, its whole range shown in a tenth. */
juce::Image paintScrollBar (int length, bool mouseOver)
{
    K4TZLook look;
    juce::ScrollBar bar (true);
    bar.setLookAndFeel (&look);
    bar.setBounds (0, 0, 12, length);
    bar.setRangeLimits (0.0, 100.0);
    bar.setCurrentRange (0.0, 10.0);
    juce::Image image (juce::Image::ARGB, 12, length, true);
    juce::Graphics g (image);
    look.drawScrollbar (g, bar, 0, 0, 12, length, true, 0, length > 8 ? juce::jmax (8, length / 10) : 0, mouseOver, false);
    bar.setLookAndFeel (nullptr);
    return image;
}

TEST (K4TZLook, DrawsTheThumbOnlyAndFillsItUnderTheMouse)
{
    const auto outlined = paintScrollBar (200, false);
    EXPECT_GT (outlined.getPixelAt (6, 1).getAlpha(), 100) << "the outline's top edge";
    EXPECT_EQ (outlined.getPixelAt (6, 10).getAlpha(), 0) << "an outline only";
    EXPECT_EQ (outlined.getPixelAt (6, 100).getAlpha(), 0) << "no track";

    const auto filled = paintScrollBar (200, true);
    EXPECT_EQ (argbAt (filled, 6, 10), black);
}

TEST (K4TZLook, AThumbAreaOfEightPixelsOrLessShowsNoThumb)
{
    K4TZLook look;
    juce::ScrollBar bar (true);
    bar.setLookAndFeel (&look);
    bar.setBounds (0, 0, 12, 8);
    bar.setRangeLimits (0.0, 100.0);
    bar.setCurrentRange (0.0, 10.0);
    bar.setAutoHide (false);

    juce::Image image (juce::Image::ARGB, 12, 8, true);
    {
        juce::Graphics g (image);
        bar.paintEntireComponent (g, true);
    }

    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ (image.getPixelAt (x, y).getAlpha(), 0) << x << ", " << y;

    bar.setLookAndFeel (nullptr);
}

TEST (K4TZLook, OutlinesEveryTextEditorAsAPill)
{
    K4TZLook look;
    juce::TextEditor editor;
    juce::Image image (juce::Image::ARGB, 60, 20, true);
    juce::Graphics g (image);
    look.drawTextEditorOutline (g, 60, 20, editor);
    EXPECT_GT (image.getPixelAt (30, 1).getAlpha(), 100);
    EXPECT_EQ (image.getPixelAt (2, 2).getAlpha(), 0) << "the corners are rounded off";
    EXPECT_EQ (image.getPixelAt (30, 10).getAlpha(), 0);
}

TEST (K4TZLook, GivesNoWindowADropShadow)
{
    K4TZLook look;
    juce::Component window;
    EXPECT_EQ (look.createDropShadowerForComponent (window), nullptr);
}

TEST (K4TZLook, DrawsTextDarkOnLight)
{
    K4TZLook look;
    EXPECT_EQ (look.findColour (juce::Label::textColourId), juce::Colour (black));
    EXPECT_EQ (look.findColour (juce::TextEditor::textColourId), juce::Colour (black));
}

TEST (SharedK4TZLook, IsTheDefaultWhileHeldAndLeavesNoDanglingDefault)
{
    auto& frameworkDefault = juce::LookAndFeel::getDefaultLookAndFeel();
    ASSERT_EQ (dynamic_cast<K4TZLook*> (&frameworkDefault), nullptr);

    {
        auto first = std::make_unique<SharedK4TZLook>();
        auto* look = &first->get();
        EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), look);

        {
            SharedK4TZLook second;
            EXPECT_EQ (&second.get(), look) << "one look for the process";
            EXPECT_EQ (SharedK4TZLook::getNumHolders(), 2);
        }

        EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), look) << "still held by the first";
        first.reset();
        EXPECT_EQ (SharedK4TZLook::getNumHolders(), 0);
    }

    EXPECT_EQ (dynamic_cast<K4TZLook*> (&juce::LookAndFeel::getDefaultLookAndFeel()), nullptr);

    SharedK4TZLook again;
    EXPECT_NE (dynamic_cast<K4TZLook*> (&juce::LookAndFeel::getDefaultLookAndFeel()), nullptr)
        << "a later editor installs a fresh look";
}

} // namespace
} // namespace brisquell
