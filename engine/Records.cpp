// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Records.h"
#include "engine/Brisquell.h"
#include "engine/Rounding.h"

#include <algorithm>
#include <cmath>

namespace brisquell
{

namespace
{
// Each record is listed once, and lists are emptied from the back: searching from the back makes
// that O(1) per record instead of O(n).
template <typename T>
void removeByIdentity (std::vector<T*>& list, const T* item)
{
    auto it = std::find (list.rbegin(), list.rend(), item);

    if (it != list.rend())
        list.erase (std::next (it).base());
}
} // namespace

//==============================================================================
void addControlChange (juce::MidiBuffer& buffer, int channel, int ccNumber, int value, int sampleOffset)
{
    MidiTickWriter (buffer, sampleOffset).addControlChange (channel, ccNumber, value);
}

juce::String toStorableName (const juce::String& name)
{
    const auto isStorable = [] (juce::juce_wchar c)
    {
        return c <= 0x10ffff && ! (c >= 0xd800 && c <= 0xdfff);
    };

    auto p = name.getCharPointer();
    int length = 0;
    bool isClean = true;

    for (auto q = p; ! q.isEmpty() && length <= maxStorableNameLength; ++length)
        isClean = isStorable (q.getAndAdvance()) && isClean;

    if (isClean && length <= maxStorableNameLength)
        return name;

    std::vector<juce::juce_wchar> kept;
    kept.reserve ((size_t) juce::jmin (length, maxStorableNameLength) + 1);

    for (int i = 0; i < maxStorableNameLength && ! p.isEmpty(); ++i)
    {
        const auto c = p.getAndAdvance();
        kept.push_back (isStorable (c) ? c : (juce::juce_wchar) 0xfffd);
    }

    kept.push_back (0);
    return juce::String (juce::CharPointer_UTF32 (kept.data()));
}

//==============================================================================
void Module::setPosition (float newX, float newY)
{
    if (! (std::isfinite (newX) && std::isfinite (newY)))
        return;

    storePosition (newX, newY);
    positionChanged();
}

//==============================================================================
SceneValue::SceneValue (int initialValue, Scene& s, Controller& c)
    : value (initialValue), scene (s), controller (c)
{
    controller.values.push_back (this);
    scene.values.push_back (this);
}

SceneValue::~SceneValue()
{
    removeByIdentity (scene.values, this);
    removeByIdentity (controller.values, this);
}

void SceneValue::setValue (int newValue)
{
    const juce::ScopedLock sl (controller.getModel().getLock());
    value.store (newValue, std::memory_order_relaxed);
    controller.valueStale = true;
}

void SceneValue::send (MidiTickWriter& writer)
{
    if (controller.takeSendRequest())
        writeControllerValue (writer, controller.kind, controller.channel, controller.ccNumber, getValue());
}

//==============================================================================
Scene::Scene (Brisquell& owner) : model (owner), serial (owner.issueSceneSerial()) {}

Scene::~Scene()
{
    masterReference.clear();

    while (! values.empty())
        delete values.back();
}

void Scene::restore (juce::Point<float> position, SceneTrigger restoredTrigger, const juce::String& restoredName, std::optional<juce::Colour> restoredColour)
{
    storePosition (position.x, position.y);
    trigger = restoredTrigger;
    name = restoredName;
    colour = restoredColour;
    listed = true;
}

void Scene::copyLookFrom (const Scene& source)
{
    name = source.name;
    colour = source.colour;
}

void Scene::destroyValues()
{
    while (! values.empty())
    {
        auto& controller = values.back()->getController();
        delete values.back();
        controller.valueStale = true;
    }
}

void Scene::positionChanged()
{
    const juce::ScopedLock sl (model.getLock());

    if (retired)
        return;

    invalidate();
    model.sceneMoved();
}

juce::PopupMenu Scene::createMenu() const
{
    const auto isLearning = model.getLearnRequest() == LearnRequest::trigger (serial);

    juce::PopupMenu menu;
    menu.addItem (deleteItem, "delete");
    menu.addItem (learnTriggerItem, "learn trigger", true, isLearning);
    menu.addItem (forgetTriggerItem, "forget trigger");
    return menu;
}

void Scene::menuItemChosen (int itemId)
{
    if (model.indexOfScene (this) < 0)
        return;

    switch (itemId)
    {
        case deleteItem:
            model.deleteScene (this);
            break;

        case learnTriggerItem:
        {
            const auto request = LearnRequest::trigger (serial);
            model.requestLearn (model.getLearnRequest() == request ? LearnRequest() : request);
            break;
        }

        case forgetTriggerItem:
            model.setSceneTrigger (*this, {});
            break;

        default:
            break;
    }
}

SceneTrigger Scene::getTrigger() const
{
    const juce::ScopedLock sl (model.getLock());
    return trigger;
}

juce::String Scene::getName() const
{
    const juce::ScopedLock sl (model.getLock());
    return name;
}

void Scene::setName (const juce::String& newName)
{
    auto storable = toStorableName (newName);
    const juce::ScopedLock sl (model.getLock());
    name = std::move (storable);
    model.sceneLooksChanged();
}

std::optional<juce::Colour> Scene::getColour() const
{
    const juce::ScopedLock sl (model.getLock());
    return colour;
}

void Scene::setColour (std::optional<juce::Colour> newColour)
{
    if (newColour && *newColour == juce::Colour (0xff000000))
        newColour.reset();

    const juce::ScopedLock sl (model.getLock());
    colour = newColour;
    model.sceneLooksChanged();
}

juce::String Scene::getLabel() const
{
    const juce::ScopedLock sl (model.getLock());

    if (name.isNotEmpty())
        return name;

    const auto index = model.indexOfScene (this);
    return index >= 0 ? juce::String (index + 1) : juce::String();
}

int Scene::getValueFor (const Controller& controller) const
{
    const juce::ScopedLock sl (model.getLock());

    for (auto* v : values)
        if (&v->getController() == &controller)
            return v->getValue();

    return -1;
}

int Scene::getNumValues() const
{
    const juce::ScopedLock sl (model.getLock());
    return (int) values.size();
}

void Scene::invalidate()
{
    const juce::ScopedLock sl (model.getLock());
    distanceStale = rawWeightStale = weightStale = true;
    model.invalidateWeights();
}

float Scene::getDistance() const
{
    const juce::ScopedLock sl (model.getLock());
    model.updateWeightsLocked();
    return narrowToFloat (distance);
}

float Scene::getRawWeight() const
{
    const juce::ScopedLock sl (model.getLock());
    model.updateWeightsLocked();
    return narrowToFloat (rawWeight);
}

float Scene::getWeight() const
{
    const juce::ScopedLock sl (model.getLock());
    model.updateWeightsLocked();
    return (float) weight;
}

void Scene::sendValues (MidiTickWriter& writer)
{
    const juce::ScopedLock sl (model.getLock());

    for (auto i = values.size(); i > 0; --i)
        values[i - 1]->send (writer);
}

int Scene::getIndex() const
{
    return model.indexOfScene (this);
}

//==============================================================================
Cursor::Cursor (Brisquell& owner) : model (owner) {}

void Cursor::positionChanged()
{
    model.cursorPlaced();
}

void Cursor::moveAlongGlide (juce::Point<float> position)
{
    storePosition (position.x, position.y);
    model.cursorMoved();
}

//==============================================================================
Controller::Controller (Brisquell& owner) : model (owner) {}

Controller::~Controller()
{
    while (! values.empty())
        delete values.back();
}

void Controller::setUp (ControllerKind newKind, int number, int newChannel, const juce::String& newName)
{
    kind = newKind;
    ccNumber = number;
    channel = newChannel;
    name = newName;
}

void Controller::destroyValues()
{
    while (! values.empty())
        delete values.back();
}

int Controller::getCcNumber() const
{
    const juce::ScopedLock sl (model.getLock());
    return ccNumber;
}

void Controller::setCcNumber (int newCcNumber)
{
    const juce::ScopedLock sl (model.getLock());
    ccNumber = kind == ControllerKind::sevenBit ? newCcNumber : limitNumber (kind, newCcNumber);
    model.controllerAddressChanged();
}

int Controller::getChannel() const
{
    const juce::ScopedLock sl (model.getLock());
    return channel;
}

void Controller::setChannel (int newChannel)
{
    const juce::ScopedLock sl (model.getLock());
    channel = newChannel;
    model.controllerAddressChanged();
}

juce::String Controller::getName() const
{
    const juce::ScopedLock sl (model.getLock());
    return name;
}

void Controller::setName (const juce::String& newName)
{
    auto storable = toStorableName (newName);
    const juce::ScopedLock sl (model.getLock());
    name = std::move (storable);
}

ControllerKind Controller::getKind() const
{
    const juce::ScopedLock sl (model.getLock());
    return kind;
}

void Controller::setKind (ControllerKind newKind)
{
    {
        const juce::ScopedLock sl (model.getLock());

        if (newKind == kind || retired)
            return;

        for (auto* v : values)
            v->value.store (rescaleValue (v->getValue(), kind, newKind), std::memory_order_relaxed);

        // A number clamped for a narrower kind comes back with a kind that holds it, as long as
        // the number was not changed meanwhile.
        const auto wanted = numberBeforeClamp >= 0 && ccNumber == numberAfterClamp ? numberBeforeClamp : ccNumber;
        ccNumber = limitNumber (newKind, wanted);
        numberBeforeClamp = ccNumber != wanted ? wanted : -1;
        numberAfterClamp = ccNumber;
        kind = newKind;
        model.controllerAddressChanged();
        markChanged();
    }

    model.notifyChange (this);
}

int Controller::getMaximumValue() const
{
    const juce::ScopedLock sl (model.getLock());
    return brisquell::getMaximumValue (kind);
}

int Controller::getNumSceneValues() const
{
    const juce::ScopedLock sl (model.getLock());
    return (int) values.size();
}

SceneValue* Controller::getSceneValue (int index) const
{
    const juce::ScopedLock sl (model.getLock());
    return juce::isPositiveAndBelow (index, values.size()) ? values[(size_t) index] : nullptr;
}

SceneValue* Controller::findSceneValue (const Scene& scene) const
{
    const juce::ScopedLock sl (model.getLock());

    for (auto* v : values)
        if (&v->getScene() == &scene)
            return v;

    return nullptr;
}

void Controller::setValueInScene (int value, Scene& scene)
{
    const juce::ScopedLock sl (model.getLock());

    // A retired record keeps no new links: it is about to be destroyed. A scene outside the
    // model's list would hold a value that no interpolation and no document could account for.
    if (retired || ! scene.listed || &scene.model != &model)
        return;

    if (kind != ControllerKind::sevenBit)
        value = juce::jlimit (0, brisquell::getMaximumValue (kind), value);

    if (auto* existing = findSceneValue (scene))
    {
        existing->setValue (value);
        model.markValuesChanged();
    }
    else
    {
        new SceneValue (value, scene, *this);
    }

    markChanged();
}

void Controller::markChanged()
{
    const juce::ScopedLock sl (model.getLock());
    sendPending = true;
    valueStale = true;
    model.valueChangedLocked();
}

bool Controller::takeSendRequest()
{
    const juce::ScopedLock sl (model.getLock());
    const auto result = sendPending || model.sendsEveryControllerLocked();
    sendPending = false;
    return result;
}

int Controller::getValue() const
{
    const juce::ScopedLock sl (model.getLock());
    model.updateValuesLocked();
    return const_cast<Controller*> (this)->computeValue();
}

int Controller::computeValue() noexcept
{
    if (valueStale || cachedGeneration != model.getWeightsGenerationLocked())
    {
        float sum = 0.0f;

        // The weights are floats in [0, 1] and the values ints, so the float sum stays finite;
        // roundHalfEven saturates what lies beyond the int range.
        for (auto* v : values)
            sum += (float) v->getScene().weight * (float) v->first->getValue();

        cachedValue = roundHalfEven (sum);
        valueStale = false;
        cachedGeneration = model.getWeightsGenerationLocked();
    }

    return cachedValue;
}

void Controller::setValue (int value)
{
    {
        const juce::ScopedLock sl (model.getLock());

        if (retired)
            return;

        for (auto i = model.getSelectedScenesLocked().size(); i > 0; --i)
            setValueInScene (value, *model.getSelectedScenesLocked().getUnchecked (i - 1));

        model.notifyChange (this);

        if (model.getSelectedScenesLocked().isEmpty() && model.isAutoKey())
        {
            // The value that keys the scene is the scene's first: it is stored there, and only
            // it goes out (the new scene moves nothing else the musician did not touch).
            model.keySceneAtCursorQuietly();

            for (auto* scene : model.getSelectedScenesLocked())
                setValueInScene (value, *scene);
        }
    }
}

SelectionState Controller::getSelectionState() const
{
    const juce::ScopedLock sl (model.getLock());
    const auto& selection = model.getSelectedScenesLocked();

    if (selection.isEmpty())
        return SelectionState::NoValue;

    if (selection.size() == 1)
        return selection.getUnchecked (0)->getValueFor (*this) != -1 ? SelectionState::Agreeing
                                                                     : SelectionState::NoValue;

    int previous = -1;

    for (int i = 0; i < selection.size(); ++i)
    {
        const auto v = selection.getUnchecked (i)->getValueFor (*this);

        if (i > 0 && v != previous)
            return SelectionState::Differing;

        previous = v;
    }

    return previous != -1 ? SelectionState::Agreeing : SelectionState::NoValue;
}

void Controller::removeFromModel()
{
    model.removeController (this);
}

} // namespace brisquell
