#include "pane/MorphPane.h"
#include "pane/SceneGUI.h"

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
} // namespace

//==============================================================================
MorphPaneModel::MorphPaneModel (Brisquell& owner) : model (owner) {}

MorphPaneModel::~MorphPaneModel()
{
    // Closing the dialog here writes its rate while the model surely still exists.
    delete refreshRateDialog.getComponent();
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
    return menu;
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
            launchRefreshRateDialog();
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

        case selectAllItem:
            if (auto* shown = getPane())
                shown->perform (juce::ApplicationCommandTarget::InvocationInfo (ModulePane::selectAllCommand));
            break;

        case newRandomSceneItem:
            model.keyRandomSceneAtCursor();
            break;

        default:
            if (Brisquell::isValidSharpness (itemId - sharpnessItemBase))
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

    createMenu().showMenuAsync (options.withMousePosition(),
                                [self, shown, clickPosition] (int result)
                                {
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

void MorphPaneModel::launchRefreshRateDialog()
{
    if (auto* open = refreshRateDialog.getComponent())
    {
        open->toFront (true);
        return;
    }

    juce::DialogWindow::LaunchOptions options;
    options.content.setOwned (new RefreshRateSlider (model));
    options.dialogTitle = juce::String();
    options.componentToCentreAround = getPane();
    options.escapeKeyTriggersCloseButton = true;
    options.resizable = false;
    refreshRateDialog = options.launchAsync();
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
MorphPane::MorphPane (Brisquell& owner, MorphPaneModel& paneModel)
    : ModulePane (paneModel),
      model (owner)
{
    showModelSelection();
    updateSceneLooks();
    startTimerHz (looksFramesPerSecond);
}

MorphPane::~MorphPane()
{
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

//==============================================================================
void CursorGUI::mouseDown (const juce::MouseEvent& event)
{
    if (auto* parent = getParentComponent())
        startDragging (event.getEventRelativeTo (parent));
}

void CursorGUI::mouseDrag (const juce::MouseEvent& event)
{
    if (auto* parent = getParentComponent())
        dragAndWriteBack (event.getEventRelativeTo (parent));
}

void CursorGUI::mouseUp (const juce::MouseEvent&)
{
    stopDragging();
}

void CursorGUI::paint (juce::Graphics& g)
{
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
    if (source == static_cast<juce::ChangeBroadcaster*> (&cursor))
        updateBoundsFromModel();
}

} // namespace brisquell
