// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/document/DocumentText.h"
#include "engine/document/StateContent.h"

#include <memory>

namespace brisquell::state
{

/** The readers and writers of the state document's elements, one pair per element. A reader
    takes what it can use and leaves the rest (see each one); a writer writes a document that
    uses no new feature byte for byte as earlier releases did.

    The document, in its order:

        <tag>
          <controllers> <controller ccno channel name [kind]> <value value scene/>... </controller>... </controllers>
          <scenes [sharpness]> <scene id colour x y [name] [trigger triggerchannel triggernumber]/>... </scenes>
          <gui width height/>
          [<morphpanestate [xoff] [yoff] [xzoom] [yzoom]/>]
          [<cursorcontrol glide shape [xsource xchannel [xnumber]] [ysource ...]/>]
          [<session .../>]
        </tag>
*/

//==============================================================================
/** The whole document's content: each element read by its reader below. */
StateContent readStateDocument (const juce::XmlElement& document);

/** The whole document (root tag as given) from the content. */
std::unique_ptr<juce::XmlElement> createStateDocument (const StateContent& content, const juce::String& tagName);

//==============================================================================
/** "controllers". A kind this reader does not know reads as 7-bit; a 14-bit kind keeps its
    number and values in its ranges, a 7-bit controller what the document says. Values naming
    no scene below numScenes are dropped; duplicates are kept in their order.
*/
std::vector<ControllerContent> readControllers (const juce::XmlElement& element, int numScenes);
std::unique_ptr<juce::XmlElement> createControllersElement (const std::vector<ControllerContent>& controllers);

//==============================================================================
/** "scenes": the scenes (positions read as whole numbers, a colour that is no chosen colour
    as none, a trigger that cannot be used as none) and the mix's sharpness (1 unless it is one
    the model offers).
*/
std::vector<SceneContent> readScenes (const juce::XmlElement& element);
int readSharpness (const juce::XmlElement& element);

/** Written with the sharpness only when it is not 1. */
std::unique_ptr<juce::XmlElement> createScenesElement (const std::vector<SceneContent>& scenes, int sharpness);

//==============================================================================
/** "gui": the editor's size, "width" and "height". */
juce::Point<int> readEditorSize (const juce::XmlElement& element);
std::unique_ptr<juce::XmlElement> createEditorSizeElement (juce::Point<int> size);

//==============================================================================
/** The pane's view as a "morphpanestate" element holds it: "xoff" and "yoff" read as integers,
    "xzoom" and "yzoom" as decimals. An attribute that is missing stays missing; a zoom that is
    no usable factor (see isUsableZoom) counts as missing, as the pane reads it. Everything else
    the element holds is left behind.
*/
PaneView readPaneView (const juce::XmlElement& element);

/** A new "morphpanestate" element with the parts the view holds, in the order "xoff", "yoff",
    "xzoom", "yzoom": the offsets as integers, the zooms as the framework writes doubles.
*/
std::unique_ptr<juce::XmlElement> createPaneViewElement (const PaneView& view);

//==============================================================================
/** "cursorcontrol": a source it cannot use is none, the glide time is limited to
    0..Brisquell::maxGlideTime and a shape other than "smooth" is linear.
*/
CursorControlContent readCursorControl (const juce::XmlElement& element);
std::unique_ptr<juce::XmlElement> createCursorControlElement (const CursorControlContent& cursorControl);

//==============================================================================
/** True when the document carries a "session" element, and so restores the session. */
bool hasSessionElement (const juce::XmlElement& document);

/** The settings that the "session" element carries. What the element does not carry is a new instance's; so is every value it carries unreadably or out
    of range (a rate outside 1..5000, a position that is no finite float, a mode other than 0 or
    1), each on its own. The selection keeps the scenes it names that lie below numScenes, once
    each, in its order, and drops the rest.
*/
Session readSession (const juce::XmlElement& element, int numScenes);

/** The "session" element for the settings, or none when they are a new instance's (then the
    document is byte for byte what an earlier release wrote).
*/
std::unique_ptr<juce::XmlElement> createSessionElement (const Session& session);

} // namespace brisquell::state
