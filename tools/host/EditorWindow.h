// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/host/VstHost.h"

#include <memory>
#include <optional>
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

    /** The shape of a host window with its own controls above the plug-in's: a top-level window
        holding a toolbar (toolbarHeight pixels high, at least minimumWidth wide) and, below it,
        the window that the plug-in is embedded in, which always fills the rest. The host sizes
        its top-level window from the editor's size, whenever the editor asks
        (audioMasterSizeWindow) and whenever the plug-in's own window changes size, to that size
        plus its toolbar plus miscount (a host that counts its frame wrongly).
    */
    struct Frame
    {
        int toolbarHeight = 34, minimumWidth = 392, miscount = 0;
    };

    /** Opens the editor in a host window of that shape, at the editor's size. */
    static std::unique_ptr<EditorWindow> openFramed (Plugin& plugin, const std::string& title, std::string& error, Frame frame);

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
        plug-in is not told (what it makes of it is up to the plug-in). In a framed window this
        is the top-level window's size; the plug-in's parent takes what the toolbar leaves.
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

    /** Takes the X input focus to this (top-level) window, as hosts that keep it on their own
        window do.
    */
    void takeFocus();

    /** Sends a key (an X key symbol) to the plug-in's window inside this one, as hosts that
        keep the focus hand on the keys they receive (XSendEvent, the pointer's place unchanged).
    */
    void forwardKey (unsigned long keySymbol, bool isDown);

    /** The window the plug-in's editor is embedded in: this one, or the one under the toolbar. */
    unsigned long getEmbeddingWindowId() const noexcept { return embedding; }

private:
    EditorWindow (Plugin& plugin, void* display, unsigned long window, int width, int height);
    static std::unique_ptr<EditorWindow> open (Plugin& plugin, const std::string& title, std::string& error, bool hasOwnSize, int windowWidth, int windowHeight, std::optional<Frame> frame);
    bool resizeTo (int newWidth, int newHeight);
    void fitFrameTo (int editorWidth, int editorHeight);
    void layOutFrame (int topWidth, int topHeight);

    Plugin& plugin;
    void* display = nullptr;
    unsigned long window = 0;
    unsigned long deleteMessage = 0;
    unsigned long embedding = 0;
    std::optional<Frame> frame;
    int width = 0, height = 0;
    bool closeRequested = false;
};

} // namespace brisquell::host
