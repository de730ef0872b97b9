// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pane/ModulePane.h"
#include "pane/SceneMenu.h"

namespace brisquell
{

//==============================================================================
/** The view of one scene on the morph pane: a disc in the scene's colour (black when it has
    none) with its label, inside a ring whose dark arc follows the scene's share of what the
    cursor hears (a full ring: all of it; none: nothing), and a red ring at its edge while it is
    selected. It shows what it was last given with showLook(). A right click opens the scene's
    menu. Message thread only.
*/
class SceneGUI final : public ModuleGUI
{
public:
    /** A view of the scene whose menu the given scene menu shows; both must outlive the view
        (the scene until the model's next notification round after its removal).
    */
    SceneGUI (Scene& scene, SceneMenu& menu);
    ~SceneGUI() override;

    Scene& getScene() const noexcept { return scene; }

    /** What the view shows now: label, colour and share. */
    const SceneLook& getLook() const noexcept { return look; }

    /** Shows the look, repainting only when something visible changed. */
    void showLook (const SceneLook& newLook);

    /** The colour of a scene that has none of its own. */
    static constexpr juce::uint32 defaultColour = 0xff000000;

    //==============================================================================
    /** As every module view, and a right-button release opens the scene's menu. */
    void mouseUp (const juce::MouseEvent& event) override;
    void paint (juce::Graphics& g) override;

private:
    Scene& scene;
    SceneMenu& menu;
    SceneLook look;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SceneGUI)
};

} // namespace brisquell
