#pragma once

#include "engine/Brisquell.h"

namespace brisquell::test
{

/** Adds a scene at the point; the model makes it the only selected scene. */
inline Scene* addSceneAt (Brisquell& model, float x, float y)
{
    auto scene = std::make_unique<Scene> (model);
    scene->setPosition (x, y);
    auto* added = scene.get();
    model.addScene (std::move (scene));
    return added;
}

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
