// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/MessageLoop.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

namespace brisquell::test
{

/** A synthetic mouse event on the component, at a position in its own coordinates, as the
    framework would hand it to the component's handlers.
*/
inline juce::MouseEvent makeMouseEvent (juce::Component& component, juce::Point<float> position, juce::ModifierKeys modifiers, juce::Point<float> downPosition, bool wasDragged = false, int numClicks = 1)
{
    const auto now = juce::Time::getCurrentTime();
    return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), position, modifiers, juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f, &component, &component, now, downPosition, now, numClicks, wasDragged);
}

inline juce::ModifierKeys leftButton() { return juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier); }
inline juce::ModifierKeys rightButton() { return juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier); }

/** Press at one point, drag vertically by dy pixels in one step, release there. */
inline void dragVertically (juce::Component& component, juce::Point<float> start, float dy)
{
    const auto end = start.translated (0.0f, dy);
    component.mouseDown (makeMouseEvent (component, start, leftButton(), start));
    component.mouseDrag (makeMouseEvent (component, end, leftButton(), start, true));
    component.mouseUp (makeMouseEvent (component, end, juce::ModifierKeys(), start, true));
}

/** A key with its text character, as the framework builds it for a typed character. */
inline juce::KeyPress characterKey (juce::juce_wchar character)
{
    return juce::KeyPress ((int) character, juce::ModifierKeys(), character);
}

/** A press and release through the window's peer, as the windowing system delivers them: the
    framework finds the component under the point and hands the events to it and to its mouse
    listeners. The position is in the top-level component's coordinates.
*/
inline void clickThroughPeer (juce::Component& topLevel, juce::Point<float> position, juce::ModifierKeys button)
{
    auto* peer = topLevel.getPeer();
    jassert (peer != nullptr);
    const auto time = juce::Time::currentTimeMillis();
    const auto source = juce::MouseInputSource::InputSourceType::mouse;
    peer->handleMouseEvent (source, position, juce::ModifierKeys(), juce::MouseInputSource::defaultPressure, 0.0f, time);
    peer->handleMouseEvent (source, position, button, juce::MouseInputSource::defaultPressure, 0.0f, time + 1);
    peer->handleMouseEvent (source, position, juce::ModifierKeys(), juce::MouseInputSource::defaultPressure, 0.0f, time + 2);
}

/** Closes every open pop-up menu and waits until the framework has removed them; answers whether
    any was open.
*/
inline bool dismissOpenMenus()
{
    const auto wasOpen = juce::PopupMenu::dismissAllActiveMenus();
    runMessageLoopUntil ([]
                         { return ! juce::PopupMenu::dismissAllActiveMenus(); });
    return wasOpen;
}

/** A top-level window on the (virtual) display that holds the component, so that it can take
    keyboard focus as it would in a host's window.
*/
class DesktopHolder final
{
public:
    explicit DesktopHolder (juce::Component& content, int width = 200, int height = 100)
        : component (content)
    {
        component.setBounds (0, 0, width, height);
        component.addToDesktop (0);
        component.setVisible (true);
        component.toFront (true);
    }

    ~DesktopHolder()
    {
        component.removeFromDesktop();
    }

    /** Takes the display's keyboard focus back for the window, and lets the focus events
        arrive (a late one would reselect an entry's text while it is being typed).
    */
    void takeFocus()
    {
        component.toFront (true);
        runMessageLoopFor (10);
    }

private:
    juce::Component& component;

    JUCE_DECLARE_NON_COPYABLE (DesktopHolder)
};

/** Another test process's window may take the one virtual display's keyboard focus at any
    moment, and a text entry that loses it closes at once. Runs the attempt, which answers
    whether the focus it needed held throughout, until one does (at most five times); answers
    whether one did. Check the outcome after it, not inside the attempt.
*/
inline bool whileFocusHolds (const std::function<bool()>& attempt)
{
    for (int i = 0; i < 5; ++i)
        if (attempt())
            return true;

    return false;
}

} // namespace brisquell::test
