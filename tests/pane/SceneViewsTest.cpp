// SPDX-License-Identifier: GPL-3.0-or-later
#include "MorphPaneFixture.h"

#include "pane/SceneGUI.h"

#include <cmath>
#include <thread>

namespace brisquell
{
namespace
{

using namespace test;

bool isNear (juce::Colour a, juce::Colour b)
{
    return a.getAlpha() > 200 && std::abs (a.getRed() - b.getRed()) < 12 && std::abs (a.getGreen() - b.getGreen()) < 12
           && std::abs (a.getBlue() - b.getBlue()) < 12;
}

bool isDark (juce::Colour c) { return c.getAlpha() > 200 && c.getBrightness() < 0.25f; }
bool isLightGrey (juce::Colour c) { return isNear (c, juce::Colour (0xffd3d3d3)); }
bool isRed (juce::Colour c) { return isNear (c, juce::Colour (0xffff0000)); }

class SceneViews : public MorphPaneFixture
{
protected:
    SceneGUI& sceneView (int i) { return dynamic_cast<SceneGUI&> (view (i)); }

    juce::Image snapshot() { return pane->createComponentSnapshot (pane->getLocalBounds()); }

    /** The pixel on the view's share ring (the middle of its width) at the fraction of a turn
        from the top, clockwise. At 50 pixels the ring lies 4 to 8 pixels inside the edge.
    */
    static juce::Colour ringPixel (const juce::Image& image, juce::Rectangle<int> bounds, float turn)
    {
        const auto radius = bounds.getWidth() * 0.5f - bounds.getWidth() * 0.12f;
        const auto angle = juce::MathConstants<float>::twoPi * turn;
        const auto centre = bounds.toFloat().getCentre();
        return image.getPixelAt (juce::roundToInt (centre.x + radius * std::sin (angle)),
                                 juce::roundToInt (centre.y - radius * std::cos (angle)));
    }

    /** The pixels of the view's disc that have the colour, in its middle band (the label). */
    static int labelPixels (const juce::Image& image, juce::Rectangle<int> bounds, juce::Colour colour)
    {
        int n = 0;
        const auto band = bounds.withSizeKeepingCentre (24, 12);

        for (int y = band.getY(); y < band.getBottom(); ++y)
            for (int x = band.getX(); x < band.getRight(); ++x)
                n += isNear (image.getPixelAt (x, y), colour) ? 1 : 0;

        return n;
    }
};

//==============================================================================
TEST_F (SceneViews, EveryViewShowsItsScenesLabelColourAndShare)
{
    auto* near = addScene (40.0f, 100.0f);
    auto* far = addScene (240.0f, 100.0f);
    near->setName ("pad");
    far->setColour (juce::Colour (0xffe5c100));
    model.getCursor().setPosition (90.0f, 100.0f); // 50 from the first, 150 from the second
    open();
    settle();

    EXPECT_EQ (sceneView (0).getLook().label, "pad");
    EXPECT_EQ (sceneView (1).getLook().label, "2");
    EXPECT_FLOAT_EQ (sceneView (0).getLook().share, 0.9f);
    EXPECT_FLOAT_EQ (sceneView (1).getLook().share, 0.1f);

    const auto image = snapshot();
    const auto a = view (0).getBounds(), b = view (1).getBounds();

    // The discs: black with a white label, and yellow with a black one.
    EXPECT_TRUE (isDark (image.getPixelAt (a.getCentreX(), a.getY() + 12)));
    EXPECT_TRUE (isNear (image.getPixelAt (b.getCentreX(), b.getY() + 12), juce::Colour (0xffe5c100)));
    EXPECT_GT (labelPixels (image, a, juce::Colour (0xffffffff)), 15);
    EXPECT_GT (labelPixels (image, b, juce::Colour (0xff000000)), 5);

    // The rings: nine tenths dark for the near scene, one tenth for the far one.
    for (auto turn : { 0.02f, 0.25f, 0.5f, 0.85f })
        EXPECT_TRUE (isDark (ringPixel (image, a, turn))) << turn;
    EXPECT_TRUE (isLightGrey (ringPixel (image, a, 0.95f)));
    EXPECT_TRUE (isDark (ringPixel (image, b, 0.05f)));
    for (auto turn : { 0.15f, 0.5f, 0.9f })
        EXPECT_TRUE (isLightGrey (ringPixel (image, b, turn))) << turn;
}

TEST_F (SceneViews, InAuditTheHeardSceneHasTheWholeRing)
{
    addScene (40.0f, 100.0f);
    addScene (240.0f, 100.0f);
    model.getCursor().setPosition (90.0f, 100.0f);
    model.setAudit (true);
    model.setSelectedScenes (scenes ({ 1 }));
    open();
    settle();

    EXPECT_EQ (sceneView (0).getLook().share, 0.0f);
    EXPECT_EQ (sceneView (1).getLook().share, 1.0f);

    const auto image = snapshot();

    for (auto turn : { 0.0f, 0.3f, 0.6f, 0.9f })
    {
        EXPECT_TRUE (isLightGrey (ringPixel (image, view (0).getBounds(), turn))) << turn;
        EXPECT_TRUE (isDark (ringPixel (image, view (1).getBounds(), turn))) << turn;
    }
}

TEST_F (SceneViews, ASelectedSceneIsRingedRedApartFromItsDiscWhateverItsColour)
{
    auto* scene = addScene (40.0f, 40.0f);
    scene->setColour (juce::Colour (0xffd62728));
    open();
    settle();
    ASSERT_TRUE (view (0).isSelected());

    const auto image = snapshot();
    const auto r = view (0).getBounds();
    EXPECT_TRUE (isRed (image.getPixelAt (r.getCentreX(), r.getY())));
    EXPECT_EQ (image.getPixelAt (r.getCentreX(), r.getY() + 3).getAlpha(), 0) << "a gap between the mark and the ring";
    EXPECT_TRUE (isNear (image.getPixelAt (r.getCentreX(), r.getY() + 12), juce::Colour (0xffd62728)));

    model.setSelectedScenes ({});
    pane->selectItem (-1, true);
    settle();
    const auto unselected = snapshot();
    EXPECT_EQ (unselected.getPixelAt (r.getCentreX(), r.getY()).getAlpha(), 0);
}

TEST_F (SceneViews, ViewsFollowTheModelOnTheMessageThreadAtAScreensPace)
{
    addScene (40.0f, 100.0f);
    addScene (240.0f, 100.0f);
    model.getCursor().setPosition (140.0f, 100.0f);
    open();
    settle();
    EXPECT_FLOAT_EQ (sceneView (0).getLook().share, 0.5f);

    // The host moves the cursor from its own thread: the views learn of it only on the message
    // thread, when the pane next looks.
    std::thread host ([this]
                      { model.setCursorX (0.45f); }); // x = 90
    host.join();
    EXPECT_FLOAT_EQ (sceneView (0).getLook().share, 0.5f);
    EXPECT_TRUE (runMessageLoopUntil ([&]
                                      { return sceneView (0).getLook().share > 0.85f; }));

    // Names and colours given anywhere arrive the same way.
    model.getScene (1)->setName ("bass");
    model.getScene (1)->setColour (juce::Colour (0xff1f5fd4));
    EXPECT_EQ (sceneView (1).getLook().label, "2");
    EXPECT_TRUE (runMessageLoopUntil ([&]
                                      { return sceneView (1).getLook().label == "bass"; }));
    EXPECT_EQ (sceneView (1).getLook().colour, juce::Colour (0xff1f5fd4));

    // The sharpness changes the shares too.
    model.setSharpness (4);
    EXPECT_TRUE (runMessageLoopUntil ([&]
                                      { return sceneView (0).getLook().share > 0.999f; }));
}

TEST_F (SceneViews, SmallViewsLeaveTheirLabelOut)
{
    addScene (40.0f, 40.0f);
    open ("xoff=\"0\" yoff=\"0\" xzoom=\"0.2\" yzoom=\"0.2\"");
    settle();
    ASSERT_EQ (view (0).getWidth(), 10);

    juce::Image image (juce::Image::ARGB, 10, 10, true);
    juce::Graphics g (image);
    view (0).paintEntireComponent (g, false);

    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_FALSE (isNear (image.getPixelAt (x, y), juce::Colour (0xffffffff))) << x << ", " << y;
}

} // namespace
} // namespace brisquell
