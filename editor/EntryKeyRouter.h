// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace brisquell
{

//==============================================================================
/** Brings the keys that reach an embedded editor's window to the entry the user has opened in it.

    The framework gives a component keyboard focus only while the X input focus lies in the
    component's own window (its peer's, or a window inside it): Component::grabKeyboardFocus
    asks the peer to take the X focus and gives up when the peer then does not report it. A host
    that embeds the editor in its own window often keeps the X focus on a window of its own and
    hands the key events to the plug-in's window itself (GTK's XEmbed sockets do, and so do hosts
    that send the plug-in's window the keys they receive), or the events reach the plug-in's
    window because the pointer lies in it. The peer then receives and dispatches the keys, but no
    component holds the focus, so the framework hands them to the editor's top-level component
    and nothing takes them: a label's text entry opens on a click and never sees a digit.

    The same happens when the X focus reaches the plug-in's window only after the click that
    opened the entry (a window manager or host that first focuses its own window): the framework
    then gives the focus back to the component that had it before, the editor, not the entry.

    This listens to the keys of the editor's top-level component (where the framework delivers
    them when nothing has the focus, and where they end when nothing took them): while a label
    inside the editor is being edited and its text entry lacks the keyboard focus, the entry is
    given the focus (the window can take it, as keys reach it) and the key. And when the editor
    itself gets the focus while an entry is open, the entry takes it. Keys that arrive while no
    entry is open go on as before. Message thread only.
*/
class EntryKeyRouter final : private juce::KeyListener,
                             private juce::ComponentListener,
                             private juce::FocusChangeListener
{
public:
    /** Routes the keys of the editor's top-level component from now on, also once the editor is
        put into another one; the editor must outlive this.
    */
    explicit EntryKeyRouter (juce::Component& editor);
    ~EntryKeyRouter() override;

    /** The text entry of the first label inside the component that is being edited, or none. */
    static juce::TextEditor* findOpenEntry (juce::Component& component);

private:
    bool keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent) override;
    void componentParentHierarchyChanged (juce::Component&) override;
    void globalFocusChanged (juce::Component* focused) override;
    void listenToTopLevel();

    juce::Component& editor;
    juce::Component::SafePointer<juce::Component> topLevel;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EntryKeyRouter)
};

} // namespace brisquell
