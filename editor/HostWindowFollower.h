// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace brisquell
{

//==============================================================================
/** Makes an editor fill the window that a VST 2.4 host embeds it in, and follow that window when
    the user makes it larger or smaller.

    The framework's VST 2.4 client on Linux puts the editor into a window of its own, a child of
    the host's window, and changes the editor's size only when the host resizes that child
    window. A host that resizes just its own window (as many do, with a toolbar above the plug-in)
    goes unnoticed: the X server tells nobody in the plug-in, and effEditIdle carries no size.
    So this watches the host's window itself. A timer (the framework runs it from the host's
    effEditIdle while the editor is open) asks the X server for the host window's size; the first
    answer grows the editor to fill the window in each direction where the window is larger, and
    every later change of the window's size is followed in the directions that changed, from
    minimumSize up to the editor's largest size. The new size is given to the client's component
    that holds the editor, as when a host resizes the plug-in's own window: the client lays the
    editor out (which keeps its size in the model as always) and confirms the size to the host
    with audioMasterSizeWindow.

    Some hosts size their window from the editor's in turn (its size plus their toolbar and frame,
    whenever the plug-in's window changes), and miscount by a few pixels: following such a window
    would grow the editor without end. So a change of the host's window that comes right after the
    editor's own (within reactionMs) is taken as the host's answer to the editor; when the same
    answer comes twice in a row, it is the host's offset, and the editor keeps the size that the
    host's window answers with itself. The editor then stays put, the host's window a few pixels
    larger than it.

    Only an editor inside another component (the client's) whose window has a parent window is
    followed; anywhere else, and on systems without X11, this does nothing. Message thread only.
*/
class HostWindowFollower final : private juce::Timer
{
public:
    /** Follows for the editor, which must outlive this: the component that holds it (the
        client's) takes the host window's size, and lays the editor out to fill it.
    */
    HostWindowFollower (juce::Component& editor, int largestSize);
    ~HostWindowFollower() override;

    /** The smallest width and height the editor is given when it follows a shrinking window;
        the editor's own border can still make it smaller.
    */
    static constexpr int minimumSize = 100;

    /** How often the host's window is looked at. */
    static constexpr int intervalMs = 40;

    /** The size the editor's holder takes when the host's window measures hostSize: on the
        first look at the window (lastHostSize none) each side grows to the window's; afterwards
        only sides whose length changed since lastHostSize follow it, within minimumSize and
        largestSize. Answers the current size when nothing changes.
    */
    static juce::Point<int> chooseEditorSize (juce::Point<int> currentSize, juce::Point<int> hostSize, std::optional<juce::Point<int>> lastHostSize, int largestSize);

    /** How soon after the editor's own change of size a change of the host's window counts as
        the host's answer to it, and how far (in each direction) such an answer may go.
    */
    static constexpr int reactionMs = 250, largestReaction = 48;

private:
    void timerCallback() override;

    /** True when the host's window, changed by delta, is answering the editor's last change of
        size as it answered the one before (and remembers this answer for the next time).
    */
    bool isRepeatedAnswer (juce::Point<int> delta);

    /** The host window's size in the coordinates of the editor's holder, or none when there is
        no host window to follow (yet, or any more).
    */
    std::optional<juce::Point<int>> measureHostWindow();

    juce::Component& editor;
    const int largestSize;
    unsigned long hostWindow = 0;
    bool hasGivenUp = false;
    std::optional<juce::Point<int>> lastHostSize;
    juce::Point<int> lastOwnSize;
    juce::uint32 lastOwnChangeMs = 0;
    bool isAwaitingAnswer = false;
    std::optional<juce::Point<int>> lastAnswer;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HostWindowFollower)
};

} // namespace brisquell
