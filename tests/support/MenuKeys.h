// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

namespace brisquell::test
{

/** The position of the item among the menu's items that a user can reach with the arrow keys
    (separators and disabled items are skipped; a submenu counts), or -1.
*/
inline int reachablePositionOf (const juce::PopupMenu& menu, const juce::String& text)
{
    int position = 0;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();

        if (item.isSeparator || ! item.isEnabled)
            continue;

        if (item.text == text)
            return position;

        ++position;
    }

    return -1;
}

/** The deepest pop-up menu window open on the desktop (a submenu's, over its parent's), or none. */
inline juce::Component* openMenuWindow()
{
    juce::Component* found = nullptr;
    auto& desktop = juce::Desktop::getInstance();

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* window = desktop.getComponent (i); window->getName() == "menu" && window->isVisible())
            found = window;

    return found;
}

/** Picks an item from the open pop-up menu with the keyboard, as a user does: down to the item
    and Return; for an item in a submenu, down to the submenu, right into it, down to the item.
    The path holds the reachable positions, level by level (see reachablePositionOf). Answers
    false when no menu is open where one should be.
*/
inline bool pickFromOpenMenu (const std::vector<int>& path)
{
    for (size_t level = 0; level < path.size(); ++level)
    {
        auto* window = openMenuWindow();

        if (window == nullptr)
            return false;

        // A new menu highlights nothing; a submenu opened with the right arrow, its first item.
        const auto presses = path[level] + (level == 0 ? 1 : 0);

        for (int i = 0; i < presses; ++i)
            window->keyPressed (juce::KeyPress (juce::KeyPress::downKey));

        window->keyPressed (juce::KeyPress (level + 1 < path.size() ? juce::KeyPress::rightKey : juce::KeyPress::returnKey));
    }

    return true;
}

/** Sends the key press to the component and on up through its parents until one uses it, as
    the framework delivers a key press to the component with the keyboard focus.
*/
inline bool sendKey (juce::Component& target, const juce::KeyPress& key)
{
    for (auto* c = &target; c != nullptr; c = c->getParentComponent())
        if (c->keyPressed (key))
            return true;

    return false;
}

/** Types the text into the component, one key press per character. */
inline void typeText (juce::Component& target, const juce::String& text)
{
    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();
        sendKey (target, juce::KeyPress ((int) c, {}, c));
    }
}

} // namespace brisquell::test
