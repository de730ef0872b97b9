// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Brisquell.h"
#include "engine/Rounding.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brisquell
{

//==============================================================================
Brisquell::Brisquell()
{
    notifier.startPumpIfMessageThread();
}

Brisquell::~Brisquell()
{
    masterReference.clear();
    notifier.stopPump();

    const juce::ScopedLock sl (lock);
    selection.clear();

    lists.clear();

    notifier.destroyRetired();
}

//==============================================================================
int Brisquell::getNumControllers() const
{
    const juce::ScopedLock sl (lock);
    return (int) lists.controllers().size();
}

Controller* Brisquell::getController (int index) const
{
    const juce::ScopedLock sl (lock);
    return lists.controllerAt (index);
}

int Brisquell::indexOfController (const Controller* controller) const
{
    const juce::ScopedLock sl (lock);
    return lists.indexOf (controller);
}

int Brisquell::getNumScenes() const
{
    const juce::ScopedLock sl (lock);
    return (int) lists.scenes().size();
}

Scene* Brisquell::getScene (int index) const
{
    const juce::ScopedLock sl (lock);
    return lists.sceneAt (index);
}

int Brisquell::indexOfScene (const Scene* scene) const
{
    const juce::ScopedLock sl (lock);
    return lists.indexOf (scene);
}

int Brisquell::getNumSelectedScenes() const
{
    const juce::ScopedLock sl (lock);
    return selection.size();
}

Scene* Brisquell::getSelectedScene (int index) const
{
    const juce::ScopedLock sl (lock);
    return selection.get (index);
}

juce::Array<Scene*> Brisquell::getSelectedScenes() const
{
    const juce::ScopedLock sl (lock);
    return selection.getScenes();
}

//==============================================================================
Controller* Brisquell::addController (int ccNumber, int channel, ControllerKind kind)
{
    Controller* added = nullptr;

    {
        const juce::ScopedLock sl (lock);
        auto controller = std::make_unique<Controller> (*this);
        controller->setUp (kind, kind == ControllerKind::sevenBit ? ccNumber : limitNumber (kind, ccNumber), channel, juce::String (ccNumber));
        added = controller.get();
        lists.add (std::move (controller));
        lookup.markStale();
        lookup.reserveFor (lists.controllers().size());
        interpolation.reserveFor (lists.controllers().size(), lists.scenes().size());
    }

    notifyChange (notifier.getControllerListSubject());
    return added;
}

Controller* Brisquell::addNextController()
{
    int ccNumber = 0, channel = 1;
    auto kind = ControllerKind::sevenBit;

    {
        const juce::ScopedLock sl (lock);

        if (! lists.controllers().empty())
        {
            // A restored document may hold any number: step on in two's complement rather than
            // overflow, which keeps the low 7 bits (what goes out) counting on from 127 to 0.
            const auto& last = *lists.controllers().back();
            ccNumber = (int) (juce::uint32) ((juce::uint32) last.getCcNumber() + 1u);
            channel = last.getChannel();
            kind = last.getKind();

            if (kind != ControllerKind::sevenBit && ccNumber > getMaximumNumber (kind))
                ccNumber = 0;
        }

        return addController (ccNumber, channel, kind);
    }
}

void Brisquell::removeController (Controller* controller)
{
    const juce::ScopedLock sl (lock);

    // Marked pending before the record is retired, so that the round that destroys it has told
    // the views first (see retire()).
    notifyChange (notifier.getControllerListSubject());

    if (auto removed = lists.take (controller))
    {
        lookup.markStale();

        // Its values leave the scenes now; the record itself may still be shown.
        removed->destroyValues();
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
    added->joinList();
    lists.add (std::move (scene));
    invalidateWeights();
    triggerLookup.invalidate();
    selection.setRestored (false);
    notifyChange (notifier.getSceneListSubject());
    setSelectedScenesLocked ({ added });
}

void Brisquell::deleteScene (Scene* scene)
{
    const juce::ScopedLock sl (lock);

    // Pending before the scene is retired (see retire()).
    notifyChange (notifier.getSceneListSubject());
    selection.setRestored (false);

    if (auto removed = lists.take (scene))
    {
        selection.remove (removed.get());
        triggerLookup.invalidate();

        // The interpolation no longer counts the scene; no output tick is caused by that.
        invalidateWeights();

        removed->destroyValues();

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
    copy->copyLookFrom (source);

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
    for (auto* v : source.getValues())
        if (v->isFirstInScene())
            v->getController().setValueInScene (v->getValue(), *added);

    return added;
}

void Brisquell::randomiseScene (Scene& scene)
{
    const juce::ScopedLock sl (lock);

    if (indexOfScene (&scene) < 0)
        return;

    for (auto& controller : lists.controllers())
    {
        controller->setValueInScene (drawRandomValue (*controller), scene);
        notifyChange (controller.get());
    }
}

Scene* Brisquell::keyRandomSceneAtCursor()
{
    const juce::ScopedLock sl (lock);
    keySceneAtCursor();

    auto* keyed = lists.scenes().back().get();
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
    return random.nextInt (controller.getMaximumValue() + 1);
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
    if (selection.getAudited() == nullptr)
        scenesMoved = true;
}

std::vector<SceneLook> Brisquell::getSceneLooks() const
{
    const juce::ScopedLock sl (lock);
    ensureWeights();

    const auto* heard = selection.getAudited();
    std::vector<SceneLook> looks;
    const auto& scenes = lists.scenes();
    looks.reserve (scenes.size());

    for (size_t i = 0; i < scenes.size(); ++i)
    {
        const auto& s = *scenes[i];
        const auto share = heard != nullptr ? (&s == heard ? 1.0f : 0.0f) : s.getWeight();
        const auto name = s.getName();
        looks.push_back ({ &s, name.isNotEmpty() ? name : juce::String ((int) i + 1), s.getColour(), share });
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
    selection.choose (newSelection, [this] (const Scene* scene)
                      { return indexOfScene (scene) >= 0; });

    if (selection.isAudit() && selection.size() == 1)
        scenesMoved = true;

    sceneLooksChanged();
    notifyChange (notifier.getSelectionSubject());
}

//==============================================================================
bool Brisquell::isAudit() const
{
    const juce::ScopedLock sl (lock);
    return selection.isAudit();
}

void Brisquell::setAudit (bool shouldAudit)
{
    const juce::ScopedLock sl (lock);
    selection.setAudit (shouldAudit);
    scenesMoved = true;
    sceneLooksChanged();
}

void Brisquell::setRefreshRate (int ticksPerSecond) noexcept
{
    clock.setRefreshRate (ticksPerSecond);
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

} // namespace brisquell
