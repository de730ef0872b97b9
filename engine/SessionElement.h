// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <vector>

namespace brisquell::state
{

/** What a user left the plug-in with besides its controllers and scenes: the cursor, the refresh
    rate, the three modes and the scene selection. The document carries it in a "session" element
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
    int editorScale = 0;                                 // "scale": the editor's scale in percent (minScale..maxScale) when chosen
    static constexpr int minScale = 50, maxScale = 400;

    bool operator== (const Session& other) const noexcept;
    bool operator!= (const Session& other) const noexcept { return ! operator== (other); }
};

/** The "session" element for the settings, or none when they are a new instance's (then the
    document is byte for byte what an earlier release wrote).
*/
std::unique_ptr<juce::XmlElement> createSessionElement (const Session& session);

/** True when the document carries a "session" element, and so restores the session. */
bool hasSessionElement (const juce::XmlElement& document);

/** The settings that the document's "session" element carries, or none when it has none. What
    the element does not carry is a new instance's; so is every value it carries unreadably or out
    of range (a rate outside 1..5000, a position that is no finite float, a mode other than 0 or
    1), each on its own. The selection keeps the scenes it names that lie below numScenes, once
    each, in its order, and drops the rest.
*/
std::optional<Session> readSessionElement (const juce::XmlElement& document, int numScenes);

} // namespace brisquell::state
