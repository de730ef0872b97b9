// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pane/ModulePane.h"
#include "pane/SceneMenu.h"

#include "engine/Brisquell.h"

#include <functional>
#include <optional>

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
        learnCursorXItem = 8,
        learnCursorYItem = 9,
        forgetCursorMidiItem = 10,
        glideItem = 11,
        midiThroughItem = 12,
        reportCursorItem = 13,
        newRandomSceneItem = 101,
        sharpnessItemBase = 110, // plus the sharpness: 111, 112, 114
        followHostScaleItem = 1000,
        scaleItemBase = 1000 // plus the percentage: 1100, 1125, 1150, 1200
    };

    /** The scales the "scale" submenu offers, in percent, besides following the host. */
    static constexpr int menuScales[] = { 100, 125, 150, 200 };

    /** Called after a scale was chosen in the menu (and stored in the model), for the editor to
        draw at it.
    */
    std::function<void()> onScaleChosen;

    //==============================================================================
    /** The context menu as it stands now: the items, their texts and ticks. */
    juce::PopupMenu createMenu() const;

    /** Carries out a menu choice. clickPosition is the release position in the pane's pixels
        ("add scene" converts it through the pane's origin and zoom). A learn item asks the model
        to learn that axis's source from the next suitable MIDI message, or, chosen again while
        the model waits for it, cancels. 0 (dismissed) and unknown ids do nothing.
    */
    void menuItemChosen (int itemId, juce::Point<int> clickPosition);

    /** Shows the context menu at the pointer and acts on the choice later, if this adapter and
        its pane still exist then.
    */
    void showMenu (juce::Point<int> clickPosition);

    /** The open refresh-rate dialog (item 2), or none. */
    juce::DialogWindow* getRefreshRateDialog() const noexcept { return refreshRateDialog.getComponent(); }

    /** The open glide dialog (item 11), or none. */
    juce::DialogWindow* getGlideDialog() const noexcept { return glideDialog.getComponent(); }

    /** The glide item's text: "Glide:off", or the time and shape ("Glide:1.5 s smooth"). */
    static juce::String describeGlide (double seconds, GlideShape shape);

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
    void toggleLearning (LearnRequest request);
    void addMixItems (juce::PopupMenu& menu) const;
    void addScaleItems (juce::PopupMenu& menu) const;
    void chooseScale (int percent);

    /** Opens a dialog with the content, centred on the pane, or brings the one open forward. */
    void launchDialog (juce::Component::SafePointer<juce::DialogWindow>& dialog, std::function<juce::Component*()> makeContent);

    Brisquell& model;
    SceneMenu sceneMenu{ model };
    juce::Component::SafePointer<juce::DialogWindow> refreshRateDialog, glideDialog;

    JUCE_DECLARE_WEAK_REFERENCEABLE (MorphPaneModel)
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MorphPaneModel)
};

//==============================================================================
/** The glide dialog's content: the glide time (0 to 60 s) and the shape ("linear", "smooth").
    Whichever way the dialog closes, it is deleted with its content, and what the content shows
    then goes into the model.
*/
class GlideSettings final : public juce::Component
{
public:
    explicit GlideSettings (Brisquell& model);
    ~GlideSettings() override;

    juce::Slider& getTimeSlider() noexcept { return timeSlider; }
    juce::ComboBox& getShapeBox() noexcept { return shapeBox; }

    /** The shape box's item ids. */
    enum ShapeIds
    {
        linearId = 1,
        smoothId = 2
    };

    void resized() override;

private:
    Brisquell& model;
    juce::Slider timeSlider;
    juce::ComboBox shapeBox;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (GlideSettings)
};

//==============================================================================
/** The module pane bound to the model: one view per scene. When it is built it takes over the
    model's scene selection. It keeps the scene views' labels, colours and shares of the mix in
    step with the model at a screen's pace, asking the model only when something changed. While
    a glide runs it marks the glide's target beneath the views; while the model waits to learn
    from MIDI it says so in its bottom left corner.
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

    /** What the pane says while the model waits to learn ("waiting for MIDI: cursor X"), or an
        empty text.
    */
    juce::String getLearnHint() const { return learnHint.getText(); }

    /** The target marker's pixel bounds while it is shown (a running glide), or none. */
    std::optional<juce::Rectangle<int>> getGlideTargetMarker() const;

    /** The hint for a learn request: "waiting for MIDI: cursor X", "... cursor Y", "... scene
        trigger", or empty for none.
    */
    static juce::String describeLearnRequest (LearnRequest request);

    /** Gives every scene view the model's look of its scene now. The pane does so by itself
        after a rebuild and whenever the model's looks changed; tests may call it.
    */
    void updateSceneLooks();

    /** How often the views follow the model's looks, per second: a screen's pace, not the
        output ticks'.
    */
    static constexpr int looksFramesPerSecond = 30;

    //==============================================================================
    /** Draws the glide's target marker (a red ring with a cross) while a glide runs. */
    void paint (juce::Graphics& g) override;
    void resized() override;

protected:
    void viewsRebuilt() override;

private:
    class ModelWatcher;

    void updateFromModel();
    void timerCallback() override;

    Brisquell& model;
    juce::Label learnHint;
    std::optional<juce::Point<float>> shownTarget;
    std::unique_ptr<ModelWatcher> modelWatcher;
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
                        public juce::ChangeListener,
                        private juce::Timer
{
public:
    /** A view of the cursor, which must outlive it; listens to the cursor's moves. */
    explicit CursorGUI (Cursor& cursor);
    ~CursorGUI() override;

    /** Where the view shows the cursor: on its way along a running glide, at the model's sample
        clock (so that it travels smoothly whatever the output ticks); otherwise where it is.
        Truncated to whole model units, 50 x 50; paint draws the cross hair at the exact place.
    */
    juce::Rectangle<int> getModelBounds() const override;

    /** A drag: puts the cursor at the exact model point under the view's pixel position,
        unrounded at any zoom (the rectangle, in whole units, is not used).
    */
    void setModelBounds (const juce::Rectangle<int>& modelBounds) override;

    /** How often the view follows a running glide, per second: a screen's pace, not the
        output ticks'.
    */
    static constexpr int glideFramesPerSecond = 30;

    //==============================================================================
    void mouseDown (const juce::MouseEvent& event) override;
    void mouseDrag (const juce::MouseEvent& event) override;
    void mouseUp (const juce::MouseEvent& event) override;
    void paint (juce::Graphics& g) override;

    /** The width of the white halo on each side of the cross hair's lines, in pixels. */
    static constexpr float haloWidth = 1.0f;

    //==============================================================================
    /** Lays the view out again when the cursor moved, and follows a glide that started. */
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;

private:
    void timerCallback() override;

    /** The cursor's position as the view shows it (see getModelBounds), not truncated. */
    juce::Point<float> getShownPosition() const;

    Cursor& cursor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CursorGUI)
};

} // namespace brisquell
