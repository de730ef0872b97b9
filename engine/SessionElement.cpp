// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SessionElement.h"

#include "engine/Brisquell.h"
#include "engine/Rounding.h"
#include "engine/StateDocument.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace brisquell::state
{

namespace
{
constexpr const char* sessionTag = "session";


/** The text as a whole number within the limits: digits only (a "-" before them for negative
    numbers), around them nothing but spaces. Anything else, "12.5" and "1e3" too, is none.
*/
std::optional<int> readWholeNumber (const juce::String& text, int minimum, int maximum)
{
    const auto trimmed = text.trim();
    const auto digits = trimmed.startsWithChar ('-') ? trimmed.substring (1) : trimmed;

    if (digits.isEmpty() || digits.length() > 10 || ! digits.containsOnly ("0123456789"))
        return std::nullopt;

    const auto value = trimmed.getLargeIntValue();

    if (value < minimum || value > maximum)
        return std::nullopt;

    return (int) value;
}

/** A position read as a decimal; a new instance's 0 when it is no finite float. */
float readPosition (const juce::XmlElement& element, juce::StringRef name)
{
    const auto value = narrowToFloat (getDoubleAttribute (element, name));
    return std::isfinite (value) ? value : 0.0f;
}

/** A mode written as 0 or 1; the fallback for anything else. */
bool readMode (const juce::XmlElement& element, juce::StringRef name, bool fallback)
{
    if (! hasAttribute (element, name))
        return fallback;

    const auto value = readWholeNumber (getAttribute (element, name), 0, 1);
    return value.has_value() ? *value == 1 : fallback;
}
} // namespace

//==============================================================================
bool Session::operator== (const Session& other) const noexcept
{
    return cursorX == other.cursorX && cursorY == other.cursorY && refreshRate == other.refreshRate
           && autoLearn == other.autoLearn && autoKey == other.autoKey && audit == other.audit
           && selection == other.selection && midiThrough == other.midiThrough
           && reportCursorMoves == other.reportCursorMoves && editorScale == other.editorScale;
}

std::unique_ptr<juce::XmlElement> createSessionElement (const Session& session)
{
    const Session fresh;

    if (session == fresh)
        return nullptr;

    auto element = std::make_unique<juce::XmlElement> (sessionTag);

    // -0 counts as the origin: it moves nothing and is not worth a difference in the document.
    if (session.cursorX != fresh.cursorX)
        element->setAttribute ("cursorx", formatDecimal (session.cursorX));

    if (session.cursorY != fresh.cursorY)
        element->setAttribute ("cursory", formatDecimal (session.cursorY));

    if (session.refreshRate != fresh.refreshRate)
        element->setAttribute ("refreshrate", session.refreshRate);

    if (session.autoLearn != fresh.autoLearn)
        element->setAttribute ("autolearn", session.autoLearn ? 1 : 0);

    if (session.autoKey != fresh.autoKey)
        element->setAttribute ("autokey", session.autoKey ? 1 : 0);

    if (session.audit != fresh.audit)
        element->setAttribute ("audit", session.audit ? 1 : 0);

    if (! session.selection.empty())
    {
        juce::StringArray indices;

        for (auto index : session.selection)
            indices.add (juce::String (index));

        element->setAttribute ("selection", indices.joinIntoString (" "));
    }

    if (session.midiThrough)
        element->setAttribute ("midithrough", 1);

    if (session.reportCursorMoves)
        element->setAttribute ("reportcursor", 1);

    if (session.editorScale != fresh.editorScale)
        element->setAttribute ("scale", session.editorScale);

    return element;
}

bool hasSessionElement (const juce::XmlElement& document)
{
    return getChild (document, sessionTag) != nullptr;
}

std::optional<Session> readSessionElement (const juce::XmlElement& document, int numScenes)
{
    const auto* element = getChild (document, sessionTag);

    if (element == nullptr)
        return std::nullopt;

    Session session;
    session.cursorX = readPosition (*element, "cursorx");
    session.cursorY = readPosition (*element, "cursory");

    if (hasAttribute (*element, "refreshrate"))
        session.refreshRate = readWholeNumber (getAttribute (*element, "refreshrate"), Brisquell::minRefreshRate, Brisquell::maxRefreshRate)
                                  .value_or (session.refreshRate);

    session.autoLearn = readMode (*element, "autolearn", session.autoLearn);
    session.autoKey = readMode (*element, "autokey", session.autoKey);
    session.audit = readMode (*element, "audit", session.audit);
    session.midiThrough = readMode (*element, "midithrough", session.midiThrough);
    session.reportCursorMoves = readMode (*element, "reportcursor", session.reportCursorMoves);

    if (hasAttribute (*element, "scale"))
        session.editorScale = readWholeNumber (getAttribute (*element, "scale"), Session::minScale, Session::maxScale).value_or (0);

    if (numScenes > 0)
    {
        juce::StringArray words;
        words.addTokens (getAttribute (*element, "selection"), " \t\r\n", "");
        std::vector<bool> isNamed ((size_t) numScenes, false);

        for (auto& word : words)
        {
            const auto index = word.isEmpty() ? std::nullopt : readWholeNumber (word, 0, numScenes - 1);

            if (index.has_value() && ! isNamed[(size_t) *index])
            {
                isNamed[(size_t) *index] = true;
                session.selection.push_back (*index);
            }
        }
    }

    return session;
}

} // namespace brisquell::state

//==============================================================================
namespace brisquell
{

state::Session Brisquell::captureSessionLocked() const
{
    state::Session session;
    const auto position = cursor.getPosition();
    session.cursorX = position.x;
    session.cursorY = position.y;
    session.refreshRate = refreshRate.load();
    session.autoLearn = autoLearn.load();
    session.autoKey = autoKey.load();
    session.audit = audit;
    session.midiThrough = midiThrough.load();
    session.reportCursorMoves = reportCursorMoves.load();
    session.editorScale = editorScale.load();

    if (! selectedScenes.isEmpty())
    {
        // Positions in the scene list, found in one pass over it.
        std::unordered_map<const Scene*, int> indexOf;

        for (auto* scene : selectedScenes)
            indexOf.emplace (scene, -1);

        for (size_t i = 0; i < scenes.size(); ++i)
            if (auto found = indexOf.find (scenes[i].get()); found != indexOf.end())
                found->second = (int) i;

        for (auto* scene : selectedScenes)
            if (const auto index = indexOf[scene]; index >= 0)
                session.selection.push_back (index);
    }

    return session;
}

void Brisquell::applySessionLocked (const state::Session& session)
{
    autoLearn.store (session.autoLearn);
    autoKey.store (session.autoKey);
    setRefreshRate (session.refreshRate);
    audit = session.audit;
    midiThrough.store (session.midiThrough);
    reportCursorMoves.store (session.reportCursorMoves);
    editorScale.store (session.editorScale);

    juce::Array<Scene*> selection;

    for (auto index : session.selection)
        if (juce::isPositiveAndBelow (index, scenes.size()))
            selection.add (scenes[(size_t) index].get());

    setSelectedScenesLocked (selection);
    selectionRestored = ! selection.isEmpty();

    // The cursor moves as the host's parameters move it: the distances go stale, the cursor's
    // views and getParameter follow. What goes out at the next tick follows the restored scenes
    // alone, as after any restore, so that a project without scenes stays silent.
    const auto wereScenesMoved = scenesMoved;
    cursor.setPosition (session.cursorX, session.cursorY);
    scenesMoved = wereScenesMoved || ! scenes.empty();
}

bool Brisquell::isSelectionRestored() const
{
    const juce::ScopedLock sl (lock);
    return selectionRestored;
}

} // namespace brisquell
