// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ModelNotifier.h"

namespace brisquell
{

namespace
{
// How often the message thread delivers pending notifications.
constexpr int notificationIntervalMs = 17; // about the screen's 60 Hz
} // namespace

//==============================================================================
ModelNotifier::ModelNotifier (juce::CriticalSection& modelLock,
                              juce::ChangeBroadcaster& cursorToTell,
                              const std::vector<std::unique_ptr<Controller>>& modelControllers)
    : lock (modelLock), cursor (cursorToTell), controllers (modelControllers)
{
}

ModelNotifier::~ModelNotifier()
{
    stopTimer();
}

void ModelNotifier::startPumpIfMessageThread()
{
    if (juce::MessageManager::getInstanceWithoutCreating() != nullptr)
    {
        hasPump.store (true);
        startTimer (notificationIntervalMs);
    }
}

//==============================================================================
void ModelNotifier::addChangeListener (juce::ChangeListener* listener)
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

void ModelNotifier::removeChangeListener (juce::ChangeListener* listener)
{
    JUCE_ASSERT_MESSAGE_THREAD
    listeners.remove (listener);
    numListeners.store (listeners.size());
}

bool ModelNotifier::markPending (juce::ChangeBroadcaster* subject) noexcept
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
    else
        return false;

    return true;
}

void ModelNotifier::markPending (Controller& controller) noexcept
{
    controller.markNotificationPending();
    anyControllerPending.store (true);
}

//==============================================================================
void ModelNotifier::deliverPending()
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
        for (auto* c : takePendingControllers())
            tell (c);

    // Records retired before the round are destroyed outside the lock; a retired scene still
    // linked to retired controllers (a restore retires both lists) unlinks them first.
    deadScenes.clear();
    deadControllers.clear();
}

juce::Array<Controller*> ModelNotifier::takePendingControllers()
{
    juce::Array<Controller*> pending;

    {
        const juce::ScopedLock sl (lock);

        for (auto& c : controllers)
            if (c->takeNotificationPending())
                pending.add (c.get());
    }

    return pending;
}

//==============================================================================
// Called with the lock held, after the removal's notification was marked pending: the round that
// takes the record from the retired list (under the lock) then sees that flag and tells the views
// before it destroys the record. Whenever the message thread's pump runs, records are retired,
// also without listeners, since a view may have taken a pointer just before registering.
void ModelNotifier::keepUntilDelivered (std::unique_ptr<Controller> controller)
{
    if (hasPump.load())
        retiredControllers.push_back (std::move (controller));
    // Otherwise there is no message thread and so no view: it goes now.
}

void ModelNotifier::keepUntilDelivered (std::unique_ptr<Scene> scene)
{
    if (hasPump.load())
        retiredScenes.push_back (std::move (scene));
}

void ModelNotifier::keepUntilDelivered (std::vector<std::unique_ptr<Scene>>& oldScenes,
                                        std::vector<std::unique_ptr<Controller>>& oldControllers)
{
    if (! hasPump.load())
        return;

    std::move (oldScenes.begin(), oldScenes.end(), std::back_inserter (retiredScenes));
    std::move (oldControllers.begin(), oldControllers.end(), std::back_inserter (retiredControllers));
    oldScenes.clear();
    oldControllers.clear();
}

void ModelNotifier::destroyRetired()
{
    retiredScenes.clear();
    retiredControllers.clear();
}

} // namespace brisquell
