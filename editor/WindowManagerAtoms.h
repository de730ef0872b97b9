// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace brisquell
{

/** Makes sure that the window-manager atoms the framework's X11 windows use (WM_PROTOCOLS,
    WM_TAKE_FOCUS, WM_DELETE_WINDOW, _NET_WM_PING, WM_CHANGE_STATE, WM_STATE) exist on the
    display, and that the framework knows them.

    The framework looks these atoms up only if they exist, once, when it opens its display: on a
    display without a window manager (a bare virtual display, say) it then sets a window's
    WM_PROTOCOLS and reads its WM_STATE through atom 0, which the server answers with BadAtom,
    and a host that keeps Xlib's default error handler exits on that. This creates the missing
    atoms and has the framework look them up again. Where they exist already, as under any window
    manager, it changes nothing. Does nothing without an X display.

    Call it on the message thread before the editor's first window is made.
*/
void ensureWindowManagerAtoms();

} // namespace brisquell
