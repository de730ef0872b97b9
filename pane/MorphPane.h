#pragma once

#include "pane/ModulePane.h"
#include "pane/SceneMenu.h"

#include "engine/Brisquell.h"

namespace brisquell
{

//==============================================================================
/** Shows the model's scenes on a module pane, hands the pane's selection to the model, and
    offers the pane's context menu on a right click on the empty area. It must outlive the pane
    built on it. Message thread only.
*/
class MorphPaneModel final : public ModulePaneModel
{
public:
    /** An adapter for the model, which must outlive it. */
    explicit MorphPaneModel (Brisquell& model);

    /** Closes an open refresh-rate dialog, which writes its rate into the model. */
    ~MorphPaneModel() override;

    /** The ids of the context menu's items. */
    enum MenuItemIds
    {
        addSceneItem = 1,
        refreshRateItem = 2,
        autoLearnItem = 3,
        autoKeyItem = 4,
        addControllerItem = 5,
        auditItem = 6,
        selectAllItem = 7,
        newRandomSceneItem = 101,
        sharpnessItemBase = 110 // plus the sharpness: 111, 112, 114
    };

    //==============================================================================
    /** The context menu as it stands now: the items, their texts and ticks. */
    juce::PopupMenu createMenu() const;

    /** Carries out a menu choice. clickPosition is the release position in the pane's pixels
        ("add scene" converts it through the pane's origin and zoom). 0 (dismissed) and unknown
        ids do nothing.
    */
    void menuItemChosen (int itemId, juce::Point<int> clickPosition);

    /** Shows the context menu at the pointer and acts on the choice later, if this adapter and
        its pane still exist then.
    */
    void showMenu (juce::Point<int> clickPosition);

    /** The open refresh-rate dialog (item 2), or none. */
    juce::DialogWindow* getRefreshRateDialog() const noexcept { return refreshRateDialog.getComponent(); }

    /** The model shown. */
    Brisquell& getBrisquell() const noexcept { return model; }

    /** The menu that the scenes' views open, with its rename dialog. */
    SceneMenu& getSceneMenu() noexcept { return sceneMenu; }

    //==============================================================================
    /** A SceneGUI for the scene at index, or none when there is no such scene. */
    std::unique_ptr<ModuleGUI> createModuleGUI (int index) override;

    /** The number of scenes. */
    int getNumModules() override;

    /** Nothing. */
    void mouseDown (const juce::MouseEvent& event) override;

    /** With the right button, the context menu. */
    void mouseUp (const juce::MouseEvent& event) override;

    /** The scene at index, or none. */
    Module* getModule (int index) override;

    /** Hands the views' scenes, in order, to the model's setSelectedScenes. */
    void selectionChanged (const juce::Array<ModuleGUI*>& selectedViews) override;

private:
    void addSceneAt (juce::Point<int> clickPosition);
    void launchRefreshRateDialog();
    void addMixItems (juce::PopupMenu& menu) const;

    Brisquell& model;
    SceneMenu sceneMenu{ model };
    juce::Component::SafePointer<juce::DialogWindow> refreshRateDialog;

    JUCE_DECLARE_WEAK_REFERENCEABLE (MorphPaneModel)
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MorphPaneModel)
};

//==============================================================================
/** The module pane bound to the model: one view per scene. When it is built it takes over the
    model's scene selection. It keeps the scene views' labels, colours and shares of the mix in
    step with the model at a screen's pace, asking the model only when something changed.
    Message thread only.
*/
class MorphPane final : public ModulePane,
                        private juce::Timer
{
public:
    /** Builds the pane on the adapter (both the model and the adapter must outlive the pane) and
        selects the views of the model's selected scenes, in the model's order.
    */
    MorphPane (Brisquell& model, MorphPaneModel& paneModel);
    ~MorphPane() override;

    /** Makes the views of the model's selected scenes, in the model's order, the pane's whole
        selection.
    */
    void showModelSelection();

    /** The model shown. */
    Brisquell& getBrisquell() const noexcept { return model; }

    /** Gives every scene view the model's look of its scene now. The pane does so by itself
        after a rebuild and whenever the model's looks changed; tests may call it.
    */
    void updateSceneLooks();

    /** How often the views follow the model's looks, per second: a screen's pace, not the
        output ticks'.
    */
    static constexpr int looksFramesPerSecond = 30;

protected:
    void viewsRebuilt() override;

private:
    void timerCallback() override;

    Brisquell& model;
    juce::uint64 shownLooksVersion = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MorphPane)
};

//==============================================================================
/** The cursor's view: a black cross hair with a thin white halo, ringed in white, 50 x 50
    model units with the cursor's point at its top-left corner, always on top of the scene views
    (the halo keeps it visible on a scene's disc and ring). Any button drags it and moves
    the cursor; it is never selected and opens no menu. Add it to the pane's canvas with addItem.
    Message thread only.
*/
class CursorGUI final : public ModuleGUI,
                        public juce::ChangeListener
{
public:
    /** A view of the cursor, which must outlive it; listens to the cursor's moves. */
    explicit CursorGUI (Cursor& cursor);
    ~CursorGUI() override;

    //==============================================================================
    void mouseDown (const juce::MouseEvent& event) override;
    void mouseDrag (const juce::MouseEvent& event) override;
    void mouseUp (const juce::MouseEvent& event) override;
    void paint (juce::Graphics& g) override;

    /** The width of the white halo on each side of the cross hair's lines, in pixels. */
    static constexpr float haloWidth = 1.0f;

    //==============================================================================
    /** Lays the view out again when the cursor moved. */
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;

private:
    Cursor& cursor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CursorGUI)
};

} // namespace brisquell
