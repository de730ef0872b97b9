// SPDX-License-Identifier: GPL-3.0-or-later
#include "jack/AppWindow.h"

#include <cmath>

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

void AppWindow::childBoundsChanged (juce::Component* child)
{
    // The window's own layout of the editor is not the editor's change of size.
    if (isLayingOut)
        return;

    if (child == nullptr || child != editor.get())
    {
        juce::DocumentWindow::childBoundsChanged (child);
        return;
    }

    const auto shown = child->getBoundsInParent();
    const auto border = getContentComponentBorder();
    setSize (shown.getWidth() + border.getLeftAndRight(), shown.getHeight() + border.getTopAndBottom());
}

void AppWindow::resized()
{
    const juce::ScopedValueSetter<bool> layingOut (isLayingOut, true);
    juce::DocumentWindow::resized();

    // The framework lays the content out in the window's units; a scaled editor takes the
    // window's area in its own.
    if (editor != nullptr && editor->getParentComponent() == this && ! editor->getTransform().isIdentity())
    {
        const auto area = getContentComponentBorder().subtractedFrom (getLocalBounds()).toFloat();
        const auto scale = std::sqrt (std::abs (editor->getTransform().getDeterminant()));
        editor->setBounds ((area / scale).toNearestInt());
    }
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
