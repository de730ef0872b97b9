// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Brisquell.h"
#include "engine/document/DocumentElements.h"

namespace brisquell::state
{

namespace
{
// The names of the triggers' kinds as the document writes them; reading ignores letter case.
constexpr const char* noteName = "note";
constexpr const char* programChangeName = "program";

// Every scene of every document written before scenes had colours carries this text; it means
// that no colour was chosen.
const juce::String noColourText ("ff000000");

/** The "colour" attribute's text as a chosen colour: eight hexadecimal digits (ARGB) that are
    not "ff000000". Anything else, missing or unreadable, means none.
*/
std::optional<juce::Colour> readSceneColour (const juce::String& text)
{
    if (text.length() != 8 || ! text.containsOnly ("0123456789abcdefABCDEF"))
        return std::nullopt;

    const auto argb = (juce::uint32) text.getHexValue64();
    return argb != 0xff000000 ? std::optional<juce::Colour> (juce::Colour (argb)) : std::nullopt;
}

/** The "colour" attribute's text for a scene: the colour as eight lower-case hexadecimal digits
    (ARGB), or "ff000000" for none, as every scene has always been written.
*/
juce::String writeSceneColour (const std::optional<juce::Colour>& colour)
{
    // Padded: the framework's own text for a colour drops leading zeros, which the reader
    // would not take back for a colour with little alpha.
    return colour ? juce::String::toHexString ((int) colour->getARGB()).paddedLeft ('0', 8) : noColourText;
}

/** A scene's trigger from its "trigger", "triggerchannel" and "triggernumber", or none. */
SceneTrigger readSceneTrigger (const juce::XmlElement& element)
{
    const auto kindText = getAttribute (element, "trigger");
    SceneTrigger trigger;

    if (kindText.equalsIgnoreCase (noteName))
        trigger.kind = SceneTrigger::Kind::note;
    else if (kindText.equalsIgnoreCase (programChangeName))
        trigger.kind = SceneTrigger::Kind::programChange;
    else
        return {};

    trigger.channel = getIntAttribute (element, "triggerchannel");
    trigger.number = getIntAttribute (element, "triggernumber");
    return trigger.isValid() ? trigger : SceneTrigger();
}

SceneContent readScene (const juce::XmlElement& element)
{
    SceneContent scene;
    // Positions are written as decimals: read back their whole part, exponent forms too.
    scene.position = { (float) getDecimalAsIntAttribute (element, "x"), (float) getDecimalAsIntAttribute (element, "y") };
    scene.trigger = readSceneTrigger (element);
    scene.name = toStorableName (getAttribute (element, "name"));
    scene.colour = readSceneColour (getAttribute (element, "colour"));
    return scene;
}
} // namespace

std::vector<SceneContent> readScenes (const juce::XmlElement& element)
{
    std::vector<SceneContent> scenes;
    scenes.reserve ((size_t) element.getNumChildElements());
    forEachChildElement (element, [&] (const juce::XmlElement& child)
                         { scenes.push_back (readScene (child)); });
    return scenes;
}

int readSharpness (const juce::XmlElement& element)
{
    const auto p = getIntAttribute (element, "sharpness");
    return Brisquell::isValidSharpness (p) ? p : 1;
}

std::unique_ptr<juce::XmlElement> createScenesElement (const std::vector<SceneContent>& scenes, int sharpness)
{
    // Built back to front with prepends, as the controllers are (see createControllersElement).
    static const juce::Identifier sceneTag ("scene"), idAttribute ("id"), colourAttribute ("colour"),
        xAttribute ("x"), yAttribute ("y"), nameAttribute ("name"), triggerAttribute ("trigger"),
        triggerChannelAttribute ("triggerchannel"), triggerNumberAttribute ("triggernumber");

    auto scenesElement = std::make_unique<juce::XmlElement> ("scenes");

    // Only a sharper mix is written: documents of the original blend stay as they always were.
    if (sharpness != 1)
        scenesElement->setAttribute ("sharpness", sharpness);

    for (auto i = scenes.size(); i > 0; --i)
    {
        const auto& scene = scenes[i - 1];
        auto* element = new juce::XmlElement (sceneTag);
        element->setAttribute (idAttribute, (int) i - 1);
        element->setAttribute (colourAttribute, writeSceneColour (scene.colour));
        element->setAttribute (xAttribute, formatDecimal (scene.position.x));
        element->setAttribute (yAttribute, formatDecimal (scene.position.y));

        if (scene.name.isNotEmpty())
            element->setAttribute (nameAttribute, scene.name);

        if (const auto& trigger = scene.trigger; trigger.isValid())
        {
            element->setAttribute (triggerAttribute, trigger.kind == SceneTrigger::Kind::note ? noteName : programChangeName);
            element->setAttribute (triggerChannelAttribute, trigger.channel);
            element->setAttribute (triggerNumberAttribute, trigger.number);
        }

        scenesElement->prependChildElement (element);
    }

    return scenesElement;
}

} // namespace brisquell::state
