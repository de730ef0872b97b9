// SPDX-License-Identifier: GPL-3.0-or-later
#include "pane/MorphPane.h"

#include <iostream>

namespace
{

using namespace brisquell;

/** The white backdrop the editor draws behind the pane. */
class Backdrop final : public juce::Component
{
public:
    void paint (juce::Graphics& g) override { g.fillAll (juce::Colour (0xffffffff)); }
};

void addScene (Brisquell& model, float x, float y)
{
    auto scene = std::make_unique<Scene> (model);
    scene->setPosition (x, y);
    model.addScene (std::move (scene));
}

/** Lays out a pane of width x height pixels on a new model and renders it. */
juce::Image renderPane (int width, int height)
{
    Brisquell model;
    addScene (model, 30.0f, 40.0f);
    addScene (model, 150.0f, 60.0f);
    addScene (model, 260.0f, 170.0f);
    addScene (model, 70.0f, 180.0f);
    model.setSelectedScenes ({ model.getScene (1), model.getScene (2) });
    model.getCursor().setPosition (170.0f, 110.0f);

    Backdrop backdrop;
    MorphPaneModel paneModel (model);
    MorphPane pane (model, paneModel);
    pane.addItem (new CursorGUI (model.getCursor()));
    backdrop.addAndMakeVisible (pane);

    // A slightly shifted origin, so its mark shows inside the border.
    juce::XmlElement view ("morphpanestate");
    view.setAttribute ("xoff", 12);
    view.setAttribute ("yoff", 8);
    view.setAttribute ("xzoom", 1.0);
    view.setAttribute ("yzoom", 1.0);
    pane.restoreViewState (&view);

    backdrop.setBounds (0, 0, width, height);
    pane.setBounds (backdrop.getLocalBounds());

    return backdrop.createComponentSnapshot (backdrop.getLocalBounds(), true, 1.0f);
}

bool writePng (const juce::Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream stream (file);

    if (! stream.openedOk())
        return false;

    juce::PNGImageFormat png;
    return png.writeImageToStream (image, stream) && (stream.flush(), stream.getStatus().wasOk());
}

} // namespace

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: pane-snapshot out.png\n"
                     "Renders a 400 x 300 morph pane with four scenes (two selected) and the cursor.\n";
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI gui;
    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (juce::String::fromUTF8 (argv[1]));

    if (! writePng (renderPane (400, 300), file))
    {
        std::cerr << "pane-snapshot: could not write " << file.getFullPathName() << "\n";
        return 1;
    }

    std::cout << file.getFullPathName() << "\n";
    return 0;
}
