// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/BrisquellGUI.h"
#include "editor/WindowManagerAtoms.h"

#include "plugin/BrisquellPlugInInterface.h"

namespace brisquell
{

namespace
{
std::atomic<int> numLiveEditors{ 0 };
} // namespace

//==============================================================================
BrisquellGUI::BrisquellGUI (BrisquellPlugInInterface& owner)
    : juce::AudioProcessorEditor (owner),
      model (owner.getModel())
{
    ++numLiveEditors;
    model.addChangeListener (this);

    // Before any of the editor's windows exists (the host's own, or a dialog's).
    ensureWindowManagerAtoms();

    const auto size = model.getEditorSize();

    paneModel = std::make_unique<MorphPaneModel> (model);
    morphPane = std::make_unique<MorphPane> (model, *paneModel);
    addAndMakeVisible (*morphPane);
    morphPane->addItem (new CursorGUI (model.getCursor()));

    controllerList = std::make_unique<ControllerList> (model);
    controlsBox = std::make_unique<juce::ListBox> ("controls", controllerList.get());
    addAndMakeVisible (*controlsBox);
    controlsBox->setRowHeight (rowHeight);
    controlsBox->getVerticalScrollBar().setAutoHide (false);

    resizer = std::make_unique<juce::ResizableBorderComponent> (this, nullptr);
    addAndMakeVisible (*resizer);

    morphPane->restoreViewState (model.getMorphPaneState());
    paneModel->onScaleChosen = [this]
    { applyScale(); };

    setWantsKeyboardFocus (true);
    grabKeyboardFocus();

    // Hosts may resize the editor from their own window's frame, as its border does: a VST3 host
    // asks whether it can and for the limits. Setting them here leaves the stored size as it is.
    setResizable (true, false);
    getConstrainer()->setSizeLimits (HostWindowFollower::minimumSize, HostWindowFollower::minimumSize, maxSize, maxSize);

    setSize (juce::jlimit (0, maxSize, size.x), juce::jlimit (0, maxSize, size.y));

    // A host that keeps the X focus on its own window still hands the keys to the editor's.
    entryKeyRouter = std::make_unique<EntryKeyRouter> (*this);

    // The VST 2.4 client leaves a host's own window size unnoticed (see HostWindowFollower).
    if (owner.wrapperType == juce::AudioProcessor::wrapperType_VST)
        hostWindowFollower = std::make_unique<HostWindowFollower> (*this, maxSize);

    // Hosts give their scale after this (the framework's clients always call setScaleFactor);
    // an app's window gets the chosen or the display's scale from here.
    applyScale();
}

BrisquellGUI::~BrisquellGUI()
{
    if (auto* owner = dynamic_cast<BrisquellPlugInInterface*> (&processor))
        owner->editorClosed();

    entryKeyRouter.reset();
    hostWindowFollower.reset();
    model.setMorphPaneState (morphPane->createViewState());
    model.removeChangeListener (this);

    morphPane.reset();
    controlsBox.reset();
    resizer.reset();
    paneModel.reset();
    controllerList.reset();

    --numLiveEditors;
}

int BrisquellGUI::getNumLiveEditors() noexcept
{
    return numLiveEditors.load();
}

//==============================================================================
void BrisquellGUI::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xffffffff));
}

void BrisquellGUI::resized()
{
    const auto w = getWidth(), h = getHeight();

    resizer->setBounds (0, 0, w, h);
    controlsBox->setBounds (0, 0, listWidth, h);
    morphPane->setBounds (controlsBox->getWidth(), 0, juce::jmax (0, w - listWidth), h);

    model.setEditorSize (w, h);
}

void BrisquellGUI::moved()
{
    if (getParentComponent() != nullptr && getPosition() != juce::Point<int>())
        setTopLeftPosition (0, 0);
}

void BrisquellGUI::parentHierarchyChanged()
{
    applyScale();
}

void BrisquellGUI::parentSizeChanged()
{
    repaint();
}

//==============================================================================
float BrisquellGUI::chooseScale (int chosenPercent, float hostScale, float displayScale) noexcept
{
    if (chosenPercent > 0)
        return (float) chosenPercent / 100.0f;

    if (hostScale > 0.0f && std::isfinite (hostScale) && hostScale != 1.0f)
        return hostScale;

    return displayScale > 0.0f && std::isfinite (displayScale) ? displayScale : 1.0f;
}

float BrisquellGUI::findDisplayScale() const
{
    const auto& desktop = juce::Desktop::getInstance();
    const auto& displays = desktop.getDisplays();
    const auto* display = getPeer() != nullptr ? displays.getDisplayForRect (getScreenBounds()) : displays.getPrimaryDisplay();

    if (display == nullptr)
        return 1.0f;

    if (juce::JUCEApplicationBase::isStandaloneApp())
        return (float) display->scale / desktop.getGlobalScaleFactor();

    return juce::jlimit (1.0f, maxDisplayScale, (float) std::round (display->dpi / 96.0));
}

void BrisquellGUI::setScaleFactor (float newScale)
{
    hostScale = newScale;
    const juce::ScopedValueSetter<bool> fromHost (isTakingHostScale, true);
    applyScale();
}

void BrisquellGUI::applyScale()
{
    effectiveScale = juce::jlimit (0.25f, maxDisplayScale, chooseScale (model.getEditorScale(), hostScale, findDisplayScale()));

    // What the window around the editor is scaled by already (an app's own window on a display
    // the framework scales) is not applied twice.
    auto outerScale = 1.0f;

    if (auto* parent = getParentComponent())
        outerScale = juce::Component::getApproximateScaleFactorForComponent (parent);

    if (auto* peer = getPeer())
        outerScale *= (float) peer->getPlatformScaleFactor();

    const auto transformScale = effectiveScale / (outerScale > 0.0f ? outerScale : 1.0f);

    if (getTransform() == juce::AffineTransform::scale (transformScale))
        return;

    juce::AudioProcessorEditor::setScaleFactor (transformScale);

    // The framework's LV2 client hears only of the editor's changes of size, not of its scale
    // (but for the host's own, which it passes on and answers itself): one asks it for the
    // window's new size.
    if (! isTakingHostScale && processor.wrapperType == juce::AudioProcessor::wrapperType_LV2)
    {
        const auto bounds = getBounds();
        setBounds (bounds.withWidth (bounds.getWidth() + 1));
        setBounds (bounds);
    }
}

//==============================================================================
juce::ApplicationCommandTarget* BrisquellGUI::getNextCommandTarget() { return nullptr; }
void BrisquellGUI::getAllCommands (juce::Array<juce::CommandID>&) {}
void BrisquellGUI::getCommandInfo (juce::CommandID, juce::ApplicationCommandInfo&) {}
bool BrisquellGUI::perform (const juce::ApplicationCommandTarget::InvocationInfo&) { return true; }

//==============================================================================
void BrisquellGUI::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    if (source == model.getSelectionSubject() || source == &model.getCursor())
        return;

    if (source == model.getSceneListSubject())
    {
        morphPane->rebuild();

        // A restored document may carry another scale.
        applyScale();

        // A selection that a restored document carried is the user's, left as it was saved.
        // Otherwise the last scene is chosen; the views just made, one per scene, tell the
        // scene count the pane saw.
        if (model.isSelectionRestored())
            morphPane->showModelSelection();
        else if (const auto numScenes = morphPane->getNumViews(); numScenes > 0)
            morphPane->selectItem (numScenes - 1, true);
    }
    else if (source == model.getControllerListSubject())
    {
        controlsBox->updateContent();
    }
}

} // namespace brisquell
