// SPDX-License-Identifier: GPL-3.0-or-later
// The model's side of the state document: its content copied out under the lock, and a parsed
// document's content put into effect under the lock. Reading and writing the elements is
// DocumentElements.h's.
#include "engine/Brisquell.h"
#include "engine/document/DocumentElements.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

namespace brisquell
{

std::unique_ptr<juce::XmlElement> Brisquell::createStateXml (const juce::String& tagName) const
{
    // The lock is held while the content is copied, not while its many elements are built.
    return state::createStateDocument (captureState(), tagName);
}

void Brisquell::restoreStateXml (std::unique_ptr<juce::XmlElement> document)
{
    if (document == nullptr)
        return;

    // The document is kept until the end: freed before the records are built, its many small
    // blocks would scatter their allocations, and this restore and the next run slower.
    const auto content = state::readStateDocument (*document);

    // The new lists are built without the lock, then swapped in at once.
    std::vector<std::unique_ptr<Scene>> newScenes;
    std::vector<std::unique_ptr<Controller>> newControllers;
    createRecords (content, newScenes, newControllers);
    applyState (content, newScenes, newControllers);

    // Without a message thread no view can hold the old records: they go now, scenes first so
    // that their values unlink from controllers that still exist.
    newScenes.clear();
    newControllers.clear();

    if (juce::MessageManager::existsAndIsCurrentThread())
        deliverPendingNotifications();
}

state::StateContent Brisquell::captureState() const
{
    state::StateContent content;
    const juce::ScopedLock sl (lock);

    // Scene numbers are positions in the scene list; look them up once, not per value.
    std::unordered_map<const Scene*, int> sceneIndex;
    const auto& scenes = lists.scenes();
    sceneIndex.reserve (scenes.size());
    content.scenes.reserve (scenes.size());

    for (size_t i = 0; i < scenes.size(); ++i)
    {
        sceneIndex.emplace (scenes[i].get(), (int) i);
        content.scenes.push_back ({ scenes[i]->getPosition(), scenes[i]->getName(), scenes[i]->getColour(), scenes[i]->getTrigger() });
    }

    content.controllers.reserve (lists.controllers().size());

    for (auto& controller : lists.controllers())
    {
        auto& copy = content.controllers.emplace_back();
        copy = { controller->getCcNumber(), controller->getChannel(), controller->getKind(), controller->getName(), {} };
        copy.values.reserve (controller->getValues().size());

        for (auto* v : controller->getValues())
        {
            const auto found = sceneIndex.find (&v->getScene());
            copy.values.push_back ({ v->getValue(), found != sceneIndex.end() ? found->second : -1 });
        }
    }

    content.sharpness = sharpness;
    content.editorSize = editorSize;
    content.paneView = morphPaneState;
    content.cursorControl = { cursorSources, glideTime, glideShape };

    auto& session = content.session.emplace();
    const auto position = cursor.getPosition();
    session.cursorX = position.x;
    session.cursorY = position.y;
    session.refreshRate = clock.getRefreshRate();
    session.autoLearn = autoLearn.load();
    session.autoKey = autoKey.load();
    session.audit = selection.isAudit();
    session.midiThrough = midiThrough.load();
    session.reportCursorMoves = reportCursorMoves.load();
    session.editorScale = editorScale.load();

    for (auto* scene : selection)
        if (const auto found = sceneIndex.find (scene); found != sceneIndex.end())
            session.selection.push_back (found->second);

    return content;
}

void Brisquell::applyState (const state::StateContent& content, std::vector<std::unique_ptr<Scene>>& newScenes, std::vector<std::unique_ptr<Controller>>& newControllers)
{
    const juce::ScopedLock sl (lock);

    // Pending before the old records are retired (see retire()).
    notifyChange (notifier.getControllerListSubject());
    notifyChange (notifier.getSceneListSubject());

    selection.clear();
    lists.swapWith (newControllers, newScenes);

    for (auto& s : newScenes)
        s->retire();

    // Every value of the old controllers lies in one of the old scenes, which destroy them.
    // The controllers let go of them now, so that destroying a value does not search its
    // controller's list for it: a restore over a big project stays linear.
    for (auto& c : newControllers)
    {
        c->retire();
        c->releaseValues();
    }

    morphPaneState = content.paneView;
    sharpness = content.sharpness;
    editorSize = content.editorSize.value_or (editorSize);
    controllerAddressChanged();
    invalidateWeights();

    // The cursor comes to rest; what waited to be learned is not waited for.
    // (The triggers came with the scenes, whose list is announced anyway.)
    const auto& control = content.cursorControl;

    if (cursorSources != control.sources || glideTime != control.glideTime || glideShape != control.glideShape
        || learnRequest.load() != 0)
        notifyChange (notifier.getMidiControlSubject());

    cursorSources = control.sources;
    glideTime = control.glideTime;
    glideShape = control.glideShape;
    glide.isRunning = false;
    learnRequest.store (0);
    triggerLookup.invalidate();

    // The scenes' positioning counts as a move, as if each had been placed one by one.
    if (! lists.scenes().empty() && ! selection.isAudit())
        scenesMoved = true;

    if (content.session.has_value())
        applySessionLocked (*content.session);
    else
        selection.setRestored (false);

    // The restored cursor (or the kept one) is also the target: nothing glides after a restore.
    storeCursorTarget (cursor.getPosition());

    notifier.keepUntilDelivered (newScenes, newControllers);
}

void Brisquell::applySessionLocked (const state::Session& session)
{
    autoLearn.store (session.autoLearn);
    autoKey.store (session.autoKey);
    setRefreshRate (session.refreshRate);
    selection.setAudit (session.audit);
    midiThrough.store (session.midiThrough);
    reportCursorMoves.store (session.reportCursorMoves);
    editorScale.store (session.editorScale);

    juce::Array<Scene*> restored;

    for (auto index : session.selection)
        if (auto* scene = lists.sceneAt (index))
            restored.add (scene);

    setSelectedScenesLocked (restored);
    selection.setRestored (! restored.isEmpty());

    // The cursor moves as the host's parameters move it: the distances go stale, the cursor's
    // views and getParameter follow. What goes out at the next tick follows the restored scenes
    // alone, as after any restore, so that a project without scenes stays silent.
    const auto wereScenesMoved = scenesMoved;
    cursor.setPosition (session.cursorX, session.cursorY);
    scenesMoved = wereScenesMoved || ! lists.scenes().empty();
}

void Brisquell::createRecords (const state::StateContent& content,
                               std::vector<std::unique_ptr<Scene>>& newScenes,
                               std::vector<std::unique_ptr<Controller>>& newControllers)
{
    newScenes.reserve (content.scenes.size());
    newControllers.reserve (content.controllers.size());

    for (const auto& s : content.scenes)
    {
        auto& scene = newScenes.emplace_back (std::make_unique<Scene> (*this));
        scene->restore (s.position, s.trigger, s.name, s.colour);
    }

    // Duplicate values for one controller and scene are kept, as they were written; each
    // remembers the first, from which the interpolation takes the scene's value.
    std::vector<SceneValue*> firstInScene (newScenes.size(), nullptr);
    std::vector<size_t> touched;

    for (const auto& c : content.controllers)
    {
        auto& controller = newControllers.emplace_back (std::make_unique<Controller> (*this));
        controller->setUp (c.kind, c.ccNumber, c.channel, c.name);

        for (const auto& v : c.values)
        {
            if (! juce::isPositiveAndBelow (v.scene, newScenes.size()))
                continue;

            auto* created = new SceneValue (v.value, *newScenes[(size_t) v.scene], *controller);
            auto& first = firstInScene[(size_t) v.scene];

            if (first != nullptr)
            {
                created->followFirst (*first);
            }
            else
            {
                first = created;
                touched.push_back ((size_t) v.scene);
            }
        }

        for (auto index : touched)
            firstInScene[index] = nullptr;

        touched.clear();
    }
}

bool Brisquell::isSelectionRestored() const
{
    const juce::ScopedLock sl (lock);
    return selection.isRestored();
}

} // namespace brisquell
