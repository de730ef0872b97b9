// SPDX-License-Identifier: GPL-3.0-or-later
#include "jack/AppWindow.h"

namespace brisquell::jack
{

AppWindow::AppWindow (const juce::String& title, std::unique_ptr<juce::Component> editorToShow)
    : juce::DocumentWindow (title, juce::Colours::white, juce::DocumentWindow::closeButton | juce::DocumentWindow::minimiseButton),
      editor (std::move (editorToShow))
{
    setUsingNativeTitleBar (true);
    setResizable (true, false);
    setContentNonOwned (editor.get(), true);
    setVisible (true);

    // Key presses that the editor's widgets leave unhandled reach the window.
    setWantsKeyboardFocus (true);
}

AppWindow::~AppWindow()
{
    clearContentComponent();
    editor.reset();
}

void AppWindow::closeButtonPressed()
{
    if (onQuitRequest != nullptr)
        onQuitRequest();
}

bool AppWindow::keyPressed (const juce::KeyPress& key)
{
    if (key == saveKey())
    {
        if (onSaveRequest != nullptr)
            onSaveRequest();

        return true;
    }

    return juce::DocumentWindow::keyPressed (key);
}

} // namespace brisquell::jack
