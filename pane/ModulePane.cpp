// SPDX-License-Identifier: GPL-3.0-or-later
#include "pane/ModulePane.h"

#include <cmath>
#include <limits>

namespace brisquell
{

namespace
{
    // Truncates toward zero with a defined result for every float: NaN gives 0 and values
    // beyond the int range saturate (a plain cast would be undefined there).
    int truncateToInt (float value) noexcept
    {
        if (! std::isfinite (value))
            return std::isnan (value) ? 0 : (value > 0.0f ? std::numeric_limits<int>::max()
                                                           : std::numeric_limits<int>::min());

        const auto truncated = std::trunc ((double) value);

        if (truncated >= (double) std::numeric_limits<int>::max())
            return std::numeric_limits<int>::max();

        if (truncated <= (double) std::numeric_limits<int>::min())
            return std::numeric_limits<int>::min();

        return (int) truncated;
    }

    const juce::Colour black (0xff000000);
    const juce::Colour red (0xffff0000);
} // namespace

//==============================================================================
ModuleGUI::ModuleGUI (Module* moduleToShow) : module (moduleToShow) {}

ModuleGUI::~ModuleGUI() = default;

bool ModuleGUI::isSelected() const
{
    return pane != nullptr && pane->selection.isSelected (const_cast<ModuleGUI*> (this));
}

void ModuleGUI::selectByModifiers (const juce::ModifierKeys& mods)
{
    if (pane == nullptr)
        return;

    auto& selection = pane->selection;

    if (mods.isShiftDown())
    {
        selection.addToSelection (this);
    }
    else if (mods.isCtrlDown())
    {
        if (selection.isSelected (this))
            selection.deselect (this);
        else
            selection.addToSelection (this);
    }
    else if (selection.isSelected (this))
    {
        for (int i = selection.getNumSelected(); --i >= 0;)
            if (auto* other = selection.getSelectedItem (i); other != this)
                selection.deselect (other);
    }
    else
    {
        selection.deselectAll();
        selection.addToSelection (this);
    }
}

void ModuleGUI::startDragging (const juce::MouseEvent& press)
{
    dragger.startDraggingComponent (this, press);
    isDragging = true;
}

void ModuleGUI::dragAndWriteBack (const juce::MouseEvent& drag)
{
    if (! isDragging)
        return;

    dragger.dragComponent (this, drag, nullptr);
    updateModelFromBounds();
}

//==============================================================================
void ModuleGUI::mouseDown (const juce::MouseEvent& event)
{
    if (module != nullptr)
        module->mouseDown (event);

    auto* parent = getParentComponent();

    if (! event.mods.isLeftButtonDown() || pane == nullptr || parent == nullptr)
        return;

    if (isSelected())
    {
        wasSelectedAtPress = ! event.mods.isRightButtonDown();
    }
    else
    {
        selectByModifiers (event.mods);
        wasSelectedAtPress = false;
    }

    pressInCanvas = event.getEventRelativeTo (parent).position;
    toFront (false);

    // Every view of the group keeps its own starting point. The press is taken in the canvas's
    // coordinates, which do not move while the views do.
    const auto pressOnCanvas = event.getEventRelativeTo (parent);

    for (auto* view : pane->selection.getItemArray())
        view->startDragging (pressOnCanvas);
}

void ModuleGUI::mouseDrag (const juce::MouseEvent& event)
{
    if (module != nullptr)
        module->mouseDrag (event);

    auto* parent = getParentComponent();

    if (! event.mods.isLeftButtonDown() || pane == nullptr || parent == nullptr)
        return;

    // Converted once, before any view moves: this view moving would shift later conversions.
    const auto dragOnCanvas = event.getEventRelativeTo (parent);
    const auto group = pane->selection.getItemArray();

    for (auto* view : group)
        view->dragAndWriteBack (dragOnCanvas);
}

void ModuleGUI::mouseUp (const juce::MouseEvent& event)
{
    if (module != nullptr)
        module->mouseUp (event);

    auto* parent = getParentComponent();

    if (pane != nullptr)
        for (auto* view : pane->views)
            view->stopDragging();

    const bool wasSelected = wasSelectedAtPress;
    wasSelectedAtPress = false;

    if (! event.mods.isLeftButtonDown() || pane == nullptr || parent == nullptr)
        return;

    // The view follows the pointer, so "not moved" is judged in the canvas's coordinates.
    const auto releaseInCanvas = event.getEventRelativeTo (parent).position;

    if (wasSelected && releaseInCanvas.roundToInt() == pressInCanvas.roundToInt())
        selectByModifiers (event.mods);
}

void ModuleGUI::paint (juce::Graphics& g)
{
    const auto area = getLocalBounds().toFloat();

    g.setColour (black);
    g.fillEllipse (area);

    if (isSelected())
    {
        g.setColour (red);
        g.drawEllipse (area, 2.0f);
    }
}

//==============================================================================
juce::Rectangle<int> ModuleGUI::getModelBounds() const
{
    if (module == nullptr)
        return { 0, 0, viewSize, viewSize };

    const auto position = module->getPosition();
    return { truncateToInt (position.x), truncateToInt (position.y), viewSize, viewSize };
}

void ModuleGUI::setModelBounds (const juce::Rectangle<int>& modelBounds)
{
    if (module != nullptr)
        module->setPosition ((float) modelBounds.getX(), (float) modelBounds.getY());
}

//==============================================================================
ModulePane::ModulePane (ModulePaneModel& paneModel) : model (paneModel)
{
    model.setPane (this);
    rebuild();
    selection.addChangeListener (this);
    addAndMakeVisible (lasso);
}

ModulePane::~ModulePane()
{
    selection.removeChangeListener (this);

    if (model.getPane() == this)
        model.setPane (nullptr);

    // The selection must not outlive the views as a list of dangling pointers; the canvas
    // deletes the views themselves.
    selection.deselectAll();
    removeChildComponent (&lasso);
}

//==============================================================================
void ModulePane::rebuild()
{
    selection.deselectAll();
    removeAllViews();

    for (int i = 0; i < model.getNumModules(); ++i)
    {
        auto view = model.createModuleGUI (i);

        if (view == nullptr)
            view = std::make_unique<ModuleGUI> (model.getModule (i));

        auto* added = view.release();
        views.add (added);
        added->pane = this;
        addItem (added);
    }

    updateItems();
    viewsRebuilt();
}

void ModulePane::removeAllViews()
{
    while (! views.isEmpty())
    {
        auto* view = views.removeAndReturn (0);
        view->pane = nullptr;
        removeItem (view);
    }
}

void ModulePane::selectItem (int index, bool deselectOthersFirst)
{
    if (deselectOthersFirst)
        selection.deselectAll();

    if (auto* view = views[index])
        if (! selection.isSelected (view))
            selection.addToSelection (view);
}

void ModulePane::selectAll()
{
    for (int i = views.size(); --i >= 0;)
        if (auto* view = views.getUnchecked (i); ! selection.isSelected (view))
            selection.addToSelection (view);
}

//==============================================================================
void ModulePane::findLassoItemsInArea (juce::Array<ModuleGUI*>& results, const juce::Rectangle<int>& area)
{
    for (auto* view : views)
        if (area.contains (view->getBounds()))
            results.add (view);
}

juce::SelectedItemSet<ModuleGUI*>& ModulePane::getLassoSelection()
{
    return selection;
}

//==============================================================================
void ModulePane::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    if (source != &selection)
        return;

    repaint();
    model.selectionChanged (selection.getItemArray());
}

//==============================================================================
void ModulePane::mouseDown (const juce::MouseEvent& event)
{
    const auto onPane = event.getEventRelativeTo (this);
    model.mouseDown (onPane);

    if (onPane.mods.isLeftButtonDown())
    {
        if (! onPane.mods.isCtrlDown())
            selection.deselectAll();

        lasso.endLasso();
        lasso.toFront (false);
        lasso.beginLasso (onPane, this);
    }
    else if (onPane.mods.isMiddleButtonDown())
    {
        setMouseCursor (juce::MouseCursor::DraggingHandCursor);
        startDraggingOrigin (onPane);
    }
}

void ModulePane::mouseDrag (const juce::MouseEvent& event)
{
    const auto onPane = event.getEventRelativeTo (this);

    if (onPane.mods.isMiddleButtonDown())
        dragOrigin (onPane);
    else if (onPane.mods.isLeftButtonDown())
        lasso.dragLasso (onPane);
}

void ModulePane::mouseUp (const juce::MouseEvent& event)
{
    lasso.endLasso();
    model.mouseUp (event.getEventRelativeTo (this));
    setMouseCursor (juce::MouseCursor::NormalCursor);
}

void ModulePane::mouseWheelMove (const juce::MouseEvent& event, const juce::MouseWheelDetails& wheel)
{
    const auto onPane = event.getEventRelativeTo (this);
    const float factor = 1.0f + wheel.deltaY;
    zoomAt (factor, factor, (float) onPane.x, (float) onPane.y);
}

void ModulePane::paintOverChildren (juce::Graphics& g)
{
    g.setColour (black);
    g.drawRoundedRectangle (getLocalBounds().toFloat(), 2.0f, 2.0f);
}

//==============================================================================
juce::ApplicationCommandTarget* ModulePane::getNextCommandTarget()
{
    return nullptr;
}

void ModulePane::getAllCommands (juce::Array<juce::CommandID>& commands)
{
    commands.add (selectAllCommand);
}

void ModulePane::getCommandInfo (juce::CommandID, juce::ApplicationCommandInfo&)
{
}

bool ModulePane::perform (const juce::ApplicationCommandTarget::InvocationInfo& info)
{
    if (info.commandID != selectAllCommand)
        return false;

    selectAll();
    return true;
}

} // namespace brisquell
