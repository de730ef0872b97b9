// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/ControllerList.h"

#include "engine/Rounding.h"
#include "pane/MenuPlacement.h"

#include <cmath>

namespace brisquell
{

namespace
{
constexpr juce::uint32 transparent = 0x00000000, white = 0xffffffff, lightGrey = 0xffd3d3d3,
                       red = 0xffff0000, black = 0xff000000;

constexpr float smallFontHeight = 8.0f;
constexpr int maxNameLength = 32;

// The row's own outline takes its outermost pixel, and one white pixel keeps every widget's
// outline apart from it; the name and the numbers below it are kept apart the same way.
constexpr int rowInset = 2, gap = 1;
} // namespace

//==============================================================================
ControllerGUI::ControllerGUI (Controller& c, Brisquell& m)
    : controller (c), model (m)
{
    nameEditor.setFont (juce::Font (smallFontHeight));
    nameEditor.setInputRestrictions (maxNameLength);
    // The text sits inside the name's pill: centred in its height, clear of its round ends.
    nameEditor.setJustification (juce::Justification::centredLeft);
    nameEditor.setIndents (1, 0);
    nameEditor.setSelectAllWhenFocused (true);
    nameEditor.setColour (juce::TextEditor::backgroundColourId, juce::Colour (transparent));
    nameEditor.setColour (juce::TextEditor::outlineColourId, juce::Colour (transparent));
    nameEditor.setColour (juce::TextEditor::focusedOutlineColourId, juce::Colour (transparent));
    nameEditor.setColour (juce::TextEditor::highlightColourId, juce::Colour (white));
    nameEditor.setColour (juce::TextEditor::highlightedTextColourId, juce::Colour (black));
    // A right click on the name opens the row menu rather than the editor's clipboard menu.
    nameEditor.setPopupMenuEnabled (false);

    channelBox.setRange (1, 16, 1, 2);

    for (auto [label, text] : { std::pair{ &ccLabel, "cc:" }, { &channelLabel, "ch:" } })
    {
        label->setText (text, juce::dontSendNotification);
        label->setFont (juce::Font (smallFontHeight));
        label->setJustificationType (juce::Justification::centred);
        // The framework's side borders would squeeze the text; the cell is made to fit it.
        label->setBorderSize (juce::BorderSize<int> (0));
    }

    ccNumberBox.addListener (this);
    channelBox.addListener (this);
    valueBox.addListener (this);
    nameEditor.addListener (this);

    for (auto* child : std::initializer_list<juce::Component*>{ &valueBox, &channelBox, &ccNumberBox, &nameEditor, &ccLabel, &channelLabel })
    {
        addAndMakeVisible (child);
        // The widgets cover the whole row: their right clicks must reach the row's menu too.
        child->addMouseListener (this, false);
    }

    setOpaque (true);
    refresh();
    model.addChangeListener (this);
}

ControllerGUI::~ControllerGUI()
{
    model.removeChangeListener (this);

    // A menu whose row is gone could only offer choices that do nothing.
    if (isShowingMenu)
        juce::PopupMenu::dismissAllActiveMenus();

    // The editor tells its listeners through its message queue; a keystroke whose message has
    // not arrived yet must not be lost with the row.
    if (! isControllerGone && nameEditor.getText() != controller.getName())
        controller.setName (nameEditor.getText());

    for (auto* child : getChildren())
        child->removeMouseListener (this);
}

void ControllerGUI::refresh()
{
    if (isControllerGone)
        return;

    int shownValue = 0, channel = 1, ccNumber = 0;
    auto kind = ControllerKind::sevenBit;
    juce::String name;
    auto state = SelectionState::NoValue;

    {
        // One consistent reading, even while the audio thread stores incoming values.
        const juce::ScopedLock sl (model.getLock());

        if (model.getNumSelectedScenes() == 0)
        {
            shownValue = controller.getValue();
        }
        else if (auto* scene = model.getSelectedScene (0))
        {
            if (auto* sceneValue = controller.findSceneValue (*scene))
                shownValue = sceneValue->getValue();
        }

        channel = controller.getChannel();
        ccNumber = controller.getCcNumber();
        kind = controller.getKind();
        name = controller.getName();
        state = controller.getSelectionState();
    }

    if (shownKind != kind)
    {
        // 128 steps per 2 pixels at 14 bits: the whole range in the distance of a 7-bit one.
        const auto maxValue = getMaximumValue (kind);
        valueBox.setRange (0, maxValue, 1, 2, (maxValue + 1) / 128);
        ccNumberBox.setRange (0, getMaximumNumber (kind), 1, 2);
        shownKind = kind;
    }

    // Setting a box's value would close an entry open in it and drop what is being typed.
    for (auto [box, number] : { std::pair{ &valueBox, shownValue }, { &channelBox, channel }, { &ccNumberBox, ccNumber } })
        if (! box->isBeingEdited())
            box->setValue (number, juce::dontSendNotification);

    // While the name is being typed every keystroke is on its way to the controller; putting
    // back the name the controller holds now would undo the latest one.
    if (! nameEditor.hasKeyboardFocus (true) && (nameEditor.getText() != name || nameEditor.getCaretPosition() != 0))
    {
        nameEditor.setText (name, false);
        nameEditor.moveCaretToTop (false); // a name longer than the box shows its beginning
    }

    valueBox.setColour (juce::Label::textColourId, getValueColour (state));
    repaint();
}

juce::Colour ControllerGUI::getValueColour (SelectionState state)
{
    switch (state)
    {
        case SelectionState::Differing:
            return juce::Colour (red);
        case SelectionState::Agreeing:
            return juce::Colour (black);
        case SelectionState::NoValue:
            break;
    }

    return juce::Colour (lightGrey);
}

//==============================================================================
juce::PopupMenu ControllerGUI::createMenu (ControllerKind currentKind)
{
    juce::PopupMenu sendAs;

    for (auto kind : { ControllerKind::sevenBit, ControllerKind::fourteenBit, ControllerKind::nrpn })
        sendAs.addItem (sendAsFirstItem + (int) kind, getDisplayName (kind), true, kind == currentKind);

    juce::PopupMenu menu;
    menu.addItem (removeControllerItem, "remove controller");
    menu.addItem (addControllerItem, "add controller");
    menu.addSubMenu ("send as", sendAs);
    return menu;
}

void ControllerGUI::showMenu()
{
    const SafePointer<ControllerGUI> row (this);
    isShowingMenu = true;

    createMenu (isControllerGone ? ControllerKind::sevenBit : controller.getKind()).showMenuAsync (atThePointer (juce::PopupMenu::Options().withDeletionCheck (*this)), [row] (int itemId)
                                                                                                   {
                                    repaintAfterMenu (row.getComponent());

                                    if (row == nullptr)
                                        return;

                                    row->isShowingMenu = false;
                                    row->menuItemChosen (itemId); });
}

void ControllerGUI::menuItemChosen (int itemId)
{
    if (itemId == removeControllerItem && ! isControllerGone)
        controller.removeFromModel();
    else if (itemId == addControllerItem)
        model.addNextController();
    else if (itemId >= sendAsFirstItem && itemId <= sendAsFirstItem + (int) ControllerKind::nrpn && ! isControllerGone)
        controller.setKind ((ControllerKind) (itemId - sendAsFirstItem));
}

//==============================================================================
void ControllerGUI::mouseUp (const juce::MouseEvent& event)
{
    if (event.mods.isRightButtonDown())
        showMenu();
}

bool ControllerGUI::keyPressed (const juce::KeyPress& key)
{
    for (auto code : { juce::KeyPress::upKey, juce::KeyPress::downKey, juce::KeyPress::leftKey, juce::KeyPress::rightKey, juce::KeyPress::pageUpKey, juce::KeyPress::pageDownKey, juce::KeyPress::homeKey, juce::KeyPress::endKey })
        if (key.getKeyCode() == code)
            return true;

    return false;
}

void ControllerGUI::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (white));
}

void ControllerGUI::paintOverChildren (juce::Graphics& g)
{
    g.drawRoundedRectangle (0.0f, 0.0f, (float) getWidth(), (float) getHeight(), 2.0f, 2.0f);
}

void ControllerGUI::resized()
{
    // At the list's 108 x 24 rows: the value 31 x 20 on the left; on the right the name
    // 71 x 10 above "ch:", the channel, "cc:" and the CC number, 9 high.
    auto area = getLocalBounds().reduced (rowInset);
    valueBox.setBounds (area.removeFromLeft ((int) (area.getWidth() * 0.3)));
    area.removeFromLeft (2 * gap);

    nameEditor.setBounds (area.removeFromTop ((area.getHeight() - gap + 1) / 2));

    // The text stays between the pill's round ends: a name longer than the box scrolls there.
    const auto roundEnd = nameEditor.getHeight() / 2 - 1;
    nameEditor.setBorder (juce::BorderSize<int> (1, roundEnd, 1, roundEnd));
    area.removeFromTop (gap);

    // The labels as wide as their text; the rest shared 2 : 3 by the channel (up to two
    // digits) and the CC number (up to three).
    const auto font = channelLabel.getFont();
    const auto labelWidth = (int) std::ceil (juce::jmax (font.getStringWidthFloat ("ch:"), font.getStringWidthFloat ("cc:"))) + 1;
    const auto numbersWidth = juce::jmax (0, area.getWidth() - 2 * labelWidth);
    const auto channelWidth = numbersWidth * 2 / 5;

    channelLabel.setBounds (area.removeFromLeft (labelWidth));
    channelBox.setBounds (area.removeFromLeft (channelWidth));
    ccLabel.setBounds (area.removeFromLeft (labelWidth));
    ccNumberBox.setBounds (area);
}

//==============================================================================
void ControllerGUI::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    // Every row hears every controller's news; only its own, and what changes which value it
    // shows (the selection, the scene list), concern it. Refreshing on the others made a morph
    // of n controllers cost n * n refreshes per round.
    if (source != static_cast<juce::ChangeBroadcaster*> (&controller)
        && (source == static_cast<juce::ChangeBroadcaster*> (&model.getCursor()) || source == model.getMidiControlSubject()
            || dynamic_cast<Controller*> (source) != nullptr))
        return;

    // A controller that left the model is destroyed after the round of notifications that
    // announces it; from then on this row must not touch it, however long it lives.
    if (source == model.getControllerListSubject() && model.indexOfController (&controller) < 0)
        isControllerGone = true;

    refresh();
}

void ControllerGUI::textEditorTextChanged (juce::TextEditor& editor)
{
    if (&editor == &nameEditor && ! isControllerGone)
        controller.setName (nameEditor.getText());
}

void ControllerGUI::labelTextChanged (juce::Label* label)
{
    if (isControllerGone)
        return;

    if (label == &valueBox)
    {
        controller.setValue (roundHalfEven (valueBox.getValue()));
        repaint();
    }
    else if (label == &ccNumberBox)
    {
        controller.setCcNumber (roundHalfEven (ccNumberBox.getValue()));
    }
    else if (label == &channelBox)
    {
        controller.setChannel (roundHalfEven (channelBox.getValue()));
    }
}

void ControllerGUI::editorHidden (juce::Label*, juce::TextEditor&)
{
    // The entry is on its way out here; the typed value, if any, is handed on after this.
    juce::MessageManager::callAsync ([row = SafePointer<ControllerGUI> (this)]
                                     {
                                         if (row != nullptr)
                                             row->refresh(); });
}

//==============================================================================
ControllerList::ControllerList (Brisquell& m)
    : model (m)
{
}

ControllerList::~ControllerList() = default;

int ControllerList::getNumRows()
{
    return model.getNumControllers();
}

void ControllerList::paintListBoxItem (int, juce::Graphics&, int, int, bool)
{
}

juce::Component* ControllerList::refreshComponentForRow (int rowNumber, bool, juce::Component* existingComponent)
{
    // The list box hands over the row's old component; a fresh one replaces it every time.
    std::unique_ptr<juce::Component> previous (existingComponent);

    if (auto* controller = model.getController (rowNumber))
        return new ControllerGUI (*controller, model);

    return nullptr;
}

} // namespace brisquell
