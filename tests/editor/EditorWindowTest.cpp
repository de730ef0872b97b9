// SPDX-License-Identifier: GPL-3.0-or-later
#include "GuiEvents.h"
#include "ModelHelpers.h"
#include "editor/BrisquellGUI.h"
#include "engine/document/DocumentElements.h"
#include "pane/SceneGUI.h"
#include "plugin/BrisquellPlugInInterface.h"
#include "support/MenuKeys.h"
#include "support/MessageLoop.h"

#include <gtest/gtest.h>

namespace brisquell
{
namespace
{

using test::addSceneAt;

/** A processor and, while open, its editor, as the host boundary makes and destroys it. */
struct EditorWindow : public ::testing::Test
{
    ~EditorWindow() override
    {
        test::dismissOpenMenus();
        editor.reset();
        model.deliverPendingNotifications();
    }

    BrisquellGUI& open()
    {
        editor = std::make_unique<BrisquellGUI> (processor);
        return *editor;
    }

    void close() { editor.reset(); }

    /** Lets the model's notifications and the pane's selection messages arrive. */
    void settle()
    {
        for (int i = 0; i < 3; ++i)
        {
            model.deliverPendingNotifications();
            test::runMessageLoopFor (10);
        }
    }

    juce::Rectangle<int> boundsOfList() const { return editor->getControlsBox().getBounds(); }
    juce::Rectangle<int> boundsOfPane() const { return editor->getMorphPane().getBounds(); }

    /** The view state the model holds, as text ("none" when it holds none). */
    juce::String heldViewState() const
    {
        const auto state = model.getMorphPaneState();
        return ! state ? juce::String ("none") : state::createPaneViewElement (*state)->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
    }

    BrisquellPlugInInterface processor;
    Brisquell& model{ processor.getModel() };
    std::unique_ptr<BrisquellGUI> editor;
};

TEST_F (EditorWindow, AFirstEditorIs300By300WithTheListBesideThePane)
{
    auto& gui = open();
    EXPECT_EQ (gui.getBounds(), juce::Rectangle<int> (0, 0, 300, 300));
    EXPECT_EQ (boundsOfList(), juce::Rectangle<int> (0, 0, 120, 300));
    EXPECT_EQ (boundsOfPane(), juce::Rectangle<int> (120, 0, 180, 300));
    EXPECT_EQ (gui.getResizer().getBounds(), gui.getLocalBounds());
    EXPECT_EQ (gui.getControlsBox().getName(), "controls");
    EXPECT_EQ (gui.getControlsBox().getRowHeight(), 24);
    EXPECT_TRUE (gui.getControlsBox().getVerticalScrollBar().isVisible()) << "shown even with no rows";

    // Back to front: pane, list, border.
    ASSERT_EQ (gui.getNumChildComponents(), 3);
    EXPECT_EQ (gui.getChildComponent (0), &gui.getMorphPane());
    EXPECT_EQ (gui.getChildComponent (1), &gui.getControlsBox());
    EXPECT_EQ (gui.getChildComponent (2), &gui.getResizer());
    EXPECT_EQ (gui.getMorphPane().getNumItems(), 1) << "the cursor view";
    EXPECT_EQ (gui.getMorphPane().getXZoom(), 1.0f) << "no stored view: the pane's start";
}

TEST_F (EditorWindow, BelowTheListsWidthThePaneHasNoWidth)
{
    auto& gui = open();
    gui.setSize (90, 200);
    EXPECT_EQ (boundsOfList(), juce::Rectangle<int> (0, 0, 120, 200)) << "cut off at the editor's edge";
    EXPECT_EQ (boundsOfPane(), juce::Rectangle<int> (120, 0, 0, 200));
    EXPECT_EQ (model.getEditorSize(), juce::Point<int> (90, 200));

    gui.setSize (0, 0);
    EXPECT_EQ (model.getEditorSize(), juce::Point<int> (0, 0));
}

TEST_F (EditorWindow, ReopensAtTheSizeAndViewItWasClosedWith)
{
    open().setSize (500, 400);
    editor->getMorphPane().zoomAt (2.0f, 2.0f, 10.0f, 10.0f);
    editor->getMorphPane().zoomAt (1.5f, 1.0f, 40.0f, 60.0f);
    const auto originX = editor->getMorphPane().getOriginX(), originY = editor->getMorphPane().getOriginY();
    const auto xZoom = editor->getMorphPane().getXZoom();
    close();

    EXPECT_EQ (model.getEditorSize(), juce::Point<int> (500, 400));
    EXPECT_NE (heldViewState(), "none");

    auto& again = open();
    EXPECT_EQ (again.getBounds(), juce::Rectangle<int> (0, 0, 500, 400));
    EXPECT_EQ (again.getMorphPane().getOriginX(), originX);
    EXPECT_EQ (again.getMorphPane().getOriginY(), originY);
    EXPECT_FLOAT_EQ (again.getMorphPane().getXZoom(), xZoom);
    EXPECT_FLOAT_EQ (again.getMorphPane().getYZoom(), 2.0f);
}

TEST_F (EditorWindow, TheStateSavedWhileClosedHoldsTheLastSizeAndView)
{
    open().setSize (420, 310);
    editor->getMorphPane().zoomAt (0.5f, 0.5f, 100.0f, 100.0f);
    close();

    juce::MemoryBlock chunk;
    processor.getStateInformation (chunk);

    BrisquellPlugInInterface restored;
    restored.setStateInformation (chunk.getData(), (int) chunk.getSize());
    EXPECT_EQ (restored.getModel().getEditorSize(), juce::Point<int> (420, 310));

    BrisquellGUI reopened (restored);
    EXPECT_EQ (reopened.getWidth(), 420);
    EXPECT_FLOAT_EQ (reopened.getMorphPane().getXZoom(), 0.5f);
    EXPECT_EQ (reopened.getMorphPane().getOriginX(), 50.0f);
}

TEST_F (EditorWindow, AfterEverySceneListChangeTheLastSceneIsTheOnlySelection)
{
    auto& gui = open();
    auto* first = addSceneAt (model, 0, 0);
    auto* second = addSceneAt (model, 60, 0);
    auto* third = addSceneAt (model, 120, 0);
    model.setSelectedScenes ({ first, second });
    settle();
    ASSERT_EQ (gui.getMorphPane().getNumViews(), 3);
    EXPECT_EQ (model.getSelectedScenes(), juce::Array<Scene*> ({ third }));

    model.deleteScene (third);
    settle();
    EXPECT_EQ (gui.getMorphPane().getNumViews(), 2);
    EXPECT_EQ (model.getSelectedScenes(), juce::Array<Scene*> ({ second }));

    model.setSelectedScenes ({ first });
    model.deleteScene (second);
    settle();
    EXPECT_EQ (model.getSelectedScenes(), juce::Array<Scene*> ({ first })) << "the last remaining, not a neighbour";

    model.deleteScene (first);
    settle();
    EXPECT_EQ (gui.getMorphPane().getNumViews(), 0);
    EXPECT_EQ (model.getNumSelectedScenes(), 0);
    EXPECT_EQ (gui.getMorphPane().getNumItems(), 1) << "the cursor view stays";
}

TEST_F (EditorWindow, TheScenesMenuDuplicatesAndTheViewsShowLabelsAndSharesOfTheWholeEditor)
{
    auto& gui = open();
    auto* cutoff = model.addController (74, 1);
    auto* scene = addSceneAt (model, 20, 20);
    cutoff->setValueInScene (90, *scene);
    scene->setName ("pad");
    settle();

    // A right click on the scene's view in the editor, then "duplicate" by keyboard.
    auto& pane = gui.getMorphPane();
    auto* view = dynamic_cast<SceneGUI*> (pane.getView (0));
    ASSERT_NE (view, nullptr);
    const auto centre = view->getLocalBounds().getCentre().toFloat();
    view->mouseDown (test::makeMouseEvent (*view, centre, test::rightButton(), centre));
    view->mouseUp (test::makeMouseEvent (*view, centre, test::rightButton(), centre));
    auto& sceneMenu = static_cast<MorphPaneModel&> (pane.getPaneModel()).getSceneMenu();
    ASSERT_TRUE (test::pickFromOpenMenu ({ test::reachablePositionOf (sceneMenu.create (*scene), "duplicate") }));
    ASSERT_TRUE (test::runMessageLoopUntil ([&]
                                            { return pane.getNumViews() == 2; }));
    settle();

    auto* copy = model.getScene (1);
    EXPECT_EQ (model.getSelectedScenes(), juce::Array<Scene*> ({ copy }));
    EXPECT_EQ (copy->getValueFor (*cutoff), 90);

    // Both views carry the name; the cursor at (0, 0) is nearer the original.
    auto* original = dynamic_cast<SceneGUI*> (pane.getView (0));
    auto* duplicate = dynamic_cast<SceneGUI*> (pane.getView (1));
    ASSERT_TRUE (original != nullptr && duplicate != nullptr);
    EXPECT_TRUE (test::runMessageLoopUntil ([&]
                                            { return duplicate->getLook().label == "pad" && duplicate->getLook().share > 0.0f; }));
    EXPECT_GT (original->getLook().share, duplicate->getLook().share);
    EXPECT_FLOAT_EQ (original->getLook().share + duplicate->getLook().share, 1.0f);
    EXPECT_TRUE (duplicate->isSelected());
}

TEST_F (EditorWindow, ASelectionFromAnOutdatedRebuildNeverReplacesANewerScene)
{
    auto& gui = open();
    auto* first = addSceneAt (model, 0, 0);
    model.deliverPendingNotifications(); // rebuild, and the pane selects the first scene's view

    // Before the pane's selection message arrives, MIDI keys a second scene on the audio thread:
    // it is the model's selection now, and incoming values are stored in it.
    auto* second = addSceneAt (model, 60, 0);
    const_cast<juce::SelectedItemSet<ModuleGUI*>&> (gui.getMorphPane().getSelection()).dispatchPendingMessages();
    EXPECT_EQ (model.getSelectedScenes(), juce::Array<Scene*> ({ second }));

    settle();
    EXPECT_EQ (model.getSelectedScenes(), juce::Array<Scene*> ({ second }));
    EXPECT_NE (first, second);
}

TEST_F (EditorWindow, OnlyControllerListChangesMakeTheRowsAnew)
{
    auto* controller = model.addController (10, 1);
    auto& gui = open();
    settle();
    juce::Component::SafePointer<juce::Component> row (gui.getControlsBox().getComponentForRowNumber (0));
    ASSERT_NE (row, nullptr);

    controller->setValue (40);
    controller->setName ("filter");
    controller->setCcNumber (11);
    model.notifyChange (controller);
    model.notifyChange (model.getSelectionSubject());
    model.getCursor().setPosition (30, 30);
    settle();
    EXPECT_EQ (row.getComponent(), gui.getControlsBox().getComponentForRowNumber (0)) << "the same row, refreshed";
    EXPECT_EQ (dynamic_cast<ControllerGUI*> (row.getComponent())->getCcNumberBox().getText(), "11");

    model.addNextController();
    settle();
    EXPECT_EQ (row, nullptr) << "replaced";
    EXPECT_NE (gui.getControlsBox().getComponentForRowNumber (1), nullptr);

    row = gui.getControlsBox().getComponentForRowNumber (1);
    model.removeController (model.getController (0));
    settle();
    EXPECT_EQ (row, nullptr);
    EXPECT_EQ (gui.getControlsBox().getComponentForRowNumber (1), nullptr);
}

TEST_F (EditorWindow, ADocumentRestoredWhileOpenRebuildsButKeepsTheEditorsSizeAndView)
{
    auto& gui = open();
    gui.setSize (400, 350);
    gui.getMorphPane().zoomAt (2.0f, 2.0f, 0.0f, 0.0f);
    settle();

    auto document = juce::parseXML (R"(<brisquell>
        <controllers><controller ccno="5" channel="2" name="five"/><controller ccno="6" channel="2" name="six"/></controllers>
        <scenes><scene x="10" y="10"/><scene x="100" y="40"/></scenes>
        <gui width="222" height="233"/>
        <morphpanestate xoff="7" yoff="8" xzoom="1.0" yzoom="1.0"/>
    </brisquell>)");
    ASSERT_NE (document, nullptr);
    model.restoreStateXml (std::move (document));
    settle();

    EXPECT_EQ (gui.getControlsBox().getComponentForRowNumber (1) != nullptr, model.getNumControllers() == 2);
    EXPECT_EQ (gui.getMorphPane().getNumViews(), model.getNumScenes());
    EXPECT_EQ (gui.getBounds(), juce::Rectangle<int> (0, 0, 400, 350)) << "the open editor keeps its size";
    EXPECT_FLOAT_EQ (gui.getMorphPane().getXZoom(), 2.0f) << "and its view";
    EXPECT_EQ (model.getEditorSize(), juce::Point<int> (222, 233)) << "until the next resize";

    gui.setSize (410, 350);
    close();
    EXPECT_EQ (model.getEditorSize(), juce::Point<int> (410, 350));
    EXPECT_TRUE (heldViewState().contains ("xzoom=\"2")) << heldViewState();
}

TEST_F (EditorWindow, AStoredSizeIsAppliedAsItIsWithinWhatAWindowCanShow)
{
    model.setEditorSize (0, 0);
    EXPECT_EQ (open().getBounds(), juce::Rectangle<int> (0, 0, 0, 0));
    close();

    model.setEditorSize (-40, 70000);
    EXPECT_EQ (open().getBounds(), juce::Rectangle<int> (0, 0, 0, BrisquellGUI::maxSize));
}

TEST_F (EditorWindow, DraggingTheLeftBorderInsideAHostWindowKeepsTheEditorAtTheTopLeft)
{
    juce::Component hostWindow;
    hostWindow.setSize (300, 300);
    hostWindow.addAndMakeVisible (open());

    juce::Component& border = editor->getResizer();
    const juce::Point<float> press (2.0f, 150.0f);
    border.mouseDown (test::makeMouseEvent (border, press, test::leftButton(), press));
    border.mouseDrag (test::makeMouseEvent (border, press.translated (-30, 0), test::leftButton(), press, true));
    EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (0, 0, 330, 300));
    border.mouseUp (test::makeMouseEvent (border, press.translated (-30, 0), juce::ModifierKeys(), press, true));
    hostWindow.removeChildComponent (editor.get());
}

TEST_F (EditorWindow, TwoHundredOpenAndCloseCyclesLeaveNothingBehind)
{
    for (int i = 0; i < 4; ++i)
        model.addController (i, 1);

    addSceneAt (model, 0, 0);
    addSceneAt (model, 80, 40);
    model.deliverPendingNotifications();
    const auto desktopComponents = juce::Desktop::getInstance().getNumComponents();

    for (int cycle = 0; cycle < 200; ++cycle)
    {
        juce::Component hostWindow;
        hostWindow.setSize (300, 300);
        hostWindow.addToDesktop (0);
        hostWindow.addAndMakeVisible (open());
        editor->getControlsBox().getComponentForRowNumber (0)->mouseUp (
            test::makeMouseEvent (*editor, { 10, 10 }, test::rightButton(), { 10, 10 }));
        model.getController (cycle % 4)->setValue (cycle % 128);
        model.deliverPendingNotifications();
        test::runMessageLoopFor (2);
        close();
        hostWindow.removeFromDesktop();
    }

    test::runMessageLoopFor (50);
    EXPECT_EQ (BrisquellGUI::getNumLiveEditors(), 0);
    EXPECT_EQ (SharedK4TZLook::getNumHolders(), 0);
    EXPECT_EQ (juce::Desktop::getInstance().getNumComponents(), desktopComponents) << "no window, menu or dialog left";
    EXPECT_EQ (dynamic_cast<K4TZLook*> (&juce::LookAndFeel::getDefaultLookAndFeel()), nullptr);
    EXPECT_EQ (model.getNumControllers(), 4) << "the model survives every close";
    EXPECT_GE (model.getNumScenes(), 2);
}

} // namespace
} // namespace brisquell

namespace brisquell
{
namespace
{
/** Runs one block of the processor with the messages at their offsets; answers what it sent. */
juce::MidiBuffer runBlock (BrisquellPlugInInterface& processor, std::initializer_list<std::pair<int, juce::MidiMessage>> input, int numSamples = 512)
{
    juce::AudioBuffer<float> audio (0, numSamples);
    juce::MidiBuffer midi;

    for (auto& [offset, message] : input)
        midi.addEvent (message, offset);

    processor.processBlock (audio, midi);
    return midi;
}

TEST_F (EditorWindow, WhatTheEditorAsksToLearnComesFromTheNextMessageTheProcessorGets)
{
    processor.setRateAndBufferSizeDetails (48000.0, 512);
    auto* scene = addSceneAt (model, 200, 200);
    model.setSelectedScenes ({});
    auto& gui = open();
    auto& paneModel = dynamic_cast<MorphPaneModel&> (gui.getMorphPane().getPaneModel());
    settle();

    paneModel.menuItemChosen (MorphPaneModel::learnCursorYItem, {});
    scene->menuItemChosen (Scene::learnTriggerItem);
    settle();
    EXPECT_EQ (gui.getMorphPane().getLearnHint(), "waiting for MIDI: scene trigger") << "the later request stands";

    runBlock (processor, { { 100, juce::MidiMessage::noteOn (2, 48, (juce::uint8) 90) } });
    settle();
    EXPECT_EQ (scene->getTrigger(), (SceneTrigger{ SceneTrigger::Kind::note, 2, 48 }));
    EXPECT_EQ (gui.getMorphPane().getLearnHint(), "");
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (200, 200)) << "the note recalled its scene";

    // With a glide set in its dialog, the next recall travels, and the pane marks where to.
    model.getCursor().setPosition (0, 0);
    paneModel.menuItemChosen (MorphPaneModel::glideItem, {});
    juce::Component::SafePointer<juce::DialogWindow> dialog (paneModel.getGlideDialog());
    ASSERT_NE (dialog, nullptr);
    dynamic_cast<GlideSettings*> (dialog->getContentComponent())->getTimeSlider().setValue (1.0);
    static_cast<juce::DocumentWindow*> (dialog.getComponent())->closeButtonPressed();
    ASSERT_TRUE (test::runMessageLoopUntil ([&]
                                            { return dialog == nullptr; }));

    runBlock (processor, { { 0, juce::MidiMessage::noteOn (2, 48, (juce::uint8) 90) } });
    runBlock (processor, {});
    EXPECT_TRUE (test::runMessageLoopUntil ([&]
                                            { return gui.getMorphPane().getGlideTargetMarker().has_value(); }));
    EXPECT_GT (model.getCursor().getPosition().x, 0.0f);
    EXPECT_LT (model.getCursor().getPosition().x, 200.0f);
}
} // namespace
} // namespace brisquell
