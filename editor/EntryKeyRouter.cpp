// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/EntryKeyRouter.h"

namespace brisquell
{

EntryKeyRouter::EntryKeyRouter (juce::Component& editorToServe)
    : editor (editorToServe)
{
    editor.addComponentListener (this);
    juce::Desktop::getInstance().addFocusChangeListener (this);
    listenToTopLevel();
}

EntryKeyRouter::~EntryKeyRouter()
{
    juce::Desktop::getInstance().removeFocusChangeListener (this);
    editor.removeComponentListener (this);

    if (topLevel != nullptr)
        topLevel->removeKeyListener (this);
}

juce::TextEditor* EntryKeyRouter::findOpenEntry (juce::Component& component)
{
    if (auto* label = dynamic_cast<juce::Label*> (&component); label != nullptr && label->isBeingEdited())
        if (auto* entry = label->getCurrentTextEditor(); entry != nullptr && entry->isShowing())
            return entry;

    for (auto* child : component.getChildren())
        if (auto* entry = findOpenEntry (*child))
            return entry;

    return nullptr;
}

bool EntryKeyRouter::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    auto* entry = findOpenEntry (editor);

    if (entry == nullptr || entry->hasKeyboardFocus (true))
        return false;

    // The keys reach this window, so it can take the focus now: the entry gets it (and with it
    // every later key straight from the framework), then this key.
    entry->grabKeyboardFocus();

    // Return and Escape may close (and delete) the entry: it is not touched after this call.
    entry->keyPressed (key);
    return true;
}

void EntryKeyRouter::globalFocusChanged (juce::Component* focused)
{
    // The window got the focus back (the framework hands it to the component that last had it,
    // the editor, as the entry never had it): the open entry is where the user meant to type.
    if (focused == &editor)
        if (auto* entry = findOpenEntry (editor))
            entry->grabKeyboardFocus();
}

void EntryKeyRouter::componentParentHierarchyChanged (juce::Component&)
{
    listenToTopLevel();
}

void EntryKeyRouter::listenToTopLevel()
{
    auto* newTopLevel = editor.getTopLevelComponent();

    if (newTopLevel == topLevel.getComponent())
        return;

    if (topLevel != nullptr)
        topLevel->removeKeyListener (this);

    topLevel = newTopLevel;
    topLevel->addKeyListener (this);
}

} // namespace brisquell
