// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Brisquell.h"
#include "support/ModelBuilders.h"

namespace brisquell::test
{

/** Counts the model's notifications, as a view registered with the model hears them. */
struct NotificationCounter final : public juce::ChangeListener
{
    explicit NotificationCounter (Brisquell& m) : model (m) { model.addChangeListener (this); }
    ~NotificationCounter() override { model.removeChangeListener (this); }
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++total; }

    Brisquell& model;
    int total = 0;
};

} // namespace brisquell::test
