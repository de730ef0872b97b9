// SPDX-License-Identifier: GPL-3.0-or-later
#include "PaneTestSupport.h"

#include <limits>

namespace brisquell
{
namespace
{

using namespace test;

class ModulePaneDrag : public ::testing::Test
{
protected:
    FakePaneModel model;
    std::unique_ptr<ModulePane> pane;
    std::unique_ptr<Pointer> pointer;

    void build (std::initializer_list<juce::Point<float>> positions, const char* viewState = nullptr)
    {
        for (auto p : positions)
            model.addModule (p.x, p.y);

        pane = std::make_unique<ModulePane> (model);
        pane->setBounds (0, 0, 400, 300);
        pointer = std::make_unique<Pointer> (*pane);

        if (viewState != nullptr)
            pane->restoreViewState (juce::parseXML (juce::String ("<v ") + viewState + "/>").get());
    }

    ModuleGUI& view (int i) { return *pane->getView (i); }
    juce::Point<float> position (int i) const { return model.modules[(size_t) i]->getPosition(); }

    void dragView (int i, juce::Point<int> by, int mods = left)
    {
        const auto from = pointer->centreOf (view (i));
        pointer->drag (view (i), from, { from + by }, mods);
    }
};

TEST_F (ModulePaneDrag, WritesWholeModelUnitsRoundedHalfToEvenAtZoomTwo)
{
    build ({ { 0.0f, 0.0f }, { 1.0f, 100.0f } }, "xoff=\"0\" yoff=\"0\" xzoom=\"2\" yzoom=\"2\"");

    dragView (0, { 7, 0 }); // 3.5 goes to 4
    EXPECT_EQ (position (0), juce::Point<float> (4.0f, 0.0f));

    dragView (1, { 7, 0 }); // from pixel 2: 4.5 goes to 4
    EXPECT_EQ (position (1), juce::Point<float> (4.0f, 100.0f));
}

TEST_F (ModulePaneDrag, GroupMovesAsOneWithoutLimits)
{
    build ({ { 10.0f, 10.0f }, { 100.0f, 40.0f }, { 200.0f, 150.0f } });
    pane->selectAll();

    auto& module = *model.modules[1];
    const auto from = pointer->centreOf (view (1));
    pointer->drag (view (1), from, { from + juce::Point<int> (-60, -30), from + juce::Point<int> (-150, -90) }, left);

    EXPECT_EQ (position (0), juce::Point<float> (-140.0f, -80.0f));
    EXPECT_EQ (position (1), juce::Point<float> (-50.0f, -50.0f));
    EXPECT_EQ (position (2), juce::Point<float> (50.0f, 60.0f));
    EXPECT_EQ (view (0).getPosition(), juce::Point<int> (-140, -80));
    EXPECT_EQ (selectedIndices (*pane).size(), 3u);

    EXPECT_EQ (module.downs, 1);
    EXPECT_EQ (module.drags, 2);
    EXPECT_EQ (module.ups, 1);
}

TEST_F (ModulePaneDrag, ViewsThatAreNotSelectedStayPut)
{
    build ({ { 0.0f, 0.0f }, { 100.0f, 0.0f } });
    pane->selectItem (1, true);

    dragView (0, { 20, 20 }); // a plain press on view 0 selects it alone
    EXPECT_EQ (position (0), juce::Point<float> (20.0f, 20.0f));
    EXPECT_EQ (position (1), juce::Point<float> (100.0f, 0.0f));

    dragView (1, { 20, 20 }, right); // only the left button drags
    EXPECT_EQ (position (1), juce::Point<float> (100.0f, 0.0f));
}

TEST_F (ModulePaneDrag, PressedViewComesToTheFront)
{
    build ({ { 0.0f, 0.0f }, { 20.0f, 20.0f } });
    pointer->click (view (0), { 5, 5 }, left);
    EXPECT_GT (pane->getIndexOfChildComponent (&view (0)), pane->getIndexOfChildComponent (&view (1)));
}

//==============================================================================
TEST_F (ModulePaneDrag, MiddleButtonShiftsTheOriginAndTheViewsFollow)
{
    build ({ { 10.0f, 20.0f } });
    pointer->press (*pane, { 300, 200 }, middle);
    EXPECT_EQ (pane->getMouseCursor(), juce::MouseCursor (juce::MouseCursor::DraggingHandCursor));

    pointer->dragTo ({ 320, 210 });
    pointer->dragTo ({ 340, 230 });
    pointer->releaseAt ({ 340, 230 });

    EXPECT_EQ (pane->getOriginX(), 40.0f);
    EXPECT_EQ (pane->getOriginY(), 30.0f);
    EXPECT_EQ (view (0).getPosition(), juce::Point<int> (50, 50));
    EXPECT_EQ (position (0), juce::Point<float> (10.0f, 20.0f));
    EXPECT_EQ (pane->getMouseCursor(), juce::MouseCursor (juce::MouseCursor::NormalCursor));
    EXPECT_EQ (model.downs, 1);
    EXPECT_EQ (model.ups, 1);
}

TEST_F (ModulePaneDrag, WheelZoomsAboutThePointerAlsoOverAView)
{
    build ({ { 100.0f, 100.0f } });

    pointer->wheel (*pane, { 0, 0 }, 0.3515625f);
    EXPECT_EQ (pane->getXZoom(), 1.3515625f);
    EXPECT_EQ (pane->getYZoom(), 1.3515625f);
    EXPECT_EQ (pane->getOriginX(), 0.0f);
    EXPECT_EQ (view (0).getBounds(), pane->modelToPixels ({ 100, 100, 50, 50 }));

    // Over the view, the wheel reaches the pane and zooms out about the pointer.
    const auto at = pointer->centreOf (view (0));
    const auto modelUnderPointer = (at.toFloat() - juce::Point<float> (pane->getOriginX(), pane->getOriginY())) / pane->getXZoom();
    pointer->wheel (view (0), at, -0.3515625f);
    EXPECT_EQ (pane->getXZoom(), 1.3515625f * 0.6484375f);

    const auto stillUnderPointer = (at.toFloat() - juce::Point<float> (pane->getOriginX(), pane->getOriginY())) / pane->getXZoom();
    EXPECT_NEAR (stillUnderPointer.x, modelUnderPointer.x, 1.0f);
    EXPECT_NEAR (stillUnderPointer.y, modelUnderPointer.y, 1.0f);
}

TEST_F (ModulePaneDrag, FractionalAndFarAwayPositionsGetDefinedBounds)
{
    build ({ { 3.99f, -7.9f }, { 1.0e20f, -1.0e20f } }, "xoff=\"12\" yoff=\"-5\" xzoom=\"1\" yzoom=\"1\"");

    EXPECT_EQ (view (0).getModelBounds(), juce::Rectangle<int> (3, -7, 50, 50)); // truncated toward zero
    EXPECT_EQ (view (0).getPosition(), juce::Point<int> (15, -12));

    const auto far = view (1).getModelBounds();
    EXPECT_EQ (far.getX(), std::numeric_limits<int>::max());
    EXPECT_EQ (far.getY(), std::numeric_limits<int>::min());
    EXPECT_EQ (view (1).getX(), 1 << 30);
    EXPECT_EQ (view (1).getY(), -(1 << 30));
}

} // namespace
} // namespace brisquell
