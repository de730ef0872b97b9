// SPDX-License-Identifier: GPL-3.0-or-later
// The framework's X11 declarations (its display and its run-time loaded Xlib functions) are
// needed here only: this is the one file that includes them.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "editor/HostWindowFollower.h"

namespace brisquell
{

HostWindowFollower::HostWindowFollower (juce::Component& editorToFollow, int largest)
    : editor (editorToFollow),
      largestSize (largest)
{
    startTimer (intervalMs);
}

HostWindowFollower::~HostWindowFollower()
{
    stopTimer();
}

juce::Point<int> HostWindowFollower::chooseEditorSize (juce::Point<int> currentSize, juce::Point<int> hostSize, std::optional<juce::Point<int>> lastHostSize, int largestSize)
{
    const auto side = [&] (int currentSide, int hostSide, std::optional<int> lastHostSide)
    {
        if (! lastHostSide.has_value())
            return hostSide > currentSide ? juce::jmin (hostSide, largestSize) : currentSide;

        if (hostSide == *lastHostSide)
            return currentSide;

        return juce::jlimit (juce::jmin (minimumSize, largestSize), largestSize, hostSide);
    };

    const auto lastX = lastHostSize.has_value() ? std::optional<int> (lastHostSize->x) : std::nullopt;
    const auto lastY = lastHostSize.has_value() ? std::optional<int> (lastHostSize->y) : std::nullopt;
    return { side (currentSize.x, hostSize.x, lastX), side (currentSize.y, hostSize.y, lastY) };
}

bool HostWindowFollower::isRepeatedAnswer (juce::Point<int> delta)
{
    // Only the first change after the editor's own can answer it: the host answers the editor,
    // and further changes are the user's.
    const auto now = juce::Time::getMillisecondCounter();
    const auto isAnswer = isAwaitingAnswer && now - lastOwnChangeMs <= (juce::uint32) reactionMs
                          && std::abs (delta.x) <= largestReaction && std::abs (delta.y) <= largestReaction;
    isAwaitingAnswer = false;

    if (! isAnswer)
        return false;

    const auto isRepeated = lastAnswer.has_value() && *lastAnswer == delta;
    lastAnswer = delta;
    return isRepeated;
}

void HostWindowFollower::timerCallback()
{
    const auto hostSize = measureHostWindow();

    if (! hostSize.has_value())
        return;

    auto* top = editor.getTopLevelComponent();
    const auto currentSize = juce::Point<int> (top->getWidth(), top->getHeight());

    // The editor's own changes (its border, the host resizing the plug-in's window, or this
    // follower) are what a host may answer.
    if (currentSize != lastOwnSize)
    {
        lastOwnSize = currentSize;
        lastOwnChangeMs = juce::Time::getMillisecondCounter();
        isAwaitingAnswer = true;
    }

    if (lastHostSize.has_value() && *lastHostSize == *hostSize)
        return;

    // A host that sizes its window from the editor's, and gave the same answer to the editor's
    // last change before: following it would only make it answer again.
    if (lastHostSize.has_value() && isRepeatedAnswer (*hostSize - *lastHostSize))
    {
        lastHostSize = hostSize;
        return;
    }

    const auto newSize = chooseEditorSize (currentSize, *hostSize, lastHostSize, largestSize);
    lastHostSize = hostSize;

    // The client's own component is resized, as when a host resizes the plug-in's window: it
    // lays the editor out and tells the host at once. Resizing only the editor would leave the
    // client to follow later, from its window's event, with the editor's size of that moment,
    // which may undo a change the user has made to the host's window meanwhile.
    if (newSize != currentSize)
    {
        top->setSize (newSize.x, newSize.y);
        lastOwnSize = newSize;
        lastOwnChangeMs = juce::Time::getMillisecondCounter();
        isAwaitingAnswer = true;
    }
}

std::optional<juce::Point<int>> HostWindowFollower::measureHostWindow()
{
#if JUCE_LINUX || JUCE_BSD
    auto* top = editor.getTopLevelComponent();

    if (hasGivenUp || top == &editor)
        return std::nullopt;

    auto* peer = top->getPeer();
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();

    // A window with a title bar is a desktop window of its own, not one embedded by a host.
    if (peer == nullptr || windowSystem == nullptr || windowSystem->getDisplay() == nullptr
        || (peer->getStyleFlags() & juce::ComponentPeer::windowHasTitleBar) != 0)
        return std::nullopt;

    auto* display = windowSystem->getDisplay();
    auto* x11 = juce::X11Symbols::getInstance();
    XWindowAttributes attributes{};

    {
        juce::XWindowSystemUtilities::ScopedXLock xLock;

        if (hostWindow == 0)
        {
            ::Window root = 0, parent = 0;
            ::Window* children = nullptr;
            unsigned int numChildren = 0;

            if (x11->xQueryTree (display, (::Window) peer->getNativeHandle(), &root, &parent, &children, &numChildren) == 0)
                return std::nullopt;

            if (children != nullptr)
                x11->xFree (children);

            // Not (yet) inside a host's window: look again at the next tick.
            if (parent == 0 || parent == root)
                return std::nullopt;

            hostWindow = parent;
        }

        // The host's window has gone: there is nothing left to follow.
        if (x11->xGetWindowAttributes (display, (::Window) hostWindow, &attributes) == 0)
        {
            hasGivenUp = true;
            return std::nullopt;
        }
    }

    // The X server counts physical pixels; the editor's coordinates may be scaled.
    const auto scale = (float) (top->getDesktopScaleFactor() * peer->getPlatformScaleFactor());

    if (! (scale > 0.0f))
        return std::nullopt;

    return juce::Point<int> (juce::roundToInt ((float) attributes.width / scale),
                             juce::roundToInt ((float) attributes.height / scale));
#else
    return std::nullopt;
#endif
}

} // namespace brisquell
