// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pane/ZoomingShiftingComponent.h"

#include "engine/Records.h"

#include <memory>

namespace brisquell
{

class ModuleGUI;
class ModulePane;

//==============================================================================
/** What a module pane shows, and who hears of its presses and its selection. The pane tells
    the model its pane when it is built. Message thread only.
*/
class ModulePaneModel
{
public:
    ModulePaneModel() = default;
    virtual ~ModulePaneModel() = default;

    /** A view made by the model for module index, or none: the pane then makes a plain
        ModuleGUI for getModule (index).
    */
    virtual std::unique_ptr<ModuleGUI> createModuleGUI (int index) = 0;

    /** The number of modules to show. */
    virtual int getNumModules() = 0;

    /** A press on the pane's empty area, whatever the button (event on the pane). */
    virtual void mouseDown (const juce::MouseEvent& event) = 0;

    /** The release of a press on the pane's empty area (event on the pane). */
    virtual void mouseUp (const juce::MouseEvent& event) = 0;

    /** The module at index, or none when the index is outside the modules. */
    virtual Module* getModule (int index) = 0;

    /** The pane's selection changed: its views, in selection order. Called asynchronously
        after the change, with the selection as it is then.
    */
    virtual void selectionChanged (const juce::Array<ModuleGUI*>& selectedViews) = 0;

    //==============================================================================
    /** The pane showing this model, or none (before it is built and after it is destroyed). */
    ModulePane* getPane() const noexcept { return pane; }
    void setPane (ModulePane* newPane) noexcept { pane = newPane; }

private:
    ModulePane* pane = nullptr;

    JUCE_DECLARE_NON_COPYABLE (ModulePaneModel)
};

//==============================================================================
/** The view of one module: a disc 50 x 50 model units in size whose top-left corner is the
    module's point, ringed in red when selected. It is clicked, selected with modifiers and
    dragged together with the other selected views; every press, drag and release also reaches
    the module's own mouse hooks. Message thread only.
*/
class ModuleGUI : public ZoomableShiftableComponent
{
public:
    /** A view of the module (none gives a view that shows nothing of a model and moves nothing). */
    explicit ModuleGUI (Module* module);
    ~ModuleGUI() override;

    /** The module shown. */
    Module* getModule() const noexcept { return module; }

    /** The pane that shows this view, or none. */
    ModulePane* getPane() const noexcept { return pane; }

    /** Whether the pane's selection holds this view. */
    bool isSelected() const;

    /** Every module view's size, in model units. */
    static constexpr int viewSize = 50;

    //==============================================================================
    void mouseDown (const juce::MouseEvent& event) override;
    void mouseDrag (const juce::MouseEvent& event) override;
    void mouseUp (const juce::MouseEvent& event) override;
    void paint (juce::Graphics& g) override;

    //==============================================================================
    /** (x, y) of the module truncated toward zero, and 50 x 50. */
    juce::Rectangle<int> getModelBounds() const override;

    /** Moves the module to the rectangle's x and y; the size is ignored. */
    void setModelBounds (const juce::Rectangle<int>& modelBounds) override;

protected:
    /** Starts this view's dragger with a press given on any component. */
    void startDragging (const juce::MouseEvent& press);

    /** Moves this view with the pointer and writes the new position to the module; does
        nothing unless startDragging() began a drag that stopDragging() has not ended.
    */
    void dragAndWriteBack (const juce::MouseEvent& drag);

    /** Ends the drag begun by startDragging(). */
    void stopDragging() noexcept { isDragging = false; }

private:
    friend class ModulePane;

    void selectByModifiers (const juce::ModifierKeys& mods);

    Module* module;
    ModulePane* pane = nullptr;
    juce::ComponentDragger dragger;
    bool wasSelectedAtPress = false;
    bool isDragging = false;
    juce::Point<float> pressInCanvas;

    JUCE_LEAK_DETECTOR (ModuleGUI)
};

//==============================================================================
/** A pane of selectable, draggable module views on the zoomable canvas. Click, Shift-click and
    Ctrl-click select views, a left drag on the empty area lassos them, the middle button drags
    the origin and the wheel zooms about the pointer. Command 1 selects all views.
    Message thread only.
*/
class ModulePane : public juce::LassoSource<ModuleGUI*>,
                   public juce::ChangeListener,
                   public ZoomingShiftingComponent,
                   public juce::ApplicationCommandTarget
{
public:
    /** Builds the pane on the model: tells the model its pane, makes one view per module and
        adds the lasso. The model must outlive the pane.
    */
    explicit ModulePane (ModulePaneModel& model);
    ~ModulePane() override;

    /** Empties the selection, deletes the views and makes them anew from the model. Call it
        whenever the model's set of modules changes.
    */
    void rebuild();

    /** Adds the view at index to the selection (after deselecting everything, if asked).
        An index outside the views adds nothing.
    */
    void selectItem (int index, bool deselectOthersFirst);

    /** Adds every view to the selection (command 1). */
    void selectAll();

    /** The module views, in module order. */
    int getNumViews() const noexcept { return views.size(); }
    ModuleGUI* getView (int index) const noexcept { return views[index]; }

    /** The selected views. Its change notifications are asynchronous. */
    const juce::SelectedItemSet<ModuleGUI*>& getSelection() const noexcept { return selection; }

    ModulePaneModel& getPaneModel() const noexcept { return model; }

    /** The command that selects every view. */
    static constexpr juce::CommandID selectAllCommand = 1;

    //==============================================================================
    /** Appends every view lying wholly within the area (touching edges count as inside). */
    void findLassoItemsInArea (juce::Array<ModuleGUI*>& results, const juce::Rectangle<int>& area) override;
    juce::SelectedItemSet<ModuleGUI*>& getLassoSelection() override;

    //==============================================================================
    /** Repaints and tells the model when the selection changed. */
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;

    //==============================================================================
    void mouseDown (const juce::MouseEvent& event) override;
    void mouseDrag (const juce::MouseEvent& event) override;
    void mouseUp (const juce::MouseEvent& event) override;
    void mouseWheelMove (const juce::MouseEvent& event, const juce::MouseWheelDetails& wheel) override;
    void paintOverChildren (juce::Graphics& g) override;

    //==============================================================================
    juce::ApplicationCommandTarget* getNextCommandTarget() override;
    void getAllCommands (juce::Array<juce::CommandID>& commands) override;
    void getCommandInfo (juce::CommandID commandID, juce::ApplicationCommandInfo& result) override;
    bool perform (const juce::ApplicationCommandTarget::InvocationInfo& info) override;

protected:
    /** Called at the end of every rebuild(), once the new views are in place (not for the one
        the constructor makes, before a derived pane exists).
    */
    virtual void viewsRebuilt() {}

private:
    friend class ModuleGUI;

    void removeAllViews();

    ModulePaneModel& model;
    juce::LassoComponent<ModuleGUI*> lasso;
    juce::Array<ModuleGUI*> views;
    juce::SelectedItemSet<ModuleGUI*> selection;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ModulePane)
};

} // namespace brisquell
