// SPDX-License-Identifier: GPL-3.0-or-later
#include "pane/SceneMenu.h"
#include "pane/MenuPlacement.h"

namespace brisquell
{

//==============================================================================
SceneMenu::SceneMenu (Brisquell& owner) : model (owner) {}

SceneMenu::~SceneMenu()
{
    // Deleting the dialog cancels it: its callback then renames nothing.
    delete renameDialog.getComponent();
}

const std::array<SceneMenu::PaletteColour, 8>& SceneMenu::getPalette()
{
    static const std::array<PaletteColour, 8> palette{ {
        { "red", 0xffd62728 },
        { "orange", 0xffff7f0e },
        { "yellow", 0xffe5c100 },
        { "green", 0xff2ca02c },
        { "cyan", 0xff17becf },
        { "blue", 0xff1f5fd4 },
        { "purple", 0xff9467bd },
        { "pink", 0xffe377c2 },
    } };

    return palette;
}

//==============================================================================
juce::PopupMenu SceneMenu::create (const Scene& scene) const
{
    auto menu = scene.createMenu();
    const auto colour = scene.getColour();

    juce::PopupMenu colours;
    colours.addItem (noColourItem, "none", true, ! colour.has_value());

    for (size_t i = 0; i < getPalette().size(); ++i)
    {
        const auto& entry = getPalette()[i];
        colours.addColouredItem (firstColourItem + (int) i, entry.name, juce::Colour (entry.argb), true, colour == juce::Colour (entry.argb));
    }

    menu.addSeparator();
    menu.addItem (renameItem, "rename...");
    menu.addSubMenu ("colour", colours);
    menu.addItem (duplicateItem, "duplicate");
    menu.addItem (randomiseItem, "randomise");
    return menu;
}

void SceneMenu::itemChosen (Scene& scene, int itemId, juce::Component* anchor)
{
    if (itemId == 0 || model.indexOfScene (&scene) < 0)
        return;

    const auto colourIndex = itemId - firstColourItem;

    if (itemId == renameItem)
        launchRenameDialog (scene, anchor);
    else if (itemId == duplicateItem)
        model.duplicateScene (scene);
    else if (itemId == randomiseItem)
        model.randomiseScene (scene);
    else if (itemId == noColourItem)
        scene.setColour (std::nullopt);
    else if (juce::isPositiveAndBelow (colourIndex, (int) getPalette().size()))
        scene.setColour (juce::Colour (getPalette()[(size_t) colourIndex].argb));
    else
        scene.menuItemChosen (itemId);
}

void SceneMenu::show (Scene& scene, juce::Component* anchor)
{
    juce::WeakReference<SceneMenu> self (this);
    juce::WeakReference<Scene> target (&scene);
    juce::Component::SafePointer<juce::Component> safeAnchor (anchor);

    create (scene).showMenuAsync (atThePointer (juce::PopupMenu::Options()),
                                  [self, target, safeAnchor] (int result)
                                  {
                                      repaintAfterMenu (safeAnchor.getComponent());

                                      // The editor, the plug-in or the scene may have gone while the
                                      // menu was open; a scene that has gone reads as none here,
                                      // whatever was made at its address since.
                                      if (result != 0 && self != nullptr && target != nullptr)
                                          self->itemChosen (*target, result, safeAnchor.getComponent());
                                  });
}

void SceneMenu::launchRenameDialog (Scene& scene, juce::Component* anchor)
{
    delete renameDialog.getComponent();

    auto* dialog = new juce::AlertWindow ("rename scene", {}, juce::MessageBoxIconType::NoIcon, anchor);
    dialog->addTextEditor ("name", scene.getName());
    dialog->getTextEditor ("name")->setInputRestrictions (maxTypedNameLength);
    dialog->addButton ("OK", 1, juce::KeyPress (juce::KeyPress::returnKey));
    dialog->addButton ("cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));
    renameDialog = dialog;

    juce::WeakReference<Scene> target (&scene);
    juce::Component::SafePointer<juce::AlertWindow> safeDialog (dialog);

    // The callback runs before the dismissed dialog is deleted; a dialog deleted with the pane
    // answers 0.
    auto rename = [target, safeDialog] (int result)
    {
        if (result != 1 || target == nullptr || safeDialog == nullptr)
            return;

        if (target->getModel().indexOfScene (target.get()) >= 0)
            target->setName (safeDialog->getTextEditorContents ("name"));
    };

    dialog->enterModalState (true, juce::ModalCallbackFunction::create (std::move (rename)), true);
}

} // namespace brisquell
