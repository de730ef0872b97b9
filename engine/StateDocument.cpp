#include "engine/Brisquell.h"
#include "engine/StateDocument.h"

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

    // Saturate rather than overflow: hostile documents may carry any number of digits.
    while (p.isDigit())
    {
        magnitude = juce::jmin ((juce::int64) std::numeric_limits<int>::max() + 1, magnitude * 10 + (*p - '0'));
        ++p;
    }

    const auto result = negative ? -magnitude : magnitude;
    return (int) juce::jlimit ((juce::int64) std::numeric_limits<int>::min(),
                               (juce::int64) std::numeric_limits<int>::max(), result);
}

double parseDecimal (const juce::String& text)
{
    auto p = text.getCharPointer();
    const auto value = juce::CharacterFunctions::readDoubleValue (p);
    return value;
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
} // namespace state

//==============================================================================
std::unique_ptr<juce::XmlElement> Brisquell::createStateXml (const juce::String& tagName) const
{
    auto root = std::make_unique<juce::XmlElement> (tagName);
    auto* controllersElement = new juce::XmlElement ("controllers");
    auto* scenesElement = new juce::XmlElement ("scenes");
    auto* guiElement = new juce::XmlElement ("gui");

    const juce::ScopedLock sl (lock);

    // Scene numbers are positions in the scene list; look them up once, not per value.
    std::unordered_map<const Scene*, int> sceneIndex;
    sceneIndex.reserve (scenes.size());

    for (size_t i = 0; i < scenes.size(); ++i)
        sceneIndex.emplace (scenes[i].get(), (int) i);

    for (auto& controller : controllers)
    {
        auto* element = new juce::XmlElement ("controller");

        for (auto* v : controller->values)
        {
            auto* valueElement = element->createNewChildElement ("value");
            const auto found = sceneIndex.find (&v->getScene());
            valueElement->setAttribute ("value", v->getValue());
            valueElement->setAttribute ("scene", found != sceneIndex.end() ? found->second : -1);
        }

        element->setAttribute ("ccno", controller->ccNumber);
        element->setAttribute ("channel", controller->channel);
        element->setAttribute ("name", controller->name);
        controllersElement->addChildElement (element);
    }

    for (size_t i = 0; i < scenes.size(); ++i)
    {
        auto* element = scenesElement->createNewChildElement ("scene");
        const auto position = scenes[i]->getPosition();
        element->setAttribute ("id", (int) i);
        element->setAttribute ("colour", "ff000000");
        element->setAttribute ("x", state::formatDecimal (position.x));
        element->setAttribute ("y", state::formatDecimal (position.y));
    }

    guiElement->setAttribute ("width", editorSize.x);
    guiElement->setAttribute ("height", editorSize.y);

    root->addChildElement (controllersElement);
    root->addChildElement (scenesElement);
    root->addChildElement (guiElement);

    if (morphPaneState != nullptr)
        root->addChildElement (new juce::XmlElement (*morphPaneState));

    return root;
}

void Brisquell::restoreStateXml (std::unique_ptr<juce::XmlElement> document)
{
    if (document == nullptr)
        return;

    // The new lists are built without the lock, then swapped in at once.
    std::vector<std::unique_ptr<Scene>> newScenes;
    std::vector<std::unique_ptr<Controller>> newControllers;

    if (auto* scenesElement = state::getChild (*document, "scenes"))
    {
        for (auto* element : scenesElement->getChildIterator())
        {
            auto scene = std::make_unique<Scene> (*this);
            const auto y = state::getIntAttribute (*element, "y");
            const auto x = state::getIntAttribute (*element, "x");
            scene->storePosition ((float) x, (float) y);
            newScenes.push_back (std::move (scene));
        }
    }

    if (auto* controllersElement = state::getChild (*document, "controllers"))
    {
        for (auto* element : controllersElement->getChildIterator())
        {
            auto controller = std::make_unique<Controller> (*this);
            controller->ccNumber = state::getIntAttribute (*element, "ccno");
            controller->channel = state::getIntAttribute (*element, "channel");
            controller->name = state::getAttribute (*element, "name");

            for (auto* valueElement : element->getChildIterator())
            {
                const auto value = state::getIntAttribute (*valueElement, "value");
                const auto index = state::getIntAttribute (*valueElement, "scene");

                if (juce::isPositiveAndBelow (index, newScenes.size()))
                    new SceneValue (value, *newScenes[(size_t) index], *controller);
            }

            newControllers.push_back (std::move (controller));
        }
    }

    std::unique_ptr<juce::XmlElement> newPaneState;

    if (auto* paneElement = state::getChild (*document, "morphpanestate"))
        newPaneState = std::make_unique<juce::XmlElement> (*paneElement);

    std::unique_ptr<juce::XmlElement> oldPaneState;
    const auto* gui = state::getChild (*document, "gui");

    {
        const juce::ScopedLock sl (lock);

        selectedScenes.clear();
        std::swap (scenes, newScenes);
        std::swap (controllers, newControllers);

        for (auto& s : newScenes)
            s->retired = true;

        for (auto& c : newControllers)
            c->retired = true;

        oldPaneState = std::move (morphPaneState);
        morphPaneState = std::move (newPaneState);

        if (gui != nullptr)
            editorSize = { state::getIntAttribute (*gui, "width"), state::getIntAttribute (*gui, "height") };

        lookupStale = true;
        distanceSumStale = true;
        invalidateWeights();

        // The scenes' positioning counts as a move, as if each had been placed one by one.
        if (! scenes.empty() && ! audit)
            scenesMoved = true;

        if (numListeners.load() > 0)
        {
            for (auto& s : newScenes)
                retiredScenes.push_back (std::move (s));

            for (auto& c : newControllers)
                retiredControllers.push_back (std::move (c));

            newScenes.clear();
            newControllers.clear();
        }
    }

    // Without listeners no view holds the old records: they go now, scenes first so that their
    // values unlink from controllers that still exist.
    newScenes.clear();
    newControllers.clear();

    notifyChange (&controllerListSubject);
    notifyChange (&sceneListSubject);

    if (juce::MessageManager::existsAndIsCurrentThread())
        deliverPendingNotifications();
}

} // namespace brisquell
