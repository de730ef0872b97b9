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

/** Counts the model's notifications per subject, as a view registered with the model sees them. */
struct NotificationCounter final : public juce::ChangeListener
{
    explicit NotificationCounter (Brisquell& m) : model (m) { model.addChangeListener (this); }
    ~NotificationCounter() override { model.removeChangeListener (this); }

    void changeListenerCallback (juce::ChangeBroadcaster* source) override
    {
        if (source == model.getControllerListSubject())
            ++controllerList;
        else if (source == model.getSceneListSubject())
            ++sceneList;
        else if (source == model.getSelectionSubject())
            ++selection;
        else if (source == &model.getCursor())
            ++cursor;
        else
            ++controller;

        ++total;
    }

    Brisquell& model;
    int controllerList = 0, sceneList = 0, selection = 0, cursor = 0, controller = 0, total = 0;
};

} // namespace brisquell::test
