// SPDX-License-Identifier: GPL-3.0-or-later
// The framework's X11 declarations (its window system and the Xlib symbols it loads) are only
// visible with this set, as in the framework's own window code.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/WindowManagerAtoms.h"

namespace brisquell
{

void ensureWindowManagerAtoms()
{
#if JUCE_LINUX || JUCE_BSD
    auto* windowSystem = juce::XWindowSystem::getInstance();
    auto* display = windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;

    if (display == nullptr)
        return;

    const auto& known = windowSystem->getAtoms();
    using Protocols = juce::XWindowSystemUtilities::Atoms;

    if (known.protocols != 0 && known.protocolList[Protocols::TAKE_FOCUS] != 0
        && known.protocolList[Protocols::DELETE_WINDOW] != 0 && known.protocolList[Protocols::PING] != 0
        && known.changeState != 0 && known.state != 0)
        return;

    {
        juce::XWindowSystemUtilities::ScopedXLock xLock;

        for (const auto* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE", "WM_STATE" })
            juce::X11Symbols::getInstance()->xInternAtom (display, name, False);
    }

    // The framework offers its atoms read-only, but keeps them in a plain member that it filled
    // the same way when it opened the display: looking them up again now finds them all.
    const_cast<Protocols&> (known) = Protocols (display);
#endif
}

} // namespace brisquell
