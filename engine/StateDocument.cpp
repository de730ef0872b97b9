// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/StateDocument.h"
#include "engine/Brisquell.h"
#include "engine/SessionElement.h"

#include <cmath>
#include <cstdio>
#include <unordered_map>

namespace brisquell
{

//==============================================================================
namespace state
{
juce::String formatDecimal (double value)
{
    char text[64];
    std::snprintf (text, sizeof (text), "%.9g", value);
    return text;
}

int parseInteger (const juce::String& text)
{
    auto p = text.getCharPointer();

    while (p.isWhitespace())
        ++p;

    bool negative = false;

    if (*p == '-' || *p == '+')
    {
        negative = *p == '-';
        ++p;
    }

    juce::int64 magnitude = 0;

    // Saturate rather than overflow: hostile documents may carry any number of digits. Only
    // ASCII digits count; other scripts' digits end the number as any other letter does.
    while (*p >= '0' && *p <= '9')
    {
        magnitude = juce::jmin ((juce::int64) std::numeric_limits<int>::max() + 1, magnitude * 10 + (*p - '0'));
        ++p;
    }

    const auto result = negative ? -magnitude : magnitude;
    return (int) juce::jlimit ((juce::int64) std::numeric_limits<int>::min(),
                               (juce::int64) std::numeric_limits<int>::max(),
                               result);
}

namespace
{
/** The text with every exponent's significant digits limited to six. The framework's reader
    adds up an exponent's digits in an int, which a hostile document's exponent of ten or more
    digits would overflow; any exponent beyond six digits is far outside a double's range, so
    999999 reads the same (infinity or zero, as its sign says).
*/
juce::String limitExponentDigits (const juce::String& text)
{
    if (! text.containsAnyOf ("eE"))
        return text;

    constexpr int maxExponentDigits = 6;
    juce::String limited;
    limited.preallocateBytes (text.getNumBytesAsUTF8());

    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();
        limited << juce::String::charToString (c);

        if (c != 'e' && c != 'E')
            continue;

        if (*p == '+' || *p == '-')
            limited << juce::String::charToString (p.getAndAdvance());

        while (*p == '0')
            limited << juce::String::charToString (p.getAndAdvance());

        int numDigits = 0;

        for (; *p >= '0' && *p <= '9'; ++p, ++numDigits)
            if (numDigits < maxExponentDigits)
                limited << juce::String::charToString (*p);

        if (numDigits > maxExponentDigits)
            limited = limited.dropLastCharacters (maxExponentDigits) + "999999";
    }

    return limited;
}
} // namespace

double parseDecimal (const juce::String& text)
{
    const auto limited = limitExponentDigits (text);
    auto p = limited.getCharPointer();
    const auto value = juce::CharacterFunctions::readDoubleValue (p);

    // "nan", "inf" and out-of-range exponents are no usable number: they read as 0 like any
    // other unreadable text, so no reader ever computes with them.
    return std::isfinite (value) ? value : 0.0;
}

int parseDecimalAsInteger (const juce::String& text)
{
    const auto value = std::trunc (parseDecimal (text));

    if (value >= (double) std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();

    if (value <= (double) std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();

    return (int) value;
}

juce::String getAttribute (const juce::XmlElement& element, juce::StringRef name)
{
    for (int i = 0; i < element.getNumAttributes(); ++i)
        if (element.getAttributeName (i).equalsIgnoreCase (name))
            return element.getAttributeValue (i);

    return {};
}

bool hasAttribute (const juce::XmlElement& element, juce::StringRef name)
{
    for (int i = 0; i < element.getNumAttributes(); ++i)
        if (element.getAttributeName (i).equalsIgnoreCase (name))
            return true;

    return false;
}

int getIntAttribute (const juce::XmlElement& element, juce::StringRef name)
{
    return parseInteger (getAttribute (element, name));
}

int getDecimalAsIntAttribute (const juce::XmlElement& element, juce::StringRef name)
{
    return parseDecimalAsInteger (getAttribute (element, name));
}

double getDoubleAttribute (const juce::XmlElement& element, juce::StringRef name)
{
    return parseDecimal (getAttribute (element, name));
}

juce::XmlElement* getChild (const juce::XmlElement& element, juce::StringRef name)
{
    for (auto* child : element.getChildIterator())
        if (child->getTagName().equalsIgnoreCase (name))
            return child;

    return nullptr;
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
} // namespace state

//==============================================================================
namespace
{
// The names of the kinds as the document writes them; reading ignores letter case.
constexpr const char* controlChangeName = "cc";
constexpr const char* controlChangePairName = "cc14";
constexpr const char* pitchBendName = "pitchbend";
constexpr const char* noteName = "note";
constexpr const char* programChangeName = "program";
constexpr const char* smoothName = "smooth";
constexpr const char* linearName = "linear";

const char* nameOf (CursorSource::Kind kind) noexcept
{
    switch (kind)
    {
        case CursorSource::Kind::controlChange:
            return controlChangeName;
        case CursorSource::Kind::controlChangePair:
            return controlChangePairName;
        case CursorSource::Kind::pitchBend:
            return pitchBendName;
        case CursorSource::Kind::none:
            break;
    }

    return "";
}

/** The axis's source from the "cursorcontrol" element ("xsource", "xchannel", "xnumber" for
    x), or none when it names no valid source.
*/
CursorSource readCursorSource (const juce::XmlElement& element, const juce::String& prefix)
{
    const auto kindText = state::getAttribute (element, prefix + "source");
    CursorSource source;

    if (kindText.equalsIgnoreCase (controlChangeName))
        source.kind = CursorSource::Kind::controlChange;
    else if (kindText.equalsIgnoreCase (controlChangePairName))
        source.kind = CursorSource::Kind::controlChangePair;
    else if (kindText.equalsIgnoreCase (pitchBendName))
        source.kind = CursorSource::Kind::pitchBend;
    else
        return {};

    source.channel = state::getIntAttribute (element, prefix + "channel");
    source.number = source.kind == CursorSource::Kind::pitchBend ? 0 : state::getIntAttribute (element, prefix + "number");
    return source.isValid() ? source : CursorSource();
}

void writeCursorSource (juce::XmlElement& element, const juce::String& prefix, const CursorSource& source)
{
    if (source.kind == CursorSource::Kind::none)
        return;

    element.setAttribute (prefix + "source", nameOf (source.kind));
    element.setAttribute (prefix + "channel", source.channel);

    if (source.kind != CursorSource::Kind::pitchBend)
        element.setAttribute (prefix + "number", source.number);
}

/** A scene's trigger from its "trigger", "triggerchannel" and "triggernumber", or none. */
SceneTrigger readSceneTrigger (const juce::XmlElement& element)
{
    const auto kindText = state::getAttribute (element, "trigger");
    SceneTrigger trigger;

    if (kindText.equalsIgnoreCase (noteName))
        trigger.kind = SceneTrigger::Kind::note;
    else if (kindText.equalsIgnoreCase (programChangeName))
        trigger.kind = SceneTrigger::Kind::programChange;
    else
        return {};

    trigger.channel = state::getIntAttribute (element, "triggerchannel");
    trigger.number = state::getIntAttribute (element, "triggernumber");
    return trigger.isValid() ? trigger : SceneTrigger();
}

/** What the "cursorcontrol" element carries. */
struct CursorControlSnapshot
{
    std::array<CursorSource, 2> sources;
    double glideTime = 0.0;
    GlideShape glideShape = GlideShape::linear;

    /** False when it holds nothing but the defaults: the element is then not written, and a
        document of a project that plays nothing from a controller stays as it always was.
    */
    bool isInUse() const noexcept
    {
        return glideTime > 0.0 || glideShape != GlideShape::linear
               || sources[0].kind != CursorSource::Kind::none || sources[1].kind != CursorSource::Kind::none;
    }
};

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

/** The mix's sharpness from the "scenes" element's "sharpness": 1 when it is missing or is not
    one the model offers.
*/
int readSharpness (const juce::XmlElement& scenesElement)
{
    const auto p = state::getIntAttribute (scenesElement, "sharpness");
    return Brisquell::isValidSharpness (p) ? p : 1;
}

// What the document needs of one scene.
struct SceneSnapshot
{
    juce::Point<float> position;
    juce::String name;
    std::optional<juce::Colour> colour;
    SceneTrigger trigger;
};

// What the document needs of one controller, copied under the model's lock so that the
// elements, with their many small allocations, are built without holding it.
struct ControllerSnapshot
{
    int ccNumber = 0, channel = 1;
    ControllerKind kind = ControllerKind::sevenBit;
    juce::String name;
    std::vector<std::pair<int, int>> values; // (value, scene index)
};
} // namespace

std::unique_ptr<juce::XmlElement> Brisquell::createStateXml (const juce::String& tagName) const
{
    std::vector<ControllerSnapshot> controllerData;
    std::vector<SceneSnapshot> sceneData;
    CursorControlSnapshot cursorControl;
    juce::Point<int> size;
    std::optional<PaneView> paneState;
    state::Session session;
    int mixSharpness = 1;

    {
        const juce::ScopedLock sl (lock);

        // Scene numbers are positions in the scene list; look them up once, not per value.
        std::unordered_map<const Scene*, int> sceneIndex;
        sceneIndex.reserve (scenes.size());
        sceneData.reserve (scenes.size());

        for (size_t i = 0; i < scenes.size(); ++i)
        {
            sceneIndex.emplace (scenes[i].get(), (int) i);
            sceneData.push_back ({ scenes[i]->getPosition(), scenes[i]->name, scenes[i]->colour, scenes[i]->trigger });
        }

        cursorControl = { cursorSources, glideTime, glideShape };

        controllerData.reserve (controllers.size());

        for (auto& controller : controllers)
        {
            ControllerSnapshot snapshot{ controller->ccNumber, controller->channel, controller->kind, controller->name, {} };
            snapshot.values.reserve (controller->values.size());

            for (auto* v : controller->values)
            {
                const auto found = sceneIndex.find (&v->getScene());
                snapshot.values.emplace_back (v->getValue(), found != sceneIndex.end() ? found->second : -1);
            }

            controllerData.push_back (std::move (snapshot));
        }

        size = editorSize;
        paneState = morphPaneState;
        session = captureSessionLocked();
        mixSharpness = sharpness;
    }

    // The framework appends a child by walking the whole list of children, so each list is
    // built back to front with prepends, which take constant time. The names are looked up in
    // the framework's string pool once, not once per element.
    static const juce::Identifier valueTag ("value"), sceneTag ("scene"), controllerTag ("controller"),
        valueAttribute ("value"), sceneAttribute ("scene"), idAttribute ("id"),
        colourAttribute ("colour"), xAttribute ("x"), yAttribute ("y"), nameAttribute ("name"),
        triggerAttribute ("trigger"), triggerChannelAttribute ("triggerchannel"), triggerNumberAttribute ("triggernumber");

    auto root = std::make_unique<juce::XmlElement> (tagName);

    if (cursorControl.isInUse())
    {
        auto* element = new juce::XmlElement ("cursorcontrol");
        element->setAttribute ("glide", state::formatDecimal (cursorControl.glideTime));
        element->setAttribute ("shape", cursorControl.glideShape == GlideShape::smooth ? smoothName : linearName);
        writeCursorSource (*element, "x", cursorControl.sources[0]);
        writeCursorSource (*element, "y", cursorControl.sources[1]);
        root->prependChildElement (element);
    }

    if (paneState)
        root->prependChildElement (state::createPaneViewElement (*paneState).release());

    auto* guiElement = new juce::XmlElement ("gui");
    guiElement->setAttribute ("width", size.x);
    guiElement->setAttribute ("height", size.y);
    root->prependChildElement (guiElement);

    auto* scenesElement = new juce::XmlElement ("scenes");
    root->prependChildElement (scenesElement);

    // Only a sharper mix is written: documents of the original blend stay as they always were.
    if (mixSharpness != 1)
        scenesElement->setAttribute ("sharpness", mixSharpness);

    for (auto i = sceneData.size(); i > 0; --i)
    {
        const auto& scene = sceneData[i - 1];
        auto* element = new juce::XmlElement (sceneTag);
        element->setAttribute (idAttribute, (int) i - 1);
        element->setAttribute (colourAttribute, writeSceneColour (scene.colour));
        element->setAttribute (xAttribute, state::formatDecimal (scene.position.x));
        element->setAttribute (yAttribute, state::formatDecimal (scene.position.y));

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

    auto* controllersElement = new juce::XmlElement ("controllers");
    root->prependChildElement (controllersElement);

    for (auto c = controllerData.rbegin(); c != controllerData.rend(); ++c)
    {
        auto* element = new juce::XmlElement (controllerTag);
        controllersElement->prependChildElement (element);

        for (auto v = c->values.rbegin(); v != c->values.rend(); ++v)
        {
            auto* valueElement = new juce::XmlElement (valueTag);
            valueElement->setAttribute (valueAttribute, v->first);
            valueElement->setAttribute (sceneAttribute, v->second);
            element->prependChildElement (valueElement);
        }

        element->setAttribute ("ccno", c->ccNumber);
        element->setAttribute ("channel", c->channel);
        element->setAttribute ("name", c->name);

        // Only the 14-bit kinds are written: documents of 7-bit controllers stay as they were.
        if (c->kind != ControllerKind::sevenBit)
            element->setAttribute ("kind", getDocumentName (c->kind));
    }

    if (auto sessionElement = state::createSessionElement (session))
        root->addChildElement (sessionElement.release());

    return root;
}

void Brisquell::restoreStateXml (std::unique_ptr<juce::XmlElement> document)
{
    if (document == nullptr)
        return;

    // Only elements count as scenes, controllers and values: text between them does not.
    auto forEachChildElement = [] (const juce::XmlElement& parent, auto&& function)
    {
        for (auto* child : parent.getChildIterator())
            if (! child->isTextElement())
                function (*child);
    };

    // The new lists are built without the lock, then swapped in at once.
    std::vector<std::unique_ptr<Scene>> newScenes;
    std::vector<std::unique_ptr<Controller>> newControllers;
    int newSharpness = 1;

    if (auto* scenesElement = state::getChild (*document, "scenes"))
    {
        newSharpness = readSharpness (*scenesElement);

        forEachChildElement (*scenesElement, [&] (const juce::XmlElement& element)
                             {
            auto scene = std::make_unique<Scene> (*this);
            // Positions are written as decimals: read back their whole part, exponent forms too.
            const auto y = state::getDecimalAsIntAttribute (element, "y");
            const auto x = state::getDecimalAsIntAttribute (element, "x");
            scene->storePosition ((float) x, (float) y);
            scene->trigger = readSceneTrigger (element);
            scene->name = toStorableName (state::getAttribute (element, "name"));
            scene->colour = readSceneColour (state::getAttribute (element, "colour"));
            scene->listed = true;
            newScenes.push_back (std::move (scene)); });
    }

    if (auto* controllersElement = state::getChild (*document, "controllers"))
    {
        // Duplicate values for one controller and scene are kept, as they were written; each
        // remembers the first, from which the interpolation takes the scene's value.
        std::vector<SceneValue*> firstInScene (newScenes.size(), nullptr);
        std::vector<size_t> touched;

        forEachChildElement (*controllersElement, [&] (const juce::XmlElement& element)
                             {
            auto controller = std::make_unique<Controller> (*this);
            // A kind this reader does not know reads as 7-bit, as a reader before the kinds did. A
            // 14-bit kind keeps its number and values in its ranges; a 7-bit controller keeps
            // what the document says, as it always has.
            const auto kind = kindFromDocumentName (state::getAttribute (element, "kind"));
            const auto ccNumber = state::getIntAttribute (element, "ccno");
            controller->kind = kind;
            controller->ccNumber = kind == ControllerKind::sevenBit ? ccNumber : limitNumber (kind, ccNumber);
            controller->channel = state::getIntAttribute (element, "channel");
            controller->name = toStorableName (state::getAttribute (element, "name"));

            forEachChildElement (element, [&] (const juce::XmlElement& valueElement)
            {
                auto value = state::getIntAttribute (valueElement, "value");

                if (kind != ControllerKind::sevenBit)
                    value = juce::jlimit (0, getMaximumValue (kind), value);

                const auto index = state::getIntAttribute (valueElement, "scene");

                if (! juce::isPositiveAndBelow (index, newScenes.size()))
                    return;

                auto* created = new SceneValue (value, *newScenes[(size_t) index], *controller);
                auto& first = firstInScene[(size_t) index];

                if (first != nullptr)
                {
                    created->first = first;
                }
                else
                {
                    first = created;
                    touched.push_back ((size_t) index);
                }
            });

            for (auto index : touched)
                firstInScene[index] = nullptr;

            touched.clear();

            newControllers.push_back (std::move (controller)); });
    }

    // Of the pane's view only what the pane reads is kept: nothing else of the element can
    // reach a later save.
    std::optional<PaneView> newPaneState;

    if (auto* paneElement = state::getChild (*document, "morphpanestate"))
        newPaneState = state::readPaneView (*paneElement);

    const auto* gui = state::getChild (*document, "gui");
    const auto session = state::readSessionElement (*document, (int) newScenes.size());

    // Without the element (every document written before it existed) nothing plays from a
    // controller: no sources and the glide off.
    CursorControlSnapshot newCursorControl;

    if (const auto* element = state::getChild (*document, "cursorcontrol"))
    {
        newCursorControl.glideTime = toGlideTime (state::getDoubleAttribute (*element, "glide"));
        newCursorControl.glideShape = state::getAttribute (*element, "shape").equalsIgnoreCase (smoothName) ? GlideShape::smooth
                                                                                                            : GlideShape::linear;
        newCursorControl.sources = { readCursorSource (*element, "x"), readCursorSource (*element, "y") };
    }

    {
        const juce::ScopedLock sl (lock);

        // Pending before the old records are retired (see retire()).
        notifyChange (&controllerListSubject);
        notifyChange (&sceneListSubject);

        selectedScenes.clear();
        std::swap (scenes, newScenes);
        std::swap (controllers, newControllers);

        for (auto& s : newScenes)
        {
            s->retired = true;
            s->listed = false;
        }

        // Every value of the old controllers lies in one of the old scenes, which destroy them.
        // The controllers let go of them now, so that destroying a value does not search its
        // controller's list for it: a restore over a big project stays linear.
        for (auto& c : newControllers)
        {
            c->retired = true;
            c->values.clear();
        }

        morphPaneState = newPaneState;
        sharpness = newSharpness;

        if (gui != nullptr)
            editorSize = { state::getIntAttribute (*gui, "width"), state::getIntAttribute (*gui, "height") };

        controllerAddressChanged();
        invalidateWeights();

        // The cursor comes to rest; what waited to be learned is not waited for.
        // (The triggers came with the scenes, whose list is announced anyway.)
        if (cursorSources != newCursorControl.sources || glideTime != newCursorControl.glideTime
            || glideShape != newCursorControl.glideShape || learnRequest.load() != 0)
            notifyChange (&midiControlSubject);

        cursorSources = newCursorControl.sources;
        glideTime = newCursorControl.glideTime;
        glideShape = newCursorControl.glideShape;
        glide.isRunning = false;
        learnRequest.store (0);
        triggerLookupStale = true;

        // The scenes' positioning counts as a move, as if each had been placed one by one.
        if (! scenes.empty() && ! audit)
            scenesMoved = true;

        if (session.has_value())
            applySessionLocked (*session);
        else
            selectionRestored = false;

        // The restored cursor (or the kept one) is also the target: nothing glides after a restore.
        storeCursorTarget (cursor.getPosition());

        if (hasPump.load())
        {
            for (auto& s : newScenes)
                retiredScenes.push_back (std::move (s));

            for (auto& c : newControllers)
                retiredControllers.push_back (std::move (c));

            newScenes.clear();
            newControllers.clear();
        }
    }

    // Without a message thread no view can hold the old records: they go now, scenes first so
    // that their values unlink from controllers that still exist.
    newScenes.clear();
    newControllers.clear();

    if (juce::MessageManager::existsAndIsCurrentThread())
        deliverPendingNotifications();
}

} // namespace brisquell
