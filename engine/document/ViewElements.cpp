// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/document/DocumentElements.h"

namespace brisquell::state
{

juce::Point<int> readEditorSize (const juce::XmlElement& element)
{
    return { getIntAttribute (element, "width"), getIntAttribute (element, "height") };
}

std::unique_ptr<juce::XmlElement> createEditorSizeElement (juce::Point<int> size)
{
    auto element = std::make_unique<juce::XmlElement> ("gui");
    element->setAttribute ("width", size.x);
    element->setAttribute ("height", size.y);
    return element;
}

PaneView readPaneView (const juce::XmlElement& element)
{
    PaneView view;

    if (hasAttribute (element, "xoff"))
        view.xOffset = getIntAttribute (element, "xoff");

    if (hasAttribute (element, "yoff"))
        view.yOffset = getIntAttribute (element, "yoff");

    const auto readZoom = [&element] (const char* name) -> std::optional<float>
    {
        const auto saved = getDoubleAttribute (element, name);
        return isUsableZoom (saved) ? std::optional<float> ((float) saved) : std::nullopt;
    };

    view.xZoom = readZoom ("xzoom");
    view.yZoom = readZoom ("yzoom");
    return view;
}

std::unique_ptr<juce::XmlElement> createPaneViewElement (const PaneView& view)
{
    auto element = std::make_unique<juce::XmlElement> ("morphpanestate");

    if (view.xOffset)
        element->setAttribute ("xoff", *view.xOffset);

    if (view.yOffset)
        element->setAttribute ("yoff", *view.yOffset);

    // As a double, the form the pane has always written its float factors in: a float read back
    // from it is the same float, so a restored view is written again byte for byte.
    if (view.xZoom)
        element->setAttribute ("xzoom", (double) *view.xZoom);

    if (view.yZoom)
        element->setAttribute ("yzoom", (double) *view.yZoom);

    return element;
}

} // namespace brisquell::state
