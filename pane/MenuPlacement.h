// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace brisquell
{

/** The options with the menu's top-left corner at the mouse pointer, where the click that opens
    it is: the menu opens below and right of the click, or as near to it as the screen allows.

    The pointer's place is the X server's. A place worked out from the click inside the editor
    would go through the framework's idea of where the editor's window lies on the screen, which
    inside a host's window is only brought up to date when the editor's own window is moved or
    resized, not when the host's window moves, and the framework's own "at the mouse" placement
    opens a menu towards the middle of the screen, above and left of a click in its lower right.
*/
inline juce::PopupMenu::Options atThePointer (const juce::PopupMenu::Options& options)
{
    const auto pointer = juce::Desktop::getMousePosition();
    return options.withTargetScreenArea ({ pointer.x, pointer.y, 1, 1 });
}

/** How long after a menu closed its window is drawn once more (see repaintAfterMenu). */
inline constexpr int menuSettleMs = 100;

/** Repaints the whole window of the component (nothing when it has gone), now and once more when
    the menu that closed over it has left the screen: what the menu covered is drawn anew even
    where the window system does not report the area as uncovered, or reports it before the
    menu's window is gone. Message thread.

    The later repaint waits in an object the framework deletes at its shutdown, so a plug-in
    unloaded within menuSettleMs of a menu leaves nothing behind.
*/
void repaintAfterMenu (juce::Component* component);

} // namespace brisquell
