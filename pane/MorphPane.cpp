// SPDX-License-Identifier: GPL-3.0-or-later
#include "pane/MorphPane.h"
#include "pane/MenuPlacement.h"
#include "pane/SceneGUI.h"

#include <algorithm>
#include <cmath>

namespace brisquell
{

namespace
{
    //==============================================================================
    /** The refresh-rate dialog's content. Whichever way the dialog closes, it is deleted with
        its content, and the rate the slider shows then goes into the model.
    */
    class RefreshRateSlider final : public juce::Slider
    {
    public:
        explicit RefreshRateSlider (Brisquell& owner) : juce::Slider (juce::String()), model (owner)
        {
            setRange ((double) Brisquell::minRefreshRate, (double) Brisquell::maxRefreshRate, 1.0);
            setValue ((double) model.getRefreshRate(), juce::dontSendNotification);
            setSize (200, 25);
        }

        ~RefreshRateSlider() override
        {
            model.setRefreshRate ((int) getValue());
        }

    private:
        Brisquell& model;

        JUCE_DECLARE_NON_COPYABLE (RefreshRateSlider)
    };

    const juce::Colour targetColour (0xffff0000);
} // namespace

//==============================================================================
GlideSettings::GlideSettings (Brisquell& owner) : model (owner)
{
    timeSlider.setRange (0.0, Brisquell::maxGlideTime, 0.001);
    // Most glides last a few seconds: the middle of the slider is 2 s.
    timeSlider.setSkewFactorFromMidPoint (2.0);
    timeSlider.setTextValueSuffix (" s");
    timeSlider.setValue (model.getGlideTime(), juce::dontSendNotification);
    addAndMakeVisible (timeSlider);

    shapeBox.addItem ("linear", linearId);
    shapeBox.addItem ("smooth", smoothId);
    shapeBox.setSelectedId (model.getGlideShape() == GlideShape::smooth ? smoothId : linearId, juce::dontSendNotification);
    addAndMakeVisible (shapeBox);

    setSize (240, 55);
}

GlideSettings::~GlideSettings()
{
    model.setGlideTime (timeSlider.getValue());
    model.setGlideShape (shapeBox.getSelectedId() == smoothId ? GlideShape::smooth : GlideShape::linear);
}

void GlideSettings::resized()
{
    auto area = getLocalBounds();
    timeSlider.setBounds (area.removeFromTop (25));
    shapeBox.setBounds (area.reduced (4, 3));
}

//==============================================================================
MorphPaneModel::MorphPaneModel (Brisquell& owner) : model (owner) {}

MorphPaneModel::~MorphPaneModel()
{
    // Closing the dialogs here writes their settings while the model surely still exists.
    delete refreshRateDialog.getComponent();
    delete glideDialog.getComponent();
}

juce::String MorphPaneModel::describeGlide (double seconds, GlideShape shape)
{
    if (! (seconds > 0.0))
        return "Glide:off";

    return "Glide:" + juce::String (seconds, 3).trimCharactersAtEnd ("0").trimCharactersAtEnd (".") + " s "
           + (shape == GlideShape::smooth ? "smooth" : "linear");
}

//==============================================================================
juce::PopupMenu MorphPaneModel::createMenu() const
{
    juce::PopupMenu menu;
    menu.addItem (addSceneItem, "add scene");
    menu.addItem (newRandomSceneItem, "new random scene");
    menu.addItem (addControllerItem, "add controller");
    menu.addSeparator();
    menu.addItem (refreshRateItem, "Midi Out Refresh Rate:" + juce::String (model.getRefreshRate()));
    menu.addItem (autoLearnItem, "auto-learn Controller", true, model.isAutoLearn());
    menu.addItem (autoKeyItem, "auto-key Scene", true, model.isAutoKey());
    menu.addSeparator();
    menu.addItem (auditItem, "audit selected Scene", true, model.isAudit());
    addMixItems (menu);
    menu.addItem (selectAllItem, "select all");
    menu.addSeparator();

    const auto learning = model.getLearnRequest();
    menu.addItem (learnCursorXItem, "learn cursor X from MIDI", true, learning == LearnRequest::cursor (0));
    menu.addItem (learnCursorYItem, "learn cursor Y from MIDI", true, learning == LearnRequest::cursor (1));
    menu.addItem (forgetCursorMidiItem, "forget cursor MIDI");
    menu.addItem (glideItem, describeGlide (model.getGlideTime(), model.getGlideShape()));
    menu.addSeparator();
    menu.addItem (midiThroughItem, "pass other MIDI through", true, model.isMidiThrough());
    menu.addItem (reportCursorItem, "report cursor moves to the host", true, model.isReportingCursorMoves());
    menu.addSeparator();
    addScaleItems (menu);
    return menu;
}

void MorphPaneModel::addScaleItems (juce::PopupMenu& menu) const
{
    const auto current = model.getEditorScale();
    juce::PopupMenu scale;
    scale.addItem (followHostScaleItem, "follow the host", true, current == 0);

    for (auto percent : menuScales)
        scale.addItem (scaleItemBase + percent, juce::String (percent) + " %", true, percent == current);

    menu.addSubMenu ("scale", scale);
}

void MorphPaneModel::chooseScale (int percent)
{
    model.setEditorScale (percent);

    if (onScaleChosen != nullptr)
        onScaleChosen();
}

void MorphPaneModel::addMixItems (juce::PopupMenu& menu) const
{
    const auto current = model.getSharpness();
    juce::PopupMenu sharpness;

    for (const auto& [p, text] : { std::pair<int, const char*>{ 1, "1 (smooth)" }, { 2, "2" }, { 4, "4 (sharp)" } })
        sharpness.addItem (sharpnessItemBase + p, text, true, p == current);

    menu.addSubMenu ("sharpness", sharpness);
}

void MorphPaneModel::menuItemChosen (int itemId, juce::Point<int> clickPosition)
{
    switch (itemId)
    {
        case addSceneItem:
            addSceneAt (clickPosition);
            break;

        case addControllerItem:
            model.addNextController();
            break;

        case refreshRateItem:
            launchDialog (refreshRateDialog, [this]
                          { return new RefreshRateSlider (model); });
            break;

        case glideItem:
            launchDialog (glideDialog, [this]
                          { return new GlideSettings (model); });
            break;

        case learnCursorXItem:
            toggleLearning (LearnRequest::cursor (0));
            break;

        case learnCursorYItem:
            toggleLearning (LearnRequest::cursor (1));
            break;

        case forgetCursorMidiItem:
            model.forgetCursorSources();
            break;

        case autoLearnItem:
            model.setAutoLearn (! model.isAutoLearn());
            break;

        case autoKeyItem:
            model.setAutoKey (! model.isAutoKey());
            break;

        case auditItem:
            model.setAudit (! model.isAudit());
            break;

        case midiThroughItem:
            model.setMidiThrough (! model.isMidiThrough());
            break;

        case reportCursorItem:
            model.setReportingCursorMoves (! model.isReportingCursorMoves());
            break;

        case selectAllItem:
            if (auto* shown = getPane())
                shown->perform (juce::ApplicationCommandTarget::InvocationInfo (ModulePane::selectAllCommand));
            break;

        case newRandomSceneItem:
            model.keyRandomSceneAtCursor();
            break;

        case followHostScaleItem:
            chooseScale (0);
            break;

        default:
            if (std::find (std::begin (menuScales), std::end (menuScales), itemId - scaleItemBase) != std::end (menuScales))
                chooseScale (itemId - scaleItemBase);
            else if (Brisquell::isValidSharpness (itemId - sharpnessItemBase))
                model.setSharpness (itemId - sharpnessItemBase);

            break;
    }
}

void MorphPaneModel::showMenu (juce::Point<int> clickPosition)
{
    auto options = juce::PopupMenu::Options();
    juce::Component::SafePointer<ModulePane> shown (getPane());

    if (shown != nullptr)
        options = options.withTargetComponent (shown.getComponent());

    juce::WeakReference<MorphPaneModel> self (this);

    createMenu().showMenuAsync (atThePointer (options),
                                [self, shown, clickPosition] (int result)
                                {
                                    repaintAfterMenu (shown.getComponent());

                                    // The editor may have closed while the menu was open.
                                    if (result != 0 && self != nullptr && shown != nullptr)
                                        self->menuItemChosen (result, clickPosition);
                                });
}

void MorphPaneModel::addSceneAt (juce::Point<int> clickPosition)
{
    // The click goes through the pane's origin and zoom, as a drag would, so the new scene's
    // view has its top-left corner where the user clicked.
    const auto position = getPane() != nullptr ? getPane()->pixelToModel (clickPosition) : clickPosition;

    auto scene = std::make_unique<Scene> (model);
    scene->setPosition ((float) position.x, (float) position.y);
    model.addScene (std::move (scene));
}

void MorphPaneModel::toggleLearning (LearnRequest request)
{
    model.requestLearn (model.getLearnRequest() == request ? LearnRequest() : request);
}

void MorphPaneModel::launchDialog (juce::Component::SafePointer<juce::DialogWindow>& dialog, std::function<juce::Component*()> makeContent)
{
    if (auto* open = dialog.getComponent())
    {
        open->toFront (true);
        return;
    }

    juce::DialogWindow::LaunchOptions options;
    options.content.setOwned (makeContent());
    options.dialogTitle = juce::String();
    options.componentToCentreAround = getPane();
    options.escapeKeyTriggersCloseButton = true;
    options.resizable = false;
    dialog = options.launchAsync();
}

//==============================================================================
std::unique_ptr<ModuleGUI> MorphPaneModel::createModuleGUI (int index)
{
    if (auto* scene = model.getScene (index))
        return std::make_unique<SceneGUI> (*scene, sceneMenu);

    return nullptr;
}

int MorphPaneModel::getNumModules()
{
    return model.getNumScenes();
}

void MorphPaneModel::mouseDown (const juce::MouseEvent&)
{
}

void MorphPaneModel::mouseUp (const juce::MouseEvent& event)
{
    if (event.mods.isRightButtonDown())
        showMenu (event.getPosition());
}

Module* MorphPaneModel::getModule (int index)
{
    return model.getScene (index);
}

void MorphPaneModel::selectionChanged (const juce::Array<ModuleGUI*>& selectedViews)
{
    juce::Array<Scene*> scenes;

    for (auto* view : selectedViews)
        if (auto* scene = dynamic_cast<Scene*> (view->getModule()))
            scenes.add (scene);

    // The selection arrives asynchronously. When the scene list changed after the views were
    // made (MIDI keyed a scene on the audio thread, say), it is outdated: handed on, it would
    // replace the newer scene's selection and the next incoming values would land in an older
    // scene. The rebuild that the scene list's notification brings selects anew.
    const juce::ScopedLock sl (model.getLock());

    if (auto* shown = getPane())
    {
        if (shown->getNumViews() != model.getNumScenes())
            return;

        for (int i = 0; i < shown->getNumViews(); ++i)
            if (shown->getView (i)->getModule() != model.getScene (i))
                return;
    }

    model.setSelectedScenes (scenes);
}

//==============================================================================
/** Hears of the model's learn requests and the cursor's glides for the pane (the pane's own
    change callback belongs to its selection).
*/
class MorphPane::ModelWatcher final : public juce::ChangeListener
{
public:
    explicit ModelWatcher (MorphPane& p) : pane (p)
    {
        pane.model.addChangeListener (this);
    }

    ~ModelWatcher() override
    {
        pane.model.removeChangeListener (this);
    }

    void changeListenerCallback (juce::ChangeBroadcaster* source) override
    {
        if (source == pane.model.getMidiControlSubject() || source == &pane.model.getCursor())
            pane.updateFromModel();
    }

private:
    MorphPane& pane;
};

MorphPane::MorphPane (Brisquell& owner, MorphPaneModel& paneModel)
    : ModulePane (paneModel),
      model (owner)
{
    showModelSelection();

    learnHint.setInterceptsMouseClicks (false, false);
    learnHint.setFont (juce::Font (12.0f));
    learnHint.setColour (juce::Label::textColourId, targetColour);
    addAndMakeVisible (learnHint);

    modelWatcher = std::make_unique<ModelWatcher> (*this);
    updateFromModel();
    updateSceneLooks();
    startTimerHz (looksFramesPerSecond);
}

MorphPane::~MorphPane()
{
    modelWatcher.reset();
    stopTimer();
}

void MorphPane::showModelSelection()
{
    const auto selected = model.getSelectedScenes();

    if (selected.isEmpty())
        getLassoSelection().deselectAll();

    for (int i = 0; i < selected.size(); ++i)
        selectItem (model.indexOfScene (selected.getUnchecked (i)), i == 0);
}

juce::String MorphPane::describeLearnRequest (LearnRequest request)
{
    switch (request.kind)
    {
        case LearnRequest::Kind::cursorX:
            return "waiting for MIDI: cursor X";
        case LearnRequest::Kind::cursorY:
            return "waiting for MIDI: cursor Y";
        case LearnRequest::Kind::trigger:
            return "waiting for MIDI: scene trigger";
        case LearnRequest::Kind::none:
            break;
    }

    return {};
}

void MorphPane::updateFromModel()
{
    learnHint.setText (describeLearnRequest (model.getLearnRequest()), juce::dontSendNotification);

    const auto glide = model.getGlide();
    const auto target = glide.isRunning ? std::optional<juce::Point<float>> (glide.target) : std::nullopt;

    if (target != shownTarget)
    {
        // The marker's old place and its new one; the rest of the pane stays as it is.
        if (const auto marker = getGlideTargetMarker())
            repaint (*marker);

        shownTarget = target;

        if (const auto marker = getGlideTargetMarker())
            repaint (*marker);
    }
}

std::optional<juce::Rectangle<int>> MorphPane::getGlideTargetMarker() const
{
    if (! shownTarget)
        return std::nullopt;

    // The marker sits where the cursor's view will stand when it arrives.
    return modelToPixels ({ (int) shownTarget->x, (int) shownTarget->y, ModuleGUI::viewSize, ModuleGUI::viewSize });
}

void MorphPane::paint (juce::Graphics& g)
{
    if (const auto marker = getGlideTargetMarker())
    {
        const auto area = marker->toFloat();
        const auto centre = area.getCentre();

        g.setColour (targetColour);
        g.drawEllipse (area.reduced (6.0f), 2.0f);
        g.drawLine (centre.x, area.getY() + 2.0f, centre.x, area.getBottom() - 2.0f, 1.0f);
        g.drawLine (area.getX() + 2.0f, centre.y, area.getRight() - 2.0f, centre.y, 1.0f);
    }
}

void MorphPane::resized()
{
    ModulePane::resized();
    learnHint.setBounds (0, getHeight() - 20, getWidth(), 20);
}

void MorphPane::updateSceneLooks()
{
    // The version is read first: a change made while the looks are fetched is fetched again.
    shownLooksVersion = model.getSceneLooksVersion();
    const auto looks = model.getSceneLooks();

    for (int i = 0; i < getNumViews(); ++i)
    {
        auto* view = dynamic_cast<SceneGUI*> (getView (i));

        if (view == nullptr)
            continue;

        // Views made before the scene list changed wait for the rebuild its notification brings.
        if (juce::isPositiveAndBelow (i, looks.size()) && looks[(size_t) i].scene == &view->getScene())
            view->showLook (looks[(size_t) i]);
        else
            shownLooksVersion = 0;
    }
}

void MorphPane::viewsRebuilt()
{
    updateSceneLooks();
}

void MorphPane::timerCallback()
{
    if (model.getSceneLooksVersion() != shownLooksVersion)
        updateSceneLooks();
}

//==============================================================================
CursorGUI::CursorGUI (Cursor& cursorToShow)
    : ModuleGUI (&cursorToShow),
      cursor (cursorToShow)
{
    setAlwaysOnTop (true);
    cursor.addChangeListener (this);
}

CursorGUI::~CursorGUI()
{
    cursor.removeChangeListener (this);
}

juce::Point<float> CursorGUI::getShownPosition() const
{
    const auto& model = cursor.getModel();

    if (const auto glide = model.getGlide(); glide.isRunning)
        return Brisquell::clampToCursorRange (glide.getPositionAt (model.getSampleTime()));

    return cursor.getPosition();
}

juce::Rectangle<int> CursorGUI::getModelBounds() const
{
    if (cursor.getModel().isGliding())
    {
        const auto position = getShownPosition();
        return { (int) juce::jlimit (-1.0e9f, 1.0e9f, position.x), (int) juce::jlimit (-1.0e9f, 1.0e9f, position.y), viewSize, viewSize };
    }

    return ModuleGUI::getModelBounds();
}

void CursorGUI::setModelBounds (const juce::Rectangle<int>&)
{
    if (auto* shownOn = getCanvas())
        cursor.setPosition (((float) getX() - shownOn->getOriginX()) / shownOn->getXZoom(),
                            ((float) getY() - shownOn->getOriginY()) / shownOn->getYZoom());
}

//==============================================================================
void CursorGUI::mouseDown (const juce::MouseEvent& event)
{
    if (auto* parent = getParentComponent())
    {
        startDragging (event.getEventRelativeTo (parent));
        cursor.getModel().cursorDragBegan();
    }
}

void CursorGUI::mouseDrag (const juce::MouseEvent& event)
{
    if (auto* parent = getParentComponent())
    {
        dragAndWriteBack (event.getEventRelativeTo (parent));
        cursor.getModel().cursorPerformed (3);
    }
}

void CursorGUI::mouseUp (const juce::MouseEvent&)
{
    stopDragging();
    cursor.getModel().cursorDragEnded();
}

void CursorGUI::paint (juce::Graphics& g)
{
    // The bounds lie on whole model units; the cross hair goes where the cursor really is.
    if (auto* shownOn = getCanvas())
    {
        const auto position = getShownPosition();
        const auto exactX = shownOn->getOriginX() + position.x * shownOn->getXZoom() - (float) getX();
        const auto exactY = shownOn->getOriginY() + position.y * shownOn->getYZoom() - (float) getY();

        // Less than a model unit from the bounds; anything else is a view not yet laid out anew.
        if (std::abs (exactX) <= shownOn->getXZoom() + 1.0f && std::abs (exactY) <= shownOn->getYZoom() + 1.0f)
            g.addTransform (juce::AffineTransform::translation (exactX, exactY));
    }

    const auto w = (float) getWidth(), h = (float) getHeight();
    const auto halfW = (float) (getWidth() / 2), halfH = (float) (getHeight() / 2);

    // A white halo one pixel wide on each side of the cross hair keeps it visible on a scene's
    // black disc and across a selected scene's red ring.
    g.setColour (juce::Colour (0xffffffff));
    g.drawLine (halfW, 0.0f, halfW, h, 2.0f + 2.0f * haloWidth);
    g.drawLine (0.0f, halfH, w, halfH, 2.0f + 2.0f * haloWidth);

    g.setColour (juce::Colour (0xff000000));
    g.drawLine (halfW, 0.0f, halfW, h, 2.0f);
    g.drawLine (0.0f, halfH, w, halfH, 2.0f);
    g.drawEllipse (6.0f, 6.0f, w - 12.0f, h - 12.0f, 2.0f);

    g.setColour (juce::Colour (0xffffffff));
    g.drawEllipse (5.0f, 5.0f, w - 10.0f, h - 10.0f, 4.0f);
}

//==============================================================================
void CursorGUI::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    if (source != static_cast<juce::ChangeBroadcaster*> (&cursor))
        return;

    updateBoundsFromModel();

    if (cursor.getModel().isGliding() && ! isTimerRunning())
        startTimerHz (glideFramesPerSecond);
}

void CursorGUI::timerCallback()
{
    updateBoundsFromModel();

    if (! cursor.getModel().isGliding())
        stopTimer();
}

} // namespace brisquell
