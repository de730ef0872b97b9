// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/document/DocumentElements.h"
#include "pane/ZoomingShiftingComponent.h"

#include <gtest/gtest.h>

#include <cmath>

namespace brisquell
{
namespace
{

/** An item at a fixed model rectangle that remembers what is written back to it. */
class RectItem final : public ZoomableShiftableComponent
{
public:
    explicit RectItem (juce::Rectangle<int> r, int* deletions = nullptr) : modelRect (r), deleted (deletions) {}
    ~RectItem() override
    {
        if (deleted != nullptr)
            ++*deleted;
    }

    juce::Rectangle<int> getModelBounds() const override { return modelRect; }
    void setModelBounds (const juce::Rectangle<int>& r) override { modelRect = r; }

    juce::Rectangle<int> modelRect;
    int* deleted;
};

struct Canvas
{
    ZoomingShiftingComponent canvas;

    Canvas() { canvas.setBounds (0, 0, 400, 300); }

    RectItem& add (juce::Rectangle<int> modelRect, int* deletions = nullptr)
    {
        auto* item = new RectItem (modelRect, deletions);
        canvas.addItem (item);
        return *item;
    }

    void restore (const juce::String& attributes)
    {
        auto state = juce::parseXML ("<morphpanestate " + attributes + "/>");
        ASSERT_NE (state, nullptr);
        canvas.restoreViewState (state.get());
    }

    void zoomSteps (int n, float factor, float x = 0.0f, float y = 0.0f)
    {
        for (int i = 0; i < n; ++i)
            canvas.zoomAt (factor, factor, x, y);
    }
};

TEST (CanvasLayout, NewCanvasShowsModelUnitsAsPixels)
{
    Canvas c;
    EXPECT_EQ (c.canvas.getOriginX(), 0.0f);
    EXPECT_EQ (c.canvas.getOriginY(), 0.0f);
    EXPECT_EQ (c.canvas.getXZoom(), 1.0f);
    EXPECT_EQ (c.canvas.getYZoom(), 1.0f);

    auto& item = c.add ({ 20, 30, 50, 50 });
    EXPECT_EQ (item.getBounds(), juce::Rectangle<int> (20, 30, 50, 50));
    EXPECT_EQ (item.getParentComponent(), &c.canvas);
    EXPECT_TRUE (item.isVisible());
}

TEST (CanvasLayout, ItemsFollowTheOriginAndRoundHalvesToEven)
{
    Canvas c;
    auto& item = c.add ({ 20, 30, 50, 50 });

    c.restore ("xoff=\"100\" yoff=\"50\" xzoom=\"1\" yzoom=\"1\"");
    EXPECT_EQ (item.getBounds(), juce::Rectangle<int> (120, 80, 50, 50));

    c.restore ("xoff=\"0\" yoff=\"0\" xzoom=\"0.5\" yzoom=\"0.5\"");
    EXPECT_EQ (item.getWidth(), 25);

    auto& small = c.add ({ 2, 6, 50, 50 });
    c.restore ("xoff=\"0\" yoff=\"0\" xzoom=\"0.25\" yzoom=\"0.25\"");
    EXPECT_EQ (small.getX(), 0); // 0.5 goes to the even 0
    EXPECT_EQ (small.getY(), 2); // 1.5 goes to the even 2
    EXPECT_EQ (small.getWidth(), 12); // 12.5 goes to 12
}

TEST (CanvasLayout, WritingBackConvertsPixelsToWholeModelUnits)
{
    Canvas c;
    c.restore ("xoff=\"10\" yoff=\"-4\" xzoom=\"2\" yzoom=\"4\"");
    auto& item = c.add ({ 0, 0, 50, 50 });

    item.setBounds (17, 6, 100, 200); // (17 - 10) / 2 = 3.5, (6 + 4) / 4 = 2.5
    item.updateModelFromBounds();
    EXPECT_EQ (item.modelRect, juce::Rectangle<int> (4, 2, 50, 50));
}

TEST (CanvasLayout, RemovingDeletesOnlyItsOwnItems)
{
    Canvas c;
    int deletions = 0;
    auto& item = c.add ({ 0, 0, 50, 50 }, &deletions);

    RectItem stranger ({ 0, 0, 10, 10 }, &deletions);
    c.canvas.addAndMakeVisible (stranger);
    c.canvas.removeItem (&stranger);
    EXPECT_EQ (deletions, 0);
    EXPECT_EQ (stranger.getParentComponent(), nullptr);

    c.canvas.removeItem (&item);
    EXPECT_EQ (deletions, 1);
    EXPECT_EQ (c.canvas.getNumItems(), 0);
}

TEST (CanvasLayout, DestroyingTheCanvasDeletesItsItems)
{
    int deletions = 0;

    {
        Canvas c;
        c.add ({ 0, 0, 50, 50 }, &deletions);
        c.add ({ 60, 0, 50, 50 }, &deletions);
    }

    EXPECT_EQ (deletions, 2);
}

TEST (CanvasLayout, ClicksOnTheOriginMarkReachTheCanvas)
{
    Canvas c;
    c.canvas.setVisible (true);
    EXPECT_EQ (c.canvas.getComponentAt (3, 3), &c.canvas);
}

//==============================================================================
TEST (CanvasZoom, KeepsTheModelPointUnderThePointer)
{
    Canvas c;
    auto& item = c.add ({ 100, 100, 50, 50 });

    c.canvas.zoomAt (2.0f, 2.0f, 100.0f, 100.0f);
    EXPECT_EQ (c.canvas.getOriginX(), -100.0f);
    EXPECT_EQ (c.canvas.getOriginY(), -100.0f);
    EXPECT_EQ (item.getBounds(), juce::Rectangle<int> (100, 100, 100, 100));
}

TEST (CanvasZoom, AboutTheOriginLeavesItInPlaceButStillScalesTheItems)
{
    Canvas c;
    c.restore ("xoff=\"40\" yoff=\"30\" xzoom=\"1\" yzoom=\"1\"");
    auto& item = c.add ({ 10, 10, 50, 50 });

    c.canvas.zoomAt (1.5f, 1.5f, 40.0f, 30.0f);
    EXPECT_EQ (c.canvas.getOriginX(), 40.0f);
    EXPECT_EQ (c.canvas.getOriginY(), 30.0f);
    EXPECT_EQ (item.getBounds(), juce::Rectangle<int> (55, 45, 75, 75));
}

TEST (CanvasZoom, StopsAtTheLimitsPerAxis)
{
    Canvas c;
    c.zoomSteps (7, 1.3515625f);
    EXPECT_NEAR (c.canvas.getXZoom(), 8.2386f, 1.0e-4);

    // The eighth step would reach about 11.135: refused, and the origin does not move.
    const auto before = c.canvas.getXZoom();
    c.canvas.zoomAt (1.3515625f, 1.0f, 200.0f, 0.0f);
    EXPECT_EQ (c.canvas.getXZoom(), before);
    EXPECT_EQ (c.canvas.getOriginX(), 0.0f);

    Canvas d;
    d.zoomSteps (5, 0.6484375f);
    EXPECT_NEAR (d.canvas.getXZoom(), 0.11464f, 1.0e-5);
    const auto smallest = d.canvas.getXZoom();
    d.canvas.zoomAt (0.6484375f, 0.6484375f, 0.0f, 0.0f);
    EXPECT_EQ (d.canvas.getXZoom(), smallest);
    EXPECT_EQ (d.canvas.getYZoom(), smallest);

    // One axis near its limit refuses the step, the other still zooms and moves its origin.
    Canvas e;
    e.restore ("xoff=\"0\" yoff=\"0\" xzoom=\"9.5\" yzoom=\"1\"");
    e.canvas.zoomAt (1.1f, 2.0f, 100.0f, 100.0f);
    EXPECT_EQ (e.canvas.getXZoom(), 9.5f);
    EXPECT_EQ (e.canvas.getYZoom(), 2.0f);
    EXPECT_EQ (e.canvas.getOriginX(), 0.0f);
    EXPECT_EQ (e.canvas.getOriginY(), -100.0f);
}

TEST (CanvasZoom, RefusesUnusableFactors)
{
    Canvas c;
    c.canvas.zoomAt (std::nanf (""), -1.0f, 10.0f, 10.0f);
    c.canvas.zoomAt (0.0f, INFINITY, 10.0f, 10.0f);
    EXPECT_EQ (c.canvas.getXZoom(), 1.0f);
    EXPECT_EQ (c.canvas.getYZoom(), 1.0f);
    EXPECT_EQ (c.canvas.getOriginX(), 0.0f);
}

//==============================================================================
TEST (CanvasViewState, RoundTripsOriginAndZoomExactly)
{
    Canvas c;
    c.restore ("xoff=\"-37\" yoff=\"12\" xzoom=\"1\" yzoom=\"1\"");
    c.zoomSteps (3, 1.3515625f, 100.0f, 80.0f);
    c.canvas.zoomAt (0.6484375f, 1.0f, 5.0f, 5.0f);

    const auto view = c.canvas.createViewState();
    EXPECT_EQ (view.xOffset, (int) c.canvas.getOriginX());
    EXPECT_EQ (view.yOffset, (int) c.canvas.getOriginY());

    // Through text, as the state document carries it.
    const auto text = state::createPaneViewElement (view)->toString();
    auto reparsed = juce::parseXML (text);
    EXPECT_EQ (state::readPaneView (*reparsed), view) << text;
    Canvas other;
    auto& item = other.add ({ 30, 40, 50, 50 });
    other.canvas.restoreViewState (reparsed.get());

    EXPECT_EQ (other.canvas.getOriginX(), c.canvas.getOriginX());
    EXPECT_EQ (other.canvas.getOriginY(), c.canvas.getOriginY());
    EXPECT_EQ (other.canvas.getXZoom(), c.canvas.getXZoom());
    EXPECT_EQ (other.canvas.getYZoom(), c.canvas.getYZoom());
    EXPECT_EQ (item.getBounds(), other.canvas.modelToPixels ({ 30, 40, 50, 50 }));
}

TEST (CanvasViewState, UnusableSavedZoomKeepsTheCurrentFactorButRestoresTheOrigin)
{
    for (const juce::String zoom : { "", "xzoom=\"0\"", "xzoom=\"-2\"", "xzoom=\"nan\"", "xzoom=\"inf\"",
                                     "xzoom=\"1e300\"", "xzoom=\"1e-300\"", "xzoom=\"abc\"" })
    {
        SCOPED_TRACE (zoom);
        Canvas c;
        c.canvas.zoomAt (2.0f, 2.0f, 0.0f, 0.0f);
        auto& item = c.add ({ 10, 10, 50, 50 });

        c.restore ("xoff=\"7\" yoff=\"9\" yzoom=\"0.5\" " + zoom);
        EXPECT_EQ (c.canvas.getXZoom(), 2.0f);
        EXPECT_EQ (c.canvas.getYZoom(), 0.5f);
        EXPECT_EQ (c.canvas.getOriginX(), 7.0f);
        EXPECT_EQ (c.canvas.getOriginY(), 9.0f);
        EXPECT_EQ (item.getBounds(), juce::Rectangle<int> (27, 14, 100, 25));
    }

    Canvas fresh;
    fresh.restore ("xoff=\"3\"");
    EXPECT_EQ (fresh.canvas.getXZoom(), 1.0f);
    EXPECT_EQ (fresh.canvas.getYZoom(), 1.0f);
    EXPECT_EQ (fresh.canvas.getOriginX(), 3.0f);
    EXPECT_EQ (fresh.canvas.getOriginY(), 0.0f);
}

TEST (CanvasViewState, NullStateChangesNothingAndSameOriginStillRelaysTheItems)
{
    Canvas c;
    c.canvas.zoomAt (2.0f, 2.0f, 0.0f, 0.0f);
    c.canvas.restoreViewState (nullptr);
    EXPECT_EQ (c.canvas.getXZoom(), 2.0f);

    auto& item = c.add ({ 10, 10, 50, 50 });
    c.restore ("xoff=\"0\" yoff=\"0\" xzoom=\"1\" yzoom=\"1\"");
    EXPECT_EQ (item.getBounds(), juce::Rectangle<int> (10, 10, 50, 50));
}

} // namespace
} // namespace brisquell
