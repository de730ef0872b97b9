// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Brisquell.h"

#include <array>

namespace brisquell
{

//==============================================================================
/** The menu a right click on a scene's view opens: the scene's own items (Scene::createMenu,
    "delete"), then the items that edit the scene: "rename...", "colour" (a submenu of eight
    colours and "none"), "duplicate" and "randomise". It also owns the rename dialog, which it
    closes, renaming nothing, when it is destroyed with the pane. Message thread only.
*/
class SceneMenu final
{
public:
    /** A menu for the model's scenes; the model must outlive it. */
    explicit SceneMenu (Brisquell& model);

    /** Closes an open rename dialog without renaming. */
    ~SceneMenu();

    /** The ids of the items this menu adds to the scene's own (which keep ids below 10). */
    enum MenuItemIds
    {
        renameItem = 10,
        duplicateItem = 11,
        randomiseItem = 12,
        noColourItem = 20,
        firstColourItem = 21 // the palette's colours, in order
    };

    /** One colour the menu offers. */
    struct PaletteColour
    {
        const char* name;
        juce::uint32 argb;
    };

    /** The eight colours of the "colour" submenu, opaque and far apart in hue. */
    static const std::array<PaletteColour, 8>& getPalette();

    /** The longest name the rename dialog lets the user type (as a controller row does). */
    static constexpr int maxTypedNameLength = 32;

    //==============================================================================
    /** The menu for the scene as it stands now: its colour is ticked. */
    juce::PopupMenu create (const Scene& scene) const;

    /** Carries out a choice for the scene, if the model still holds it: the items above here,
        the scene's own items through Scene::menuItemChosen. 0 (dismissed) and unknown ids do
        nothing.
    */
    void itemChosen (Scene& scene, int itemId, juce::Component* anchor = nullptr);

    /** Shows the menu at the pointer and acts on the choice later, if this menu and the scene
        still exist then (a scene destroyed meanwhile is never mistaken for a newer one). A
        dialog the choice opens is centred on the anchor, while it exists.
    */
    void show (Scene& scene, juce::Component* anchor);

    /** Opens the rename dialog for the scene (closing one that is open), with its name to edit,
        centred on the anchor (or the screen). Return or "OK" renames the scene, if it still
        exists; an empty name gives it back its number. Escape, "cancel" or closing renames
        nothing.
    */
    void launchRenameDialog (Scene& scene, juce::Component* anchor = nullptr);

    /** The open rename dialog, or none. */
    juce::AlertWindow* getRenameDialog() const noexcept { return renameDialog.getComponent(); }

private:
    Brisquell& model;
    juce::Component::SafePointer<juce::AlertWindow> renameDialog;

    JUCE_DECLARE_WEAK_REFERENCEABLE (SceneMenu)
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SceneMenu)
};

} // namespace brisquell
