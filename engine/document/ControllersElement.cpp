// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Records.h"
#include "engine/document/DocumentElements.h"

namespace brisquell::state
{

namespace
{
ControllerContent readController (const juce::XmlElement& element, int numScenes)
{
    ControllerContent controller;
    // A kind this reader does not know reads as 7-bit, as a reader before the kinds did. A
    // 14-bit kind keeps its number and values in its ranges; a 7-bit controller keeps what the
    // document says, as it always has.
    const auto kind = kindFromDocumentName (getAttribute (element, "kind"));
    const auto ccNumber = getIntAttribute (element, "ccno");
    controller.kind = kind;
    controller.ccNumber = kind == ControllerKind::sevenBit ? ccNumber : limitNumber (kind, ccNumber);
    controller.channel = getIntAttribute (element, "channel");
    controller.name = toStorableName (getAttribute (element, "name"));

    forEachChildElement (element, [&] (const juce::XmlElement& valueElement)
                         {
        auto value = getIntAttribute (valueElement, "value");

        if (kind != ControllerKind::sevenBit)
            value = juce::jlimit (0, getMaximumValue (kind), value);

        const auto scene = getIntAttribute (valueElement, "scene");

        if (juce::isPositiveAndBelow (scene, numScenes))
            controller.values.push_back ({ value, scene }); });

    return controller;
}
} // namespace

std::vector<ControllerContent> readControllers (const juce::XmlElement& element, int numScenes)
{
    std::vector<ControllerContent> controllers;
    controllers.reserve ((size_t) element.getNumChildElements());
    forEachChildElement (element, [&] (const juce::XmlElement& child)
                         { controllers.push_back (readController (child, numScenes)); });
    return controllers;
}

std::unique_ptr<juce::XmlElement> createControllersElement (const std::vector<ControllerContent>& controllers)
{
    // The framework appends a child by walking the whole list of children, so each list is
    // built back to front with prepends, which take constant time. The names are looked up in
    // the framework's string pool once, not once per element.
    static const juce::Identifier valueTag ("value"), controllerTag ("controller"), valueAttribute ("value"),
        sceneAttribute ("scene");

    auto controllersElement = std::make_unique<juce::XmlElement> ("controllers");

    for (auto c = controllers.rbegin(); c != controllers.rend(); ++c)
    {
        auto* element = new juce::XmlElement (controllerTag);
        controllersElement->prependChildElement (element);

        for (auto v = c->values.rbegin(); v != c->values.rend(); ++v)
        {
            auto* valueElement = new juce::XmlElement (valueTag);
            valueElement->setAttribute (valueAttribute, v->value);
            valueElement->setAttribute (sceneAttribute, v->scene);
            element->prependChildElement (valueElement);
        }

        element->setAttribute ("ccno", c->ccNumber);
        element->setAttribute ("channel", c->channel);
        element->setAttribute ("name", c->name);

        // Only the 14-bit kinds are written: documents of 7-bit controllers stay as they were.
        if (c->kind != ControllerKind::sevenBit)
            element->setAttribute ("kind", getDocumentName (c->kind));
    }

    return controllersElement;
}

} // namespace brisquell::state
