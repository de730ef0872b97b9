// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ControllerKind.h"
#include "engine/Glide.h"
#include "engine/MidiControl.h"
#include "engine/PaneView.h"

#include <juce_graphics/juce_graphics.h>

#include <array>
#include <optional>
#include <vector>

namespace brisquell::state
{

/** What the state document holds, as plain data: what a restore parses before it touches the
    model, and what a save copies from the model under its lock before it writes a single
    element. Each part is one element of the document (see DocumentElements.h).
*/

/** One "scene" element. A restored position is the written one's whole part. */
struct SceneContent
{
    juce::Point<float> position;
    juce::String name;
    std::optional<juce::Colour> colour;
    SceneTrigger trigger;
};

/** One "value" element: a controller's value in the scene at that position of the scene list. */
struct ValueContent
{
    int value = 0;
    int scene = 0;
};

/** One "controller" element with its values, in their order (duplicates included). */
struct ControllerContent
{
    int ccNumber = 0, channel = 1;
    ControllerKind kind = ControllerKind::sevenBit;
    juce::String name;
    std::vector<ValueContent> values;
};

/** The "cursorcontrol" element: the cursor's sources and the glide. */
struct CursorControlContent
{
    std::array<CursorSource, 2> sources;
    double glideTime = 0.0;
    GlideShape glideShape = GlideShape::linear;

    /** False when it holds nothing but the defaults: the element is then not written, and a
        document of a project that plays nothing from a controller stays as it always was.
    */
    bool isInUse() const noexcept
    {
        return glideTime > 0.0 || glideShape != GlideShape::linear
               || sources[0].kind != CursorSource::Kind::none || sources[1].kind != CursorSource::Kind::none;
    }
};

/** What a user left the plug-in with besides its controllers and scenes: the cursor, the refresh
    rate, the modes and the scene selection. The document carries it in a "session" element
    at the end of the root, written only when it differs from a new instance's, and then with only
    the attributes that differ:

        <session cursorx="120" cursory="40.5" refreshrate="500" autolearn="0" autokey="0"
                 audit="1" selection="2 0" scale="150"/>

    Positions are decimals, the rate an integer, the modes 0 or 1, the selection the scenes'
    positions in the scene list, in selection order, separated by spaces, the editor's scale a
    whole percentage (written only when chosen in the pane's menu; without it the editor follows
    the host's and the display's scale).
*/
struct Session
{
    float cursorX = 0.0f, cursorY = 0.0f;
    int refreshRate = 200; // Brisquell::defaultRefreshRate
    bool autoLearn = true, autoKey = true, audit = false;
    std::vector<int> selection;
    bool midiThrough = false, reportCursorMoves = false; // "midithrough", "reportcursor": 1 when on
    int editorScale = 0; // "scale": the editor's scale in percent (minScale..maxScale) when chosen
    static constexpr int minScale = 50, maxScale = 400;

    bool operator== (const Session& other) const noexcept;
    bool operator!= (const Session& other) const noexcept { return ! operator== (other); }
};

/** The whole document. What a document lacks reads as empty or as a new instance's, except two
    optional parts: without an editor size ("gui") or a session, a restore keeps the model's (and
    empties the selection). Without a pane view ("morphpanestate") the model has none.
*/
struct StateContent
{
    std::vector<ControllerContent> controllers;
    std::vector<SceneContent> scenes;
    int sharpness = 1; // the "scenes" element's "sharpness"
    std::optional<juce::Point<int>> editorSize;
    std::optional<PaneView> paneView;
    CursorControlContent cursorControl;
    std::optional<Session> session;
};

} // namespace brisquell::state
