// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Brisquell.h"
#include "engine/Rounding.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brisquell
{

namespace
{
// How often the message thread delivers pending notifications.
constexpr int notificationIntervalMs = 17; // about the screen's 60 Hz

int lookupKey (ControllerKind kind, int channel, int number) noexcept
{
    return ((int) kind * 16 + channel - 1) * 128 + (number & 127);
}

// x^p for the sharpnesses above 1, multiplied out: exact where pow need not be, and quick.
double raisedToSharpness (double x, int p) noexcept
{
    const auto squared = x * x;
    return p == 2 ? squared : squared * squared;
}
} // namespace

//==============================================================================
Brisquell::Brisquell()
{
    lookupHeads.fill (-1);
    triggerHeads.fill (-1);

    if (juce::MessageManager::getInstanceWithoutCreating() != nullptr)
    {
        hasPump.store (true);
        startTimer (notificationIntervalMs);
    }
}

Brisquell::~Brisquell()
{
    masterReference.clear();
    stopTimer();

    const juce::ScopedLock sl (lock);
    selectedScenes.clear();

    // The scenes destroy every value (see restoreStateXml).
    for (auto& c : controllers)
        c->values.clear();

    while (! scenes.empty())
        scenes.pop_back();

    while (! controllers.empty())
        controllers.pop_back();

    retiredScenes.clear();
    retiredControllers.clear();
}

//==============================================================================
int Brisquell::getNumControllers() const
{
    const juce::ScopedLock sl (lock);
    return (int) controllers.size();
}

Controller* Brisquell::getController (int index) const
{
    const juce::ScopedLock sl (lock);
    return juce::isPositiveAndBelow (index, controllers.size()) ? controllers[(size_t) index].get() : nullptr;
}

int Brisquell::indexOfController (const Controller* controller) const
{
    const juce::ScopedLock sl (lock);

    for (size_t i = 0; i < controllers.size(); ++i)
        if (controllers[i].get() == controller)
            return (int) i;

    return -1;
}

int Brisquell::getNumScenes() const
{
    const juce::ScopedLock sl (lock);
    return (int) scenes.size();
}

Scene* Brisquell::getScene (int index) const
{
    const juce::ScopedLock sl (lock);
    return juce::isPositiveAndBelow (index, scenes.size()) ? scenes[(size_t) index].get() : nullptr;
}

int Brisquell::indexOfScene (const Scene* scene) const
{
    const juce::ScopedLock sl (lock);

    for (size_t i = 0; i < scenes.size(); ++i)
        if (scenes[i].get() == scene)
            return (int) i;

    return -1;
}

int Brisquell::getNumSelectedScenes() const
{
    const juce::ScopedLock sl (lock);
    return selectedScenes.size();
}

Scene* Brisquell::getSelectedScene (int index) const
{
    const juce::ScopedLock sl (lock);
    return selectedScenes[index];
}

juce::Array<Scene*> Brisquell::getSelectedScenes() const
{
    const juce::ScopedLock sl (lock);
    return selectedScenes;
}

//==============================================================================
Controller* Brisquell::addController (int ccNumber, int channel, ControllerKind kind)
{
    Controller* added = nullptr;

    {
        const juce::ScopedLock sl (lock);
        auto controller = std::make_unique<Controller> (*this);
        controller->kind = kind;
        controller->ccNumber = kind == ControllerKind::sevenBit ? ccNumber : limitNumber (kind, ccNumber);
        controller->channel = channel;
        controller->name = juce::String (ccNumber);
        added = controller.get();
        controllers.push_back (std::move (controller));
        lookupStale = true;
        interpolation.reserveFor (controllers.size(), scenes.size());
    }

    notifyChange (&controllerListSubject);
    return added;
}

Controller* Brisquell::addNextController()
{
    int ccNumber = 0, channel = 1;
    auto kind = ControllerKind::sevenBit;

    {
        const juce::ScopedLock sl (lock);

        if (! controllers.empty())
        {
            // A restored document may hold any number: step on in two's complement rather than
            // overflow, which keeps the low 7 bits (what goes out) counting on from 127 to 0.
            const auto& last = *controllers.back();
            ccNumber = (int) (juce::uint32) ((juce::uint32) last.ccNumber + 1u);
            channel = last.channel;
            kind = last.kind;

            if (kind != ControllerKind::sevenBit && ccNumber > getMaximumNumber (kind))
                ccNumber = 0;
        }

        return addController (ccNumber, channel, kind);
    }
}

void Brisquell::removeController (Controller* controller)
{
    const juce::ScopedLock sl (lock);

    auto it = std::find_if (controllers.begin(), controllers.end(), [controller] (const auto& c)
                            { return c.get() == controller; });

    // Marked pending before the record is retired, so that the round that destroys it has told
    // the views first (see retire()).
    notifyChange (&controllerListSubject);

    if (it != controllers.end())
    {
        auto removed = std::move (*it);
        controllers.erase (it);
        lookupStale = true;

        // Its values leave the scenes now; the record itself may still be shown.
        while (! removed->values.empty())
            delete removed->values.back();

        retire (std::move (removed));
    }
}

void Brisquell::addScene (std::unique_ptr<Scene> scene)
{
    // A scene made for another model would compute against the wrong cursor and lock.
    if (scene == nullptr || &scene->getModel() != this)
        return;

    const juce::ScopedLock sl (lock);
    auto* added = scene.get();
    added->listed = true;
    scenes.push_back (std::move (scene));
    invalidateWeights();
    distanceSumStale = true;
    triggerLookupStale = true;
    selectionRestored = false;
    notifyChange (&sceneListSubject);
    setSelectedScenesLocked ({ added });
}

void Brisquell::deleteScene (Scene* scene)
{
    const juce::ScopedLock sl (lock);

    auto it = std::find_if (scenes.begin(), scenes.end(), [scene] (const auto& s)
                            { return s.get() == scene; });

    // Pending before the scene is retired (see retire()).
    notifyChange (&sceneListSubject);
    selectionRestored = false;

    if (it != scenes.end())
    {
        auto removed = std::move (*it);
        scenes.erase (it);
        selectedScenes.removeAllInstancesOf (removed.get());
        triggerLookupStale = true;

        // The interpolation no longer counts the scene; no output tick is caused by that.
        distanceSumStale = true;
        invalidateWeights();

        while (! removed->values.empty())
        {
            auto& controller = removed->values.back()->getController();
            delete removed->values.back();
            controller.valueStale = true;
        }

        retire (std::move (removed));
    }
}

void Brisquell::keySceneAtCursor()
{
    auto scene = std::make_unique<Scene> (*this);
    // Scenes sit on whole pane units, as the document keeps them: one keyed at a cursor between
    // two units takes the nearest, so that it reopens where it was made.
    const auto position = cursor.getPosition();
    scene->setPosition (std::round (position.x), std::round (position.y));
    addScene (std::move (scene));
}

void Brisquell::keySceneAtCursorQuietly()
{
    const juce::ScopedLock sl (lock);
    const auto othersMoved = scenesMoved;
    keySceneAtCursor();
    scenesMoved = othersMoved;
}

//==============================================================================
Scene* Brisquell::duplicateScene (const Scene& source)
{
    const juce::ScopedLock sl (lock);

    if (indexOfScene (&source) < 0)
        return nullptr;

    auto copy = std::make_unique<Scene> (*this);
    copy->name = source.name;
    copy->colour = source.colour;

    // A scene at the edge of the float range stays where it is rather than leave it.
    const auto p = source.getPosition();
    const auto offset = [] (float coordinate)
    {
        const auto moved = coordinate + duplicateOffset;
        return std::isfinite (moved) ? moved : coordinate;
    };

    copy->setPosition (offset (p.x), offset (p.y));

    auto* added = copy.get();
    addScene (std::move (copy));

    // In the order the source holds them; of duplicates a restored document left, the first
    // counts, as it does for the source's interpolation.
    for (auto* v : source.values)
        if (v->first == v)
            v->getController().setValueInScene (v->getValue(), *added);

    return added;
}

void Brisquell::randomiseScene (Scene& scene)
{
    const juce::ScopedLock sl (lock);

    if (indexOfScene (&scene) < 0)
        return;

    for (auto& controller : controllers)
    {
        controller->setValueInScene (drawRandomValue (*controller), scene);
        notifyChange (controller.get());
    }
}

Scene* Brisquell::keyRandomSceneAtCursor()
{
    const juce::ScopedLock sl (lock);
    keySceneAtCursor();

    auto* keyed = scenes.back().get();
    randomiseScene (*keyed);
    return keyed;
}

void Brisquell::setRandomSeed (juce::int64 seed)
{
    const juce::ScopedLock sl (lock);
    random.setSeed (seed);
}

// Lock held.
int Brisquell::drawRandomValue (const Controller& controller)
{
    // Anywhere in the range the controller's kind carries.
    return random.nextInt (getMaximumValue (controller.kind) + 1);
}

//==============================================================================
int Brisquell::getSharpness() const
{
    const juce::ScopedLock sl (lock);
    return sharpness;
}

void Brisquell::setSharpness (int newSharpness)
{
    const auto p = isValidSharpness (newSharpness) ? newSharpness : 1;
    const juce::ScopedLock sl (lock);

    if (p == sharpness)
        return;

    sharpness = p;
    invalidateWeights();

    // The mix changed as if the cursor had moved.
    if (! (audit && ! selectedScenes.isEmpty()))
        scenesMoved = true;
}

std::vector<SceneLook> Brisquell::getSceneLooks() const
{
    const juce::ScopedLock sl (lock);
    ensureWeights();

    const auto* heard = audit && ! selectedScenes.isEmpty() ? selectedScenes.getFirst() : nullptr;
    std::vector<SceneLook> looks;
    looks.reserve (scenes.size());

    for (size_t i = 0; i < scenes.size(); ++i)
    {
        const auto& s = *scenes[i];
        const auto share = heard != nullptr ? (&s == heard ? 1.0f : 0.0f) : (float) s.weight;
        looks.push_back ({ &s, s.name.isNotEmpty() ? s.name : juce::String ((int) i + 1), s.colour, share });
    }

    return looks;
}

void Brisquell::sceneLooksChanged() noexcept
{
    ++sceneLooksVersion;
}

//==============================================================================
void Brisquell::setSelectedScenes (const juce::Array<Scene*>& newSelection)
{
    const juce::ScopedLock sl (lock);
    setSelectedScenesLocked (newSelection);
}

void Brisquell::setSelectedScenesLocked (const juce::Array<Scene*>& newSelection)
{
    selectedScenes.clearQuick();

    // A selection is a set: a scene named twice is selected once. Membership is decided by
    // comparing pointers only, so a view may hand over a scene that has gone meanwhile.
    for (auto* scene : newSelection)
        if (indexOfScene (scene) >= 0 && ! selectedScenes.contains (scene))
            selectedScenes.add (scene);

    if (audit && selectedScenes.size() == 1)
        scenesMoved = true;

    sceneLooksChanged();
    notifyChange (&selectionSubject);
}

//==============================================================================
bool Brisquell::isAudit() const
{
    const juce::ScopedLock sl (lock);
    return audit;
}

void Brisquell::setAudit (bool shouldAudit)
{
    const juce::ScopedLock sl (lock);
    audit = shouldAudit;
    scenesMoved = true;
    sceneLooksChanged();
}

void Brisquell::setRefreshRate (int ticksPerSecond) noexcept
{
    refreshRate.store (juce::jlimit (minRefreshRate, maxRefreshRate, ticksPerSecond));
}

juce::Point<int> Brisquell::getEditorSize() const
{
    const juce::ScopedLock sl (lock);
    return editorSize;
}

void Brisquell::setEditorSize (int width, int height)
{
    const juce::ScopedLock sl (lock);
    editorSize = { width, height };
}

std::optional<PaneView> Brisquell::getMorphPaneState() const
{
    const juce::ScopedLock sl (lock);
    return morphPaneState;
}

void Brisquell::setMorphPaneState (std::optional<PaneView> newState)
{
    // Only zooms a pane can use are kept, as a restored document gives them.
    if (newState)
        for (auto* zoom : { &newState->xZoom, &newState->yZoom })
            if (*zoom && ! isUsableZoom (**zoom))
                zoom->reset();

    const juce::ScopedLock sl (lock);
    morphPaneState = newState;
}

//==============================================================================
void Brisquell::handleIncomingMidi (const juce::MidiMessage& message)
{
    handleIncomingMidi (message.getRawData(), message.getRawDataSize());
}

void Brisquell::handleIncomingMidi (const juce::uint8* data, int numBytes)
{
    const juce::ScopedLock sl (lock);
    midiSorter.sort (data, numBytes);
}

bool Brisquell::handleIncomingMidi (const juce::uint8* data, int numBytes, double time)
{
    const juce::ScopedLock sl (lock);
    return handleIncomingMidiLocked (data, numBytes, time);
}

bool Brisquell::handleIncomingMidiLocked (const juce::uint8* data, int numBytes, double time)
{
    setSampleClock (time, 0.0);
    return midiSorter.sort (data, numBytes);
}

void Brisquell::setIncomingFromHost (bool isHosts)
{
    const juce::ScopedLock sl (lock);
    setIncomingFromHostLocked (isHosts);
}

int Brisquell::handleControllerValue (ControllerKind kind, int channel, int number, int value, bool mayLearn)
{
    const juce::ScopedLock sl (lock);
    const auto numTaken = storeControllerValue (kind, channel, number, value);

    if (numTaken > 0 || ! mayLearn || value < 0 || ! autoLearn.load())
        return numTaken;

    addController (number, channel, kind);
    return storeControllerValue (kind, channel, number, value);
}

int Brisquell::storeControllerValue (ControllerKind kind, int channel, int number, int value)
{
    if (lookupStale)
        rebuildMidiLookup();

    if (channel < 1 || channel > 16 || number < 0 || number > getMaximumNumber (kind))
        return 0;

    int matched = 0;

    // setValue can key a scene but never adds or removes controllers, so the chain stays valid.
    for (int index = lookupHeads[(size_t) lookupKey (kind, channel, number)]; index >= 0;)
    {
        auto& controller = *controllers[(size_t) index];
        index = controller.nextWithSameKey;

        if (controller.ccNumber != number)
            continue;

        if (value >= 0)
            controller.setValue (value);

        ++matched;
    }

    return matched;
}

void Brisquell::rebuildMidiLookup()
{
    lookupHeads.fill (-1);
    auto& tails = lookupTails;
    tails.fill (-1);

    for (size_t i = 0; i < controllers.size(); ++i)
    {
        auto& c = *controllers[i];
        c.nextWithSameKey = -1;

        // Controllers outside the MIDI ranges (possible after a restore) never match input.
        if (c.channel < 1 || c.channel > 16 || c.ccNumber < 0 || c.ccNumber > getMaximumNumber (c.kind))
            continue;

        const auto key = (size_t) lookupKey (c.kind, c.channel, c.ccNumber);

        if (tails[key] < 0)
            lookupHeads[key] = (int) i;
        else
            controllers[(size_t) tails[key]]->nextWithSameKey = (int) i;

        tails[key] = (int) i;
    }

    lookupStale = false;
}

bool Brisquell::needsOutput() const
{
    const juce::ScopedLock sl (lock);
    return needsOutputLocked();
}

int Brisquell::getSamplesPerRefresh (int sampleRate) const noexcept
{
    return juce::jmax (1, sampleRate / juce::jmax (1, refreshRate.load()));
}

void Brisquell::renderOutput (juce::MidiBuffer& buffer, int sampleOffset)
{
    const juce::ScopedLock sl (lock);

    // One walk to the tick's place in the buffer, then every message goes straight there.
    MidiTickWriter writer (buffer, sampleOffset);
    renderOutputLocked (writer);
}

void Brisquell::renderOutputLocked (MidiTickWriter& writer)
{
    if (audit && ! selectedScenes.isEmpty() && (scenesMoved || valuesChanged))
    {
        selectedScenes.getUnchecked (0)->sendValues (writer);
    }
    else
    {
        updateValuesLocked();

        // Controller::takeSendRequest, inlined: the lock is held for the whole tick.
        for (auto i = controllers.size(); i > 0; --i)
        {
            auto& controller = *controllers[i - 1];
            const auto isDue = ! valuesChanged || controller.sendPending || scenesMoved;

            // A tick that sends every controller answers every pending send too.
            controller.sendPending = false;

            if (! isDue)
                continue;

            writeControllerValue (writer, controller.kind, controller.channel, controller.ccNumber, controller.computeValue());
        }
    }

    scenesMoved = false;
    valuesChanged = false;
}

//==============================================================================
void Brisquell::invalidateWeights()
{
    weightsStale = true;
    ++sceneLooksVersion;

    // Every change of the lists comes here or through addController (a restore too): the
    // interpolation's room follows them there, not on the audio thread.
    interpolation.reserveFor (controllers.size(), scenes.size());
}

void Brisquell::ensureWeights() const
{
    if (! weightsStale && ! distanceSumStale)
        return;

    const auto c = cursor.getPosition();
    const auto n = scenes.size();
    size_t numAtCursor = 0;

    for (auto& s : scenes)
    {
        if (s->distanceStale)
        {
            const auto p = s->getPosition();
            const auto dx = (double) c.x - (double) p.x;
            const auto dy = (double) c.y - (double) p.y;
            s->distance = std::sqrt (dx * dx + dy * dy);
            s->distanceStale = false;
        }

        if (s->distance == 0.0)
            ++numAtCursor;
    }

    double sum = 0.0;

    for (auto& s : scenes)
        sum += s->distance;

    distanceSum = sum;
    distanceSumStale = false;

    // At sharpness 1, weight_i is proportional to (D - d_i) / d_i, the same weights as the
    // product form P_i * Q_i / D, without its overflow. A sharper mix takes the same blend over
    // the distances raised to p: weight_i proportional to (S - d_i^p) / d_i^p, S the sum of all
    // d^p. Divided by S and scaled by the nearest distance, that is (nearest / d_i)^p - 1 / E,
    // E the sum of all (d / nearest)^p: ratios of at most 1, so nothing overflows, and E going
    // beyond the double range only leaves out a term too small to count. A single scene takes
    // the whole weight, and scenes that lie exactly at the cursor share it equally.
    auto nearest = std::numeric_limits<double>::max();
    double floor = 0.0;

    if (sharpness != 1 && n > 1 && numAtCursor == 0)
    {
        for (auto& s : scenes)
            nearest = juce::jmin (nearest, s->distance);

        double scaledSum = 0.0;

        for (auto& s : scenes)
            scaledSum += raisedToSharpness (s->distance / nearest, sharpness);

        floor = 1.0 / scaledSum;
    }

    double total = 0.0;

    for (auto& s : scenes)
    {
        if (n == 1)
            s->rawWeight = 1.0;
        else if (numAtCursor > 0)
            s->rawWeight = s->distance == 0.0 ? 1.0 : 0.0;
        else if (sharpness == 1)
            s->rawWeight = (sum - s->distance) / s->distance;
        else
            s->rawWeight = juce::jmax (0.0, raisedToSharpness (nearest / s->distance, sharpness) - floor);

        if (! std::isfinite (s->rawWeight))
            s->rawWeight = 0.0;

        s->rawWeightStale = false;
        total += s->rawWeight;
    }

    weightSum = total;

    for (auto& s : scenes)
    {
        s->weight = total > 0.0 ? (double) (float) (s->rawWeight / total) : 0.0;
        s->weightStale = false;
    }

    weightsStale = false;
    ++weightsGeneration;
}

void Brisquell::updateValuesLocked()
{
    ensureWeights();
    interpolation.updateValues (controllers, scenes, weightsGeneration);
}

float Brisquell::getDistanceSum() const
{
    const juce::ScopedLock sl (lock);
    ensureWeights();
    return narrowToFloat (distanceSum);
}

float Brisquell::getWeightSum() const
{
    const juce::ScopedLock sl (lock);
    ensureWeights();
    return narrowToFloat (weightSum);
}

//==============================================================================
void Brisquell::cursorMoved()
{
    {
        const juce::ScopedLock sl (lock);
        distanceSumStale = true;

        if (! (audit && ! selectedScenes.isEmpty()))
            scenesMoved = true;

        for (auto& s : scenes)
            s->distanceStale = s->rawWeightStale = s->weightStale = true;

        invalidateWeights();
    }

    notifyChange (&cursor);
}

void Brisquell::sceneMoved()
{
    const juce::ScopedLock sl (lock);
    distanceSumStale = true;
    invalidateWeights();

    if (! audit)
        scenesMoved = true;
}

void Brisquell::markValuesChanged()
{
    const juce::ScopedLock sl (lock);
    valuesChanged = true;
}

//==============================================================================
void Brisquell::addChangeListener (juce::ChangeListener* listener)
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (listener == nullptr || listeners.contains (listener))
        return;

    listeners.add (listener);
    numListeners.store (listeners.size());

    if (! hasPump.load())
    {
        hasPump.store (true);
        startTimer (notificationIntervalMs);
    }
}

void Brisquell::removeChangeListener (juce::ChangeListener* listener)
{
    JUCE_ASSERT_MESSAGE_THREAD
    listeners.remove (listener);
    numListeners.store (listeners.size());
}

void Brisquell::notifyChange (juce::ChangeBroadcaster* subject) noexcept
{
    // Flags are set also while no listener is registered: a view that took its pointers just
    // before registering must still hear of a removal before the record is destroyed. Telling
    // nobody costs nothing.
    if (subject == &cursor)
        cursorPending.store (true);
    else if (subject == &controllerListSubject)
        controllerListPending.store (true);
    else if (subject == &sceneListSubject)
        sceneListPending.store (true);
    else if (subject == &selectionSubject)
        selectionPending.store (true);
    else if (subject == &midiControlSubject)
        midiControlPending.store (true);
    else if (auto* controller = dynamic_cast<Controller*> (subject))
    {
        if (&controller->getModel() != this)
            return;

        controller->notificationPending.store (true);
        anyControllerPending.store (true);
    }
}

void Brisquell::timerCallback()
{
    deliverPendingNotifications();
}

void Brisquell::deliverPendingNotifications()
{
    JUCE_ASSERT_MESSAGE_THREAD

    // What was retired before this round goes after it: every view has then been told.
    std::vector<std::unique_ptr<Controller>> deadControllers;
    std::vector<std::unique_ptr<Scene>> deadScenes;

    {
        const juce::ScopedLock sl (lock);
        deadControllers.swap (retiredControllers);
        deadScenes.swap (retiredScenes);
    }

    auto tell = [this] (juce::ChangeBroadcaster* subject)
    {
        listeners.call ([subject] (juce::ChangeListener& l)
                        { l.changeListenerCallback (subject); });
    };

    if (controllerListPending.exchange (false))
        tell (&controllerListSubject);

    if (sceneListPending.exchange (false))
        tell (&sceneListSubject);

    if (selectionPending.exchange (false))
        tell (&selectionSubject);

    if (midiControlPending.exchange (false))
        tell (&midiControlSubject);

    if (cursorPending.exchange (false))
    {
        if (numListeners.load() > 0)
            tell (&cursor);

        cursor.sendSynchronousChangeMessage();
    }

    if (anyControllerPending.exchange (false))
    {
        juce::Array<Controller*> pending;

        {
            const juce::ScopedLock sl (lock);

            for (auto& c : controllers)
                if (c->notificationPending.exchange (false))
                    pending.add (c.get());
        }

        for (auto* c : pending)
            tell (c);
    }

    // Records retired before the round are destroyed outside the lock; a retired scene still
    // linked to retired controllers (a restore retires both lists) unlinks them first.
    deadScenes.clear();
    deadControllers.clear();
}

// Called with the lock held, after the removal's notification was marked pending: the round that
// takes the record from the retired list (under the lock) then sees that flag and tells the views
// before it destroys the record. Whenever the message thread's pump runs, records are retired,
// also without listeners, since a view may have taken a pointer just before registering.
void Brisquell::retire (std::unique_ptr<Controller> controller)
{
    controller->retired = true;

    if (hasPump.load())
        retiredControllers.push_back (std::move (controller));
    // Otherwise there is no message thread and so no view: it goes now.
}

void Brisquell::retire (std::unique_ptr<Scene> scene)
{
    scene->retired = true;
    scene->listed = false;

    if (hasPump.load())
        retiredScenes.push_back (std::move (scene));
}

} // namespace brisquell
