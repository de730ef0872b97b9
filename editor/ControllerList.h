// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/TextBoxSlider.h"
#include "engine/Brisquell.h"

namespace brisquell
{

//==============================================================================
/** One row of the controller list: the value of one Controller (dragged or typed), its name,
    its MIDI channel (1..16) and its number, each within the controller kind's range: the value
    0..127 for a 7-bit CC and 0..16383 for the 14-bit kinds (a drag crosses either range in the
    same distance, 2 pixels per 128 steps at 14 bits); the number 0..127 for a 7-bit CC, 0..31
    for a 14-bit CC and the parameter number 0..16383 for an NRPN. Edits go straight to the
    controller; the row reloads everything it shows from the model on every model notification.
    The value is drawn light grey when no selected scene holds one, red when the selected scenes
    disagree and black when they agree.

    A right click anywhere on the row, its widgets included, opens the row's menu ("remove
    controller", "add controller", and the "send as" submenu of kinds). Message thread only.
*/
class ControllerGUI final : public juce::Component,
                            private juce::TextEditor::Listener,
                            private juce::ChangeListener,
                            private juce::Label::Listener
{
public:
    /** Builds the widgets, shows the controller and starts listening to the model. */
    ControllerGUI (Controller& controller, Brisquell& model);

    /** Stops listening; a name typed but not yet handed on reaches the controller first. */
    ~ControllerGUI() override;

    /** Reloads value, channel, CC number, name and the value's colour from the model. A number
        box or the name that is being typed into keeps what was typed (MIDI may flow all the
        while): it is reloaded once the entry is finished or dropped. Once a notification has
        shown that the controller left the model, the row no longer touches it (the list
        replaces the row in that same round).
    */
    void refresh();

    /** The row menu's item ids; the kinds of "send as" are sendAsFirstItem + the kind. */
    enum MenuItemId
    {
        removeControllerItem = 1,
        addControllerItem = 2,
        sendAsFirstItem = 10
    };

    /** The row menu: "remove controller" (1), "add controller" (2) and the "send as" submenu
        ("CC", "14-bit CC", "NRPN"), the current kind ticked.
    */
    static juce::PopupMenu createMenu (ControllerKind currentKind = ControllerKind::sevenBit);

    /** Opens the row menu at the mouse, asynchronously; the choice goes to menuItemChosen. When
        the row goes first, its menu is closed and nothing is chosen.
    */
    void showMenu();

    /** Acts on a choice from the row menu: 1 removes this row's controller from the model, 2
        adds a controller after the model's last one (see Brisquell::addNextController), a kind
        of "send as" changes the controller's kind (see Controller::setKind); any other id does
        nothing.
    */
    void menuItemChosen (int itemId);

    /** The value colours for the selection states: no value, differing, agreeing. */
    static juce::Colour getValueColour (SelectionState state);

    Controller& getController() const noexcept { return controller; }

    /** The row's widgets, for the views' tests. */
    TextBoxSlider& getValueBox() noexcept { return valueBox; }
    TextBoxSlider& getChannelBox() noexcept { return channelBox; }
    TextBoxSlider& getCcNumberBox() noexcept { return ccNumberBox; }
    juce::TextEditor& getNameEditor() noexcept { return nameEditor; }
    juce::Label& getChannelLabel() noexcept { return channelLabel; }
    juce::Label& getCcLabel() noexcept { return ccLabel; }

    //==============================================================================
    /** A right-button release on the row or any of its widgets opens the row menu. */
    void mouseUp (const juce::MouseEvent& event) override;

    /** Keeps the list's keyboard navigation away from the row's entries: a cursor key pressed
        while typing a number would otherwise move the (invisible) list selection and replace
        the rows, dropping the entry.
    */
    bool keyPressed (const juce::KeyPress& key) override;

    void paint (juce::Graphics& g) override;
    void paintOverChildren (juce::Graphics& g) override;
    void resized() override;

private:
    //==============================================================================
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;
    void textEditorTextChanged (juce::TextEditor& editor) override;
    void labelTextChanged (juce::Label* label) override;

    /** A number entry closed: what it held back while it was open is shown now (after a typed
        value has been handed on, when Return closed it).
    */
    void editorHidden (juce::Label* label, juce::TextEditor& editor) override;

    Controller& controller;
    Brisquell& model;

    juce::TextEditor nameEditor;
    TextBoxSlider ccNumberBox{ 0.0 }, channelBox{ 0.0 }, valueBox{ 0.0 };
    juce::Label ccLabel, channelLabel;
    bool isShowingMenu = false;
    bool isControllerGone = false;
    std::optional<ControllerKind> shownKind;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ControllerGUI)
};

//==============================================================================
/** The list box model of the controller list: one ControllerGUI per controller of the model,
    made anew whenever the list box asks for a row. Message thread only.
*/
class ControllerList final : public juce::ListBoxModel
{
public:
    explicit ControllerList (Brisquell& model);
    ~ControllerList() override;

    //==============================================================================
    /** The number of controllers in the model. */
    int getNumRows() override;

    /** Draws nothing: the row component covers the row. */
    void paintListBoxItem (int rowNumber, juce::Graphics& g, int width, int height, bool rowIsSelected) override;

    /** A new ControllerGUI for the controller at the row, or none outside the list. The
        component the list box held for the row is deleted here, as the list box leaves that to
        its model.
    */
    juce::Component* refreshComponentForRow (int rowNumber, bool isRowSelected, juce::Component* existingComponent) override;

private:
    Brisquell& model;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ControllerList)
};

} // namespace brisquell
