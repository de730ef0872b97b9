// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Brisquell.h"
#include "engine/Rounding.h"
#include "engine/document/DocumentElements.h"

#include <cmath>

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

Session readSession (const juce::XmlElement& element, int numScenes)
{
    Session session;
    session.cursorX = readPosition (element, "cursorx");
    session.cursorY = readPosition (element, "cursory");

    if (hasAttribute (element, "refreshrate"))
        session.refreshRate = readWholeNumber (getAttribute (element, "refreshrate"), Brisquell::minRefreshRate, Brisquell::maxRefreshRate)
                                  .value_or (session.refreshRate);

    session.autoLearn = readMode (element, "autolearn", session.autoLearn);
    session.autoKey = readMode (element, "autokey", session.autoKey);
    session.audit = readMode (element, "audit", session.audit);
    session.midiThrough = readMode (element, "midithrough", session.midiThrough);
    session.reportCursorMoves = readMode (element, "reportcursor", session.reportCursorMoves);

    if (hasAttribute (element, "scale"))
        session.editorScale = readWholeNumber (getAttribute (element, "scale"), Session::minScale, Session::maxScale).value_or (0);

    if (numScenes > 0)
    {
        juce::StringArray words;
        words.addTokens (getAttribute (element, "selection"), " \t\r\n", "");
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
