// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PaneTestSupport.h"

#include "pane/MorphPane.h"
#include "support/MessageLoop.h"

namespace brisquell::test
{

//==============================================================================
/** A model with the morph pane opened on it as the editor does: the adapter, the pane, the
    cursor view added to the canvas, and a rebuild that makes the last scene the selection
    whenever the scene list changes.
*/
class MorphPaneFixture : public ::testing::Test,
                         private juce::ChangeListener
{
protected:
    Brisquell model;
    std::unique_ptr<MorphPaneModel> paneModel;
    std::unique_ptr<MorphPane> pane;
    CursorGUI* cursorView = nullptr;
    std::unique_ptr<Pointer> pointer;

    void TearDown() override
    {
        juce::PopupMenu::dismissAllActiveMenus();
        close();
        runMessageLoopFor (20);
        model.deliverPendingNotifications();
    }

    Scene* addScene (float x, float y)
    {
        auto scene = std::make_unique<Scene> (model);
        scene->setPosition (x, y);
        auto* added = scene.get();
        model.addScene (std::move (scene));
        return added;
    }

    /** Opens the pane on a model whose earlier changes have all been announced. */
    void open (const char* viewState = nullptr)
    {
        model.deliverPendingNotifications();
        model.addChangeListener (this);
        paneModel = std::make_unique<MorphPaneModel> (model);
        pane = std::make_unique<MorphPane> (model, *paneModel);
        pane->setBounds (0, 0, 400, 300);
        cursorView = new CursorGUI (model.getCursor());
        pane->addItem (cursorView);

        if (viewState != nullptr)
            pane->restoreViewState (juce::parseXML (juce::String ("<morphpanestate ") + viewState + "/>").get());

        pointer = std::make_unique<Pointer> (*pane);
    }

    void close()
    {
        pointer.reset();
        pane.reset();
        paneModel.reset();
        cursorView = nullptr;
        model.removeChangeListener (this);
    }

    /** Lets the pane's selection and the model's notifications arrive. */
    void settle()
    {
        model.deliverPendingNotifications();
        runMessageLoopFor (30);
        model.deliverPendingNotifications();
        runMessageLoopFor (10);
    }

    ModuleGUI& view (int i) { return *pane->getView (i); }

    juce::Array<Scene*> scenes (std::initializer_list<int> indices) const
    {
        juce::Array<Scene*> result;

        for (auto i : indices)
            result.add (model.getScene (i));

        return result;
    }

private:
    void changeListenerCallback (juce::ChangeBroadcaster* source) override
    {
        if (source != model.getSceneListSubject() || pane == nullptr)
            return;

        pane->rebuild();

        if (model.getNumScenes() > 0)
            pane->selectItem (model.getNumScenes() - 1, true);
    }
};

} // namespace brisquell::test
