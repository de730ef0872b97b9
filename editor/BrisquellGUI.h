// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/ControllerList.h"
#include "editor/EntryKeyRouter.h"
#include "editor/HostWindowFollower.h"
#include "editor/K4TZLook.h"
#include "pane/MorphPane.h"

#include <juce_audio_processors/juce_audio_processors.h>

namespace brisquell
{

class BrisquellPlugInInterface;

//==============================================================================
/** The plug-in's editor: the controller list on the left (120 units wide, rows of 24 units)
    and the morph pane with the cursor on the right, under a border that resizes the editor,
    all drawn with the plug-in's look.

    It keeps the list and the pane in step with the model's notifications, opens at the size
    and pane view the model holds, writes its size into the model on every resize and hands the
    pane's view back when it is closed. Inside a VST 2.4 host's window it fills that window and
    follows its size (see HostWindowFollower); inside any host's window, the keys its window
    receives reach the entry the user opened (see EntryKeyRouter). Only the model outlives it.

    It is drawn at a scale: the one chosen in the pane's menu, else the host's, else the
    display's (see chooseScale). The scale is a transform on the editor, so everything in it
    (rows, text, scene views, the pane's grid) is drawn as vectors at the screen's resolution and
    the mouse finds what it points at; the editor's own size, the one the model keeps and the
    document saves, stays in unscaled units, so a project opens at the same layout at any scale,
    its window the size times the scale. Message thread only.
*/
class BrisquellGUI final : public juce::AudioProcessorEditor,
                           public juce::ApplicationCommandTarget,
                           private juce::ChangeListener
{
public:
    /** Builds the editor on the processor's model, at the size the model holds. */
    explicit BrisquellGUI (BrisquellPlugInInterface& owner);

    /** Hands the pane's view to the model, stops listening and deletes the children. */
    ~BrisquellGUI() override;

    static constexpr int listWidth = 120;
    static constexpr int rowHeight = 24;

    /** The largest width and height applied from the model; larger stored sizes (only a damaged
        or hand-made document holds them) are cut to it, as no window system shows them.
    */
    static constexpr int maxSize = 8192;

    /** The scale to draw at: the chosen one in percent when there is one (not 0); else the
        host's, when it gives one other than 1 (the framework's clients hand on VST3's content
        scale, the VST 2.4 vendor-specific scale and LV2's ui:scaleFactor, and 1 where the host
        gives none); else the display's.
    */
    static float chooseScale (int chosenPercent, float hostScale, float displayScale) noexcept;

    /** The scale of the display the editor is on (the primary one before it is shown), as the
        framework reads it on X11: a standalone app's display scale (which the framework applies
        to its windows itself), or for a plug-in, to which the framework gives 1 whatever the
        display, the display's density in whole steps of 96 dots per inch (as the framework
        reckons the app's), from 1 to maxDisplayScale.
    */
    float findDisplayScale() const;

    static constexpr float maxDisplayScale = 4.0f;

    /** The scale the editor is drawn at now, in screen pixels per unit of its size. */
    float getEffectiveScale() const noexcept { return effectiveScale; }

    /** The host's scale (see chooseScale); the editor is drawn anew at the scale chosen then. */
    void setScaleFactor (float newScale) override;

    /** Draws at the scale chooseScale gives now (after a choice in the pane's menu, a restored
        document, or the editor's move into a window). The component holding the editor (a
        host's) hears of the new size at once.
    */
    void applyScale();

    /** The children, for the views' tests. */
    juce::ListBox& getControlsBox() const noexcept { return *controlsBox; }
    MorphPane& getMorphPane() const noexcept { return *morphPane; }
    juce::ResizableBorderComponent& getResizer() const noexcept { return *resizer; }
    ControllerList& getControllerList() const noexcept { return *controllerList; }

    /** How many editors exist in the process now (for the open/close tests). */
    static int getNumLiveEditors() noexcept;

    //==============================================================================
    /** Fills the editor with white. */
    void paint (juce::Graphics& g) override;

    /** Lays out the border, the list and the pane and stores the size in the model. */
    void resized() override;

    /** Keeps the editor at the top left of the host's window when its left or top border is
        dragged, so that the whole editor stays visible there.
    */
    void moved() override;

    /** Follows the display and the window the editor is now in (see applyScale). */
    void parentHierarchyChanged() override;

    /** Draws all of itself again when the holder (a host's) has taken a new size: after a new
        scale, the repaint that the new transform asked for was cut to the holder's old size.
    */
    void parentSizeChanged() override;

    //==============================================================================
    /** The editor offers no commands. */
    juce::ApplicationCommandTarget* getNextCommandTarget() override;
    void getAllCommands (juce::Array<juce::CommandID>& commands) override;
    void getCommandInfo (juce::CommandID commandID, juce::ApplicationCommandInfo& result) override;
    bool perform (const juce::ApplicationCommandTarget::InvocationInfo& info) override;

private:
    //==============================================================================
    /** The scene list rebuilds the pane and selects its last scene, or the selection that a
        restored document carried; the controller list makes the rows anew; other subjects change
        nothing here.
    */
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;

    // The look comes first, so that it is the default before any child is made and outlives
    // every child that draws with it.
    SharedK4TZLook look;
    Brisquell& model;

    std::unique_ptr<juce::ListBox> controlsBox;
    std::unique_ptr<ControllerList> controllerList;
    std::unique_ptr<MorphPaneModel> paneModel;
    std::unique_ptr<juce::ResizableBorderComponent> resizer;
    std::unique_ptr<MorphPane> morphPane;
    std::unique_ptr<HostWindowFollower> hostWindowFollower;
    std::unique_ptr<EntryKeyRouter> entryKeyRouter;
    float hostScale = 1.0f, effectiveScale = 1.0f;
    bool isTakingHostScale = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BrisquellGUI)
};

} // namespace brisquell
