// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pane/ModulePane.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace brisquell::test
{

//==============================================================================
/** Sends mouse events to components as JUCE's dispatcher would, with every position given in
    one reference component's pixels (the canvas). Each event is made relative to its target's
    current position, so a target that moves while it is dragged sees what it would on screen.
*/
class Pointer
{
public:
    explicit Pointer (juce::Component& reference) : canvas (reference) {}

    /** Presses on the target. mods carry the buttons (leftButtonModifier etc.) and keys. */
    void press (juce::Component& target, juce::Point<int> atInCanvas, int mods)
    {
        pressTarget = &target;
        pressInCanvas = atInCanvas;
        pressMods = juce::ModifierKeys (mods);
        target.mouseDown (makeEvent (target, atInCanvas, pressMods, false));
    }

    /** Drags the pressed target to the position, with the press's buttons and keys. */
    void dragTo (juce::Point<int> toInCanvas)
    {
        if (auto* target = pressTarget.getComponent())
            target->mouseDrag (makeEvent (*target, toInCanvas, pressMods, true));
    }

    /** Releases at the position (the event still carries the buttons, as JUCE's mouseUp does). */
    void releaseAt (juce::Point<int> atInCanvas)
    {
        if (auto* target = pressTarget.getComponent())
            target->mouseUp (makeEvent (*target, atInCanvas, pressMods, atInCanvas != pressInCanvas));

        pressTarget = nullptr;
    }

    /** A press and a release at the same spot. */
    void click (juce::Component& target, juce::Point<int> atInCanvas, int mods)
    {
        press (target, atInCanvas, mods);
        releaseAt (atInCanvas);
    }

    /** Press, one drag step per waypoint, release at the last. */
    void drag (juce::Component& target, juce::Point<int> from, std::initializer_list<juce::Point<int>> waypoints, int mods)
    {
        press (target, from, mods);
        auto last = from;

        for (auto p : waypoints)
        {
            dragTo (p);
            last = p;
        }

        releaseAt (last);
    }

    /** Turns the wheel over the target by deltaY. */
    void wheel (juce::Component& target, juce::Point<int> atInCanvas, float deltaY)
    {
        juce::MouseWheelDetails details;
        details.deltaX = 0.0f;
        details.deltaY = deltaY;
        details.isReversed = false;
        details.isSmooth = false;
        details.isInertial = false;
        target.mouseWheelMove (makeEvent (target, atInCanvas, {}, false), details);
    }

    /** The centre of a component, in canvas pixels. */
    juce::Point<int> centreOf (const juce::Component& c) const
    {
        return canvas.getLocalPoint (c.getParentComponent(), c.getBounds().getCentre());
    }

private:
    juce::MouseEvent makeEvent (juce::Component& target, juce::Point<int> atInCanvas, juce::ModifierKeys mods, bool dragged) const
    {
        const auto now = juce::Time::getCurrentTime();
        const auto position = target.getLocalPoint (&canvas, atInCanvas).toFloat();
        const auto downPosition = target.getLocalPoint (&canvas, pressInCanvas).toFloat();

        return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(),
                                 position,
                                 mods,
                                 juce::MouseInputSource::defaultPressure,
                                 juce::MouseInputSource::defaultOrientation,
                                 juce::MouseInputSource::defaultRotation,
                                 juce::MouseInputSource::defaultTiltX,
                                 juce::MouseInputSource::defaultTiltY,
                                 &target,
                                 &target,
                                 now,
                                 downPosition,
                                 now,
                                 1,
                                 dragged);
    }

    juce::Component& canvas;
    juce::Component::SafePointer<juce::Component> pressTarget;
    juce::Point<int> pressInCanvas;
    juce::ModifierKeys pressMods;
};

constexpr int left = juce::ModifierKeys::leftButtonModifier;
constexpr int right = juce::ModifierKeys::rightButtonModifier;
constexpr int middle = juce::ModifierKeys::middleButtonModifier;
constexpr int shift = juce::ModifierKeys::shiftModifier;
constexpr int ctrl = juce::ModifierKeys::ctrlModifier;
constexpr int alt = juce::ModifierKeys::altModifier;

//==============================================================================
/** A module that counts what its view forwards to it. */
class CountingModule final : public Module
{
public:
    int downs = 0, drags = 0, ups = 0;
    juce::ModifierKeys lastMods;

    void mouseDown (const juce::MouseEvent& e) override { ++downs; lastMods = e.mods; }
    void mouseDrag (const juce::MouseEvent& e) override { ++drags; lastMods = e.mods; }
    void mouseUp (const juce::MouseEvent& e) override { ++ups; lastMods = e.mods; }
};

/** A pane model over plain modules, recording the pane's presses and selection reports. */
class FakePaneModel final : public ModulePaneModel
{
public:
    std::vector<std::unique_ptr<CountingModule>> modules;
    int downs = 0, ups = 0;
    juce::ModifierKeys lastUpMods;
    std::vector<juce::Array<ModuleGUI*>> reports;

    CountingModule& addModule (float x, float y)
    {
        modules.push_back (std::make_unique<CountingModule>());
        modules.back()->setPosition (x, y);
        return *modules.back();
    }

    std::unique_ptr<ModuleGUI> createModuleGUI (int) override { return nullptr; }
    int getNumModules() override { return (int) modules.size(); }
    void mouseDown (const juce::MouseEvent&) override { ++downs; }
    void mouseUp (const juce::MouseEvent& e) override
    {
        ++ups;
        lastUpMods = e.mods;
    }
    Module* getModule (int index) override
    {
        return juce::isPositiveAndBelow (index, (int) modules.size()) ? modules[(size_t) index].get() : nullptr;
    }
    void selectionChanged (const juce::Array<ModuleGUI*>& views) override { reports.push_back (views); }
};

/** The views of the pane that are selected, as view indices in selection order. */
inline std::vector<int> selectedIndices (const ModulePane& pane)
{
    std::vector<int> result;

    for (auto* view : pane.getSelection().getItemArray())
    {
        int index = -1;

        for (int i = 0; i < pane.getNumViews(); ++i)
            if (pane.getView (i) == view)
                index = i;

        result.push_back (index);
    }

    return result;
}

} // namespace brisquell::test
