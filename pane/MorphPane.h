#pragma once

#include "pane/ModulePane.h"

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
        selectAllItem = 7
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

    //==============================================================================
    /** None: every scene gets a plain ModuleGUI. */
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

    Brisquell& model;
    juce::Component::SafePointer<juce::DialogWindow> refreshRateDialog;

    JUCE_DECLARE_WEAK_REFERENCEABLE (MorphPaneModel)
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MorphPaneModel)
};

//==============================================================================
/** The module pane bound to the model: one view per scene. When it is built it takes over the
    model's scene selection. Message thread only.
*/
class MorphPane final : public ModulePane
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

private:
    Brisquell& model;

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
