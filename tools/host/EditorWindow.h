// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/host/VstHost.h"

#include <memory>
#include <string>

namespace brisquell::host
{

//==============================================================================
/** A top-level X11 window that holds a plug-in's editor: it asks the editor's size
    (effEditGetRect), creates and maps a window of that size (provisionalWidth x
    provisionalHeight when the plug-in answers none yet; or of a size the host chooses, as a host
    with its own controls around the editor does), hands its id to effEditOpen, then (unless the
    host chose the size) asks the size again and fits the window to the answer, as hosts do.
    pump() handles the window's events and calls effEditIdle; the destructor closes the editor
    (effEditClose) before the window goes. The plug-in's size requests resize the window, and
    resizeByUser() resizes it as a user dragging its edge does. Use it on one thread, the host's
    UI thread.
*/
class EditorWindow final
{
public:
    /** Opens the editor in a new window on $DISPLAY; none (with the error text) when there is
        no display or the plug-in has no editor to open.
    */
    static std::unique_ptr<EditorWindow> open (Plugin& plugin, const std::string& title, std::string& error);

    /** Opens the editor in a window of the given size instead of the editor's. */
    static std::unique_ptr<EditorWindow> open (Plugin& plugin, const std::string& title, std::string& error, int windowWidth, int windowHeight);

    /** The window's size while the plug-in answers no editor size before opening it. */
    static constexpr int provisionalWidth = 400, provisionalHeight = 300;

    /** Closes the editor, then destroys the window and the display connection. */
    ~EditorWindow();

    /** Handles pending window events, then lets the plug-in idle (effEditIdle). */
    void pump();

    /** True once the window manager asked the window to close. */
    bool wasCloseRequested() const noexcept { return closeRequested; }

    unsigned long getWindowId() const noexcept { return window; }
    int getWidth() const noexcept { return width; }
    int getHeight() const noexcept { return height; }

    /** The window's current size as the X server reports it. */
    bool queryServerSize (int& serverWidth, int& serverHeight) const;

    /** Resizes the window around the open editor, as a user dragging its edge does; the
        plug-in is not told (what it makes of it is up to the plug-in).
    */
    void resizeByUser (int newWidth, int newHeight);

    /** Pumps (window events and effEditIdle) until the plug-in's editor answers the size
        (effEditGetRect) and the plug-in's own window inside this one has it, or the time limit
        passes; answers whether the editor got there.
    */
    bool pumpUntilEditorSizeIs (int editorWidth, int editorHeight, int timeLimitMilliseconds);

    /** The size of the plug-in's window inside this one (its first child), as the X server
        reports it; false when there is none.
    */
    bool queryChildSize (int& childWidth, int& childHeight) const;

private:
    EditorWindow (Plugin& plugin, void* display, unsigned long window, int width, int height);
    static std::unique_ptr<EditorWindow> open (Plugin& plugin, const std::string& title, std::string& error, bool hasOwnSize, int windowWidth, int windowHeight);
    bool resizeTo (int newWidth, int newHeight);

    Plugin& plugin;
    void* display = nullptr;
    unsigned long window = 0;
    unsigned long deleteMessage = 0;
    int width = 0, height = 0;
    bool closeRequested = false;
};

} // namespace brisquell::host
