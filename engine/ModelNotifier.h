// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Records.h"

#include <atomic>
#include <memory>
#include <vector>

namespace brisquell
{

//==============================================================================
/** The model's notifications: a pending flag per subject (the controller list, the scene list,
    the selection, the MIDI control settings, the cursor, and each controller), set from any
    thread without a lock, and their delivery on the message thread every 17 ms, each pending
    subject once. Records the model removed while the pump runs are kept here until the next
    round has told the views, then destroyed on the message thread.

    It reads the model's controllers and swaps its retired records under the model's lock, which
    it never holds while it tells the listeners.
*/
class ModelNotifier final : private juce::Timer
{
public:
    /** The model's lock, its cursor and its controller list, all of which outlive this. */
    ModelNotifier (juce::CriticalSection& modelLock,
                   juce::ChangeBroadcaster& cursor,
                   const std::vector<std::unique_ptr<Controller>>& controllers);
    ~ModelNotifier() override;

    /** Starts the message thread's pump when there is a message thread. */
    void startPumpIfMessageThread();

    /** Stops the pump: nothing is delivered from now on. */
    void stopPump() { stopTimer(); }

    /** True while the message thread's pump runs. Any thread. */
    bool isPumpRunning() const noexcept { return hasPump.load(); }

    /** Register and unregister on the message thread. */
    void addChangeListener (juce::ChangeListener* listener);
    void removeChangeListener (juce::ChangeListener* listener);

    juce::ChangeBroadcaster* getControllerListSubject() noexcept { return &controllerListSubject; }
    juce::ChangeBroadcaster* getSceneListSubject() noexcept { return &sceneListSubject; }
    juce::ChangeBroadcaster* getSelectionSubject() noexcept { return &selectionSubject; }
    juce::ChangeBroadcaster* getMidiControlSubject() noexcept { return &midiControlSubject; }

    /** Marks one of the subjects above or the cursor as changed; false for any other subject.
        Any thread; takes no lock and allocates nothing.
    */
    bool markPending (juce::ChangeBroadcaster* subject) noexcept;

    /** Marks a controller of the model as changed. Any thread; no lock, no allocation. */
    void markPending (Controller& controller) noexcept;

    /** Delivers every pending notification now, and destroys what was retired before. */
    void deliverPending();

    /** Keeps a removed record until the next round has told the views; without a pump (and so
        without views) it is destroyed at once. Model's lock held.
    */
    void keepUntilDelivered (std::unique_ptr<Controller> controller);
    void keepUntilDelivered (std::unique_ptr<Scene> scene);

    /** The same for whole lists a restore replaced: while the pump runs they are kept and the
        vectors emptied; otherwise they are left to the caller. Model's lock held.
    */
    void keepUntilDelivered (std::vector<std::unique_ptr<Scene>>& oldScenes,
                             std::vector<std::unique_ptr<Controller>>& oldControllers);

    /** Destroys the retired records now, scenes first. Model's lock held. */
    void destroyRetired();

private:
    void timerCallback() override { deliverPending(); }
    juce::Array<Controller*> takePendingControllers();

    juce::CriticalSection& lock;
    juce::ChangeBroadcaster& cursor;
    const std::vector<std::unique_ptr<Controller>>& controllers;

    juce::ChangeBroadcaster controllerListSubject, sceneListSubject, selectionSubject, midiControlSubject;
    std::atomic<bool> controllerListPending{ false }, sceneListPending{ false },
        selectionPending{ false }, cursorPending{ false }, anyControllerPending{ false },
        midiControlPending{ false };
    std::atomic<int> numListeners{ 0 };
    std::atomic<bool> hasPump{ false };
    juce::ListenerList<juce::ChangeListener> listeners;

    // Retired records, destroyed on the message thread after the next notification round.
    std::vector<std::unique_ptr<Controller>> retiredControllers;
    std::vector<std::unique_ptr<Scene>> retiredScenes;

    JUCE_DECLARE_NON_COPYABLE (ModelNotifier)
};

} // namespace brisquell
