// SPDX-License-Identifier: GPL-3.0-or-later
#include "pane/SceneGUI.h"

namespace brisquell
{

namespace
{
const juce::Colour red (0xffff0000);
const juce::Colour ink (0xff000000);
const juce::Colour track (0xffd3d3d3);

// Fractions of the view's size, so that the drawing scales with the pane's zoom: at 50
// pixels the selection ring shows 2 pixels wide at the edge, the share ring 4 pixels wide
// from 4 pixels in, and the disc 32 pixels across.
constexpr float selectionWidth = 0.04f;
constexpr float shareRingInset = 0.08f, shareRingWidth = 0.08f;
constexpr float discInset = 0.18f;
constexpr float labelHeight = 0.26f;

// Below this many pixels a label cannot be read; it is left out.
constexpr float smallestLabel = 6.0f;

juce::Colour textColourOn (juce::Colour disc)
{
    return disc.getPerceivedBrightness() > 0.55f ? juce::Colour (0xff000000) : juce::Colour (0xffffffff);
}
} // namespace

//==============================================================================
SceneGUI::SceneGUI (Scene& sceneToShow, SceneMenu& sceneMenu)
    : ModuleGUI (&sceneToShow),
      scene (sceneToShow),
      menu (sceneMenu)
{
    look.scene = &scene;
}

SceneGUI::~SceneGUI() = default;

void SceneGUI::showLook (const SceneLook& newLook)
{
    if (newLook.label == look.label && newLook.colour == look.colour && newLook.share == look.share)
        return;

    look = newLook;
    repaint();
}

//==============================================================================
void SceneGUI::mouseUp (const juce::MouseEvent& event)
{
    ModuleGUI::mouseUp (event);

    if (event.mods.isRightButtonDown())
        menu.show (scene, getPane());
}

void SceneGUI::paint (juce::Graphics& g)
{
    const auto area = getLocalBounds().toFloat();
    const auto size = juce::jmin (area.getWidth(), area.getHeight());

    if (size <= 0.0f)
        return;

    const auto square = area.withSizeKeepingCentre (size, size);

    // The share of the mix: a light track and a dark arc from the top, clockwise.
    const auto ringWidth = size * shareRingWidth;
    const auto ringArea = square.reduced (size * shareRingInset + ringWidth * 0.5f);
    g.setColour (track);
    g.drawEllipse (ringArea, ringWidth);

    if (const auto share = juce::jlimit (0.0f, 1.0f, look.share); share > 0.0f)
    {
        juce::Path arc;
        arc.addCentredArc (ringArea.getCentreX(), ringArea.getCentreY(), ringArea.getWidth() * 0.5f, ringArea.getHeight() * 0.5f, 0.0f, 0.0f, juce::MathConstants<float>::twoPi * share, true);
        g.setColour (ink);
        g.strokePath (arc, juce::PathStrokeType (ringWidth, juce::PathStrokeType::curved, juce::PathStrokeType::butt));
    }

    // The disc in the scene's colour (drawn opaque whatever a document gave it), and its label.
    const auto disc = square.reduced (size * discInset);
    const auto colour = look.colour.value_or (juce::Colour (defaultColour)).withAlpha (1.0f);
    g.setColour (colour);
    g.fillEllipse (disc);

    if (const auto height = size * labelHeight; height >= smallestLabel && look.label.isNotEmpty())
    {
        g.setColour (textColourOn (colour));
        g.setFont (juce::Font (height, juce::Font::bold));
        g.drawFittedText (look.label, disc.reduced (disc.getWidth() * 0.1f, 0.0f).toNearestInt(), juce::Justification::centred, 1, 0.7f);
    }

    // The selection: a red ring on the view's edge, as every module view has it, here twice as
    // wide so that it reads beside the share ring.
    if (isSelected())
    {
        g.setColour (red);
        g.drawEllipse (square, juce::jmax (2.0f, size * selectionWidth * 2.0f));
    }
}

} // namespace brisquell
