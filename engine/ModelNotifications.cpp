// SPDX-License-Identifier: GPL-3.0-or-later
// The model's notifications, delivered by its ModelNotifier: the model's side of them.
// The rest of the model is in Brisquell.cpp.
#include "engine/Brisquell.h"

namespace brisquell
{

void Brisquell::addChangeListener (juce::ChangeListener* listener)
{
    notifier.addChangeListener (listener);
}

void Brisquell::removeChangeListener (juce::ChangeListener* listener)
{
    notifier.removeChangeListener (listener);
}

void Brisquell::notifyChange (juce::ChangeBroadcaster* subject) noexcept
{
    if (notifier.markPending (subject))
        return;

    if (auto* controller = dynamic_cast<Controller*> (subject))
        if (&controller->getModel() == this)
            notifier.markPending (*controller);
}

void Brisquell::deliverPendingNotifications()
{
    notifier.deliverPending();
}

// Lock held, after the removal's notification was marked pending (see ModelNotifier).
void Brisquell::retire (std::unique_ptr<Controller> controller)
{
    controller->retire();
    notifier.keepUntilDelivered (std::move (controller));
}

void Brisquell::retire (std::unique_ptr<Scene> scene)
{
    scene->retire();
    notifier.keepUntilDelivered (std::move (scene));
}
} // namespace brisquell
