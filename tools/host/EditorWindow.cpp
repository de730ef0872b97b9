// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/host/EditorWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace brisquell::host
{

namespace
{
Display* asDisplay (void* d) noexcept
{
    return static_cast<Display*> (d);
}

/** A host outlives its plug-in's windows: a question about a window that went meanwhile (a menu
    closed, an editor torn down between two requests) is answered with an error, which Xlib's
    own handler turns into the end of the process. Windows that went are expected; anything
    else is told on stderr, and the host goes on.
*/
int keepGoingAfterXError (Display* display, XErrorEvent* event)
{
    if (event->error_code != BadWindow && event->error_code != BadDrawable)
    {
        char text[160] = {};
        XGetErrorText (display, event->error_code, text, sizeof (text));
        std::fprintf (stderr, "X error: %s (request %d)\n", text, (int) event->request_code);
    }

    return 0;
}

// X refuses windows of no size; an editor may well ask for one.
int atLeastOne (int size) noexcept
{
    return std::clamp (size, 1, 32767);
}
} // namespace

//==============================================================================
std::unique_ptr<EditorWindow> EditorWindow::open (Plugin& plugin, const std::string& title, std::string& error)
{
    return open (plugin, title, error, false, 0, 0, std::nullopt);
}

std::unique_ptr<EditorWindow> EditorWindow::open (Plugin& plugin, const std::string& title, std::string& error, int windowWidth, int windowHeight)
{
    return open (plugin, title, error, true, windowWidth, windowHeight, std::nullopt);
}

std::unique_ptr<EditorWindow> EditorWindow::openFramed (Plugin& plugin, const std::string& title, std::string& error, Frame frame)
{
    return open (plugin, title, error, false, 0, 0, frame);
}

std::unique_ptr<EditorWindow> EditorWindow::open (Plugin& plugin, const std::string& title, std::string& error, bool hasOwnSize, int windowWidth, int windowHeight, std::optional<Frame> frame)
{
    XInitThreads();
    XSetErrorHandler (keepGoingAfterXError);
    auto* display = XOpenDisplay (nullptr);

    if (display == nullptr)
    {
        error = "no X display to open the editor on (is DISPLAY set?)";
        return nullptr;
    }

    // The window starts at the size the editor answers before it opens, or a provisional one
    // when it answers none yet; it is fitted to the answer once the editor is open.
    int width = provisionalWidth, height = provisionalHeight;
    plugin.getEditorSize (width, height);

    if (hasOwnSize)
    {
        width = atLeastOne (windowWidth);
        height = atLeastOne (windowHeight);
    }

    const auto screen = DefaultScreen (display);
    const auto window = XCreateSimpleWindow (display, RootWindow (display, screen), 0, 0, (unsigned int) atLeastOne (width), (unsigned int) atLeastOne (height), 0, BlackPixel (display, screen), BlackPixel (display, screen));
    XStoreName (display, window, title.c_str());
    XSelectInput (display, window, StructureNotifyMask);

    auto deleteMessage = XInternAtom (display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols (display, window, &deleteMessage, 1);
    auto embedding = window;

    // A framed window: the toolbar is the top-level window's own (grey) area, the plug-in goes
    // into a child below it, and the host hears when the plug-in's window in there changes size.
    if (frame.has_value())
    {
        XSetWindowBackground (display, window, 0x808080);
        embedding = XCreateSimpleWindow (display, window, 0, frame->toolbarHeight, (unsigned int) atLeastOne (width), (unsigned int) atLeastOne (height), 0, BlackPixel (display, screen), BlackPixel (display, screen));
        XSelectInput (display, embedding, SubstructureNotifyMask);
        XMapWindow (display, embedding);
    }

    XMapWindow (display, window);
    XSync (display, False);

    std::unique_ptr<EditorWindow> result (new EditorWindow (plugin, display, window, width, height));
    result->deleteMessage = deleteMessage;
    result->embedding = embedding;
    result->frame = frame;

    if (frame.has_value())
        result->fitFrameTo (width, height);

    if (! plugin.openEditor (embedding))
    {
        error = "the plug-in did not open its editor (effEditOpen answered 0)";
        return nullptr;
    }

    plugin.setSizeWindowHandler ([w = result.get()] (int newWidth, int newHeight)
                                 {
                                     if (! w->frame.has_value())
                                         return w->resizeTo (newWidth, newHeight);

                                     w->fitFrameTo (newWidth, newHeight);
                                     return true; });

    // A plug-in may settle its editor's size only as the editor opens: ask again, as hosts do,
    // unless the window's size is the host's own choice.
    // A framed window is sized from the editor's around its toolbar.
    if (int openWidth = 0, openHeight = 0; frame.has_value() && plugin.getEditorSize (openWidth, openHeight))
        result->fitFrameTo (openWidth, openHeight);
    else if (! hasOwnSize && plugin.getEditorSize (openWidth, openHeight)
             && (openWidth != result->width || openHeight != result->height))
        result->resizeTo (openWidth, openHeight);

    result->pump();
    return result;
}

EditorWindow::EditorWindow (Plugin& p, void* d, unsigned long w, int initialWidth, int initialHeight)
    : plugin (p), display (d), window (w), width (initialWidth), height (initialHeight)
{
}

EditorWindow::~EditorWindow()
{
    plugin.setSizeWindowHandler (nullptr);

    if (plugin.isEditorOpen())
        plugin.closeEditor();

    XDestroyWindow (asDisplay (display), window);
    XSync (asDisplay (display), False);
    XCloseDisplay (asDisplay (display));
}

void EditorWindow::pump()
{
    auto* d = asDisplay (display);

    while (XPending (d) > 0)
    {
        XEvent event;
        XNextEvent (d, &event);

        if (event.type == ClientMessage && (unsigned long) event.xclient.data.l[0] == deleteMessage)
            closeRequested = true;
        else if (event.type == ConfigureNotify && event.xconfigure.window == window)
        {
            width = event.xconfigure.width;
            height = event.xconfigure.height;

            if (frame.has_value())
                layOutFrame (width, height);
        }
        else if (event.type == ConfigureNotify && frame.has_value() && event.xconfigure.event == embedding
                 && event.xconfigure.window != embedding)
        {
            fitFrameTo (event.xconfigure.width, event.xconfigure.height);
        }
    }

    plugin.idle();
}

bool EditorWindow::queryServerSize (int& serverWidth, int& serverHeight) const
{
    XWindowAttributes attributes;

    if (XGetWindowAttributes (asDisplay (display), window, &attributes) == 0)
        return false;

    serverWidth = attributes.width;
    serverHeight = attributes.height;
    return true;
}

void EditorWindow::resizeByUser (int newWidth, int newHeight)
{
    resizeTo (newWidth, newHeight);
}

bool EditorWindow::pumpUntilEditorSizeIs (int editorWidth, int editorHeight, int timeLimitMilliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeLimitMilliseconds);

    for (;;)
    {
        pump();
        int w = 0, h = 0, childWidth = 0, childHeight = 0;

        // Done when the editor answers the size and the plug-in's own window in this one has it
        // on the server too. The plug-in hears of that window's new size as an event that is in
        // its queue by now; one more idle call lets it take that in (a framework may answer it
        // with a size request of its own), so that a later resize does not cross it.
        if (plugin.getEditorSize (w, h) && w == editorWidth && h == editorHeight
            && (! queryChildSize (childWidth, childHeight) || (childWidth == editorWidth && childHeight == editorHeight)))
        {
            pump();
            return true;
        }

        if (std::chrono::steady_clock::now() >= end)
            return false;

        std::this_thread::sleep_for (std::chrono::milliseconds (2));
    }
}

bool EditorWindow::queryChildSize (int& childWidth, int& childHeight) const
{
    auto* d = asDisplay (display);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int numChildren = 0;

    if (XQueryTree (d, embedding, &root, &parent, &children, &numChildren) == 0)
        return false;

    XWindowAttributes attributes;
    const auto found = numChildren > 0 && XGetWindowAttributes (d, children[0], &attributes) != 0;

    if (children != nullptr)
        XFree (children);

    if (found)
    {
        childWidth = attributes.width;
        childHeight = attributes.height;
    }

    return found;
}

void EditorWindow::takeFocus()
{
    XSetInputFocus (asDisplay (display), window, RevertToParent, CurrentTime);
    XFlush (asDisplay (display));
}

void EditorWindow::forwardKey (unsigned long keySymbol, bool isDown)
{
    auto* d = asDisplay (display);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int numChildren = 0;

    if (XQueryTree (d, embedding, &root, &parent, &children, &numChildren) == 0)
        return;

    const auto target = numChildren > 0 ? children[0] : embedding;

    if (children != nullptr)
        XFree (children);

    XEvent event{};
    event.xkey.type = isDown ? KeyPress : KeyRelease;
    event.xkey.display = d;
    event.xkey.window = target;
    event.xkey.root = root;
    event.xkey.time = CurrentTime;
    event.xkey.x = event.xkey.y = 1;
    event.xkey.same_screen = True;
    event.xkey.keycode = XKeysymToKeycode (d, keySymbol);
    XSendEvent (d, target, True, isDown ? KeyPressMask : KeyReleaseMask, &event);
    XFlush (d);
}

void EditorWindow::fitFrameTo (int editorWidth, int editorHeight)
{
    const auto topWidth = std::max (editorWidth, frame->minimumWidth);
    const auto topHeight = editorHeight + frame->toolbarHeight + frame->miscount;

    if (topWidth != width || topHeight != height)
        resizeTo (topWidth, topHeight);

    layOutFrame (topWidth, topHeight);
}

void EditorWindow::layOutFrame (int topWidth, int topHeight)
{
    XResizeWindow (asDisplay (display), embedding, (unsigned int) atLeastOne (topWidth), (unsigned int) atLeastOne (topHeight - frame->toolbarHeight));
    XFlush (asDisplay (display));
}

bool EditorWindow::resizeTo (int newWidth, int newHeight)
{
    XResizeWindow (asDisplay (display), window, (unsigned int) atLeastOne (newWidth), (unsigned int) atLeastOne (newHeight));
    XFlush (asDisplay (display));
    width = newWidth;
    height = newHeight;
    return true;
}

} // namespace brisquell::host
