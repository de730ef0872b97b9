// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

namespace brisquell::jack
{

//==============================================================================
/** The app's window: the processor's editor in a resizable top-level window. The window
    follows the editor when the editor resizes itself (with its own border or from a restored
    state), and the editor follows the window when the user resizes that, both at the scale the
    editor is drawn at (its transform: the window is the editor's size times it). Ctrl+S asks for the
    state to be saved; the close button asks to quit. Message thread only.
*/
class AppWindow final : public juce::DocumentWindow
{
public:
    /** Shows the editor in a new window titled with the client's name. */
    AppWindow (const juce::String& title, std::unique_ptr<juce::Component> editorToShow);

    /** Deletes the editor first, so that it hands its state to the processor. */
    ~AppWindow() override;

    std::function<void()> onSaveRequest;
    std::function<void()> onQuitRequest;

    /** The editor shown. */
    juce::Component* getEditor() const noexcept { return editor.get(); }

    //==============================================================================
    void closeButtonPressed() override;
    bool keyPressed (const juce::KeyPress& key) override;

    /** The key that saves the state. */
    static juce::KeyPress saveKey() { return juce::KeyPress ('s', juce::ModifierKeys::commandModifier, 0); }

    /** The window takes the editor's size on screen, its scale included. */
    void childBoundsChanged (juce::Component* child) override;

    /** The editor fills the window, in its own (unscaled) units. */
    void resized() override;

private:
    std::unique_ptr<juce::Component> editor;
    bool isLayingOut = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AppWindow)
};

} // namespace brisquell::jack
