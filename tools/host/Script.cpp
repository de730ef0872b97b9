// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/host/Script.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace brisquell::host
{

namespace
{
bool readInt (const std::string& word, int minimum, int maximum, int& result)
{
    char* end = nullptr;
    const auto value = std::strtol (word.c_str(), &end, 10);

    if (word.empty() || *end != 0 || value < minimum || value > maximum)
        return false;

    result = (int) value;
    return true;
}

bool readFloat (const std::string& word, float& result)
{
    char* end = nullptr;
    const auto value = std::strtof (word.c_str(), &end);

    if (word.empty() || *end != 0 || ! std::isfinite (value))
        return false;

    result = value;
    return true;
}

bool readByte (const std::string& word, std::uint8_t& result)
{
    char* end = nullptr;
    const auto value = std::strtol (word.c_str(), &end, 16);

    if (word.empty() || word.size() > 2 || *end != 0 || value < 0 || value > 0xff)
        return false;

    result = (std::uint8_t) value;
    return true;
}

std::vector<std::string> splitWords (const std::string& line)
{
    std::istringstream stream (line);
    std::vector<std::string> words;
    std::string word;

    while (stream >> word)
        words.push_back (word);

    return words;
}

std::string restAfter (const std::string& line, size_t numWords)
{
    size_t pos = 0;

    for (size_t i = 0; i < numWords; ++i)
    {
        pos = line.find_first_not_of (" \t", pos);
        pos = line.find_first_of (" \t", pos);

        if (pos == std::string::npos)
            return {};
    }

    const auto start = line.find_first_not_of (" \t", pos);
    return start == std::string::npos ? std::string() : line.substr (start);
}

constexpr int maxBlock = 100000000;

// The largest window side X can make.
constexpr int maxWindowSide = 32767;
} // namespace

namespace
{
using Words = std::vector<std::string>;

bool parseWindow (const Words& words, Action action, std::vector<Action>& actions, std::string& error)
{
    if (words.size() != 4 || ! readInt (words[2], 1, maxWindowSide, action.width) || ! readInt (words[3], 1, maxWindowSide, action.height))
    {
        error = "window takes a width and a height (1.." + std::to_string (maxWindowSide) + ")";
        return false;
    }

    action.kind = Action::Kind::window;
    actions.push_back (action);
    return true;
}

bool parseSet (const Words& words, Action action, std::vector<Action>& actions, std::string& error)
{
    if (words.size() < 5 || ! readInt (words[3], 0, maxBlock, action.index))
    {
        error = "set takes an element name, its number (from 0) and name=value pairs";
        return false;
    }

    action.kind = Action::Kind::set;
    action.text = words[2];

    for (size_t i = 4; i < words.size(); ++i)
    {
        const auto equals = words[i].find ('=');

        if (equals == std::string::npos || equals == 0)
        {
            error = "set takes attributes as name=value, not \"" + words[i] + "\"";
            return false;
        }

        action.attributes.emplace_back (words[i].substr (0, equals), words[i].substr (equals + 1));
    }

    actions.push_back (action);
    return true;
}

bool parseCursor (const Words& words, Action action, std::vector<Action>& actions, std::string& error)
{
    if (words.size() != 4)
    {
        error = "cursor takes x and y (each 0..1, or - to keep it)";
        return false;
    }

    action.kind = Action::Kind::cursor;
    action.setsX = words[2] != "-";
    action.setsY = words[3] != "-";

    if ((action.setsX && ! readFloat (words[2], action.x)) || (action.setsY && ! readFloat (words[3], action.y)))
    {
        error = "cursor values are numbers such as 0.25, or -";
        return false;
    }

    actions.push_back (action);
    return true;
}

bool parseSweep (const Words& words, const Action& action, std::vector<Action>& actions, std::string& error)
{
    float from[2], to[2];
    int numBlocks = 0;

    if (words.size() != 7 || ! readFloat (words[2], from[0]) || ! readFloat (words[3], from[1])
        || ! readFloat (words[4], to[0]) || ! readFloat (words[5], to[1]) || ! readInt (words[6], 1, maxBlock, numBlocks))
    {
        error = "sweep takes x0 y0 x1 y1 and a number of blocks (1 or more)";
        return false;
    }

    for (int i = 0; i < numBlocks; ++i)
    {
        const auto t = numBlocks > 1 ? (float) i / (float) (numBlocks - 1) : 1.0f;
        Action step;
        step.kind = Action::Kind::cursor;
        step.block = action.block + i;
        step.setsX = step.setsY = true;
        step.x = from[0] + (to[0] - from[0]) * t;
        step.y = from[1] + (to[1] - from[1]) * t;
        actions.push_back (step);
    }

    return true;
}

/** The named channel messages: program, pitch-bend, cc, note-on, note-off. */
bool parseChannelMessage (const Words& words, int offset, Action action, std::vector<Action>& actions, std::string& error)
{
    const auto& type = words[2];

    if (type == "program" || type == "pitch-bend")
    {
        const auto isProgram = type == "program";
        int channel = 0, value = 0;

        if (words.size() != 5 || ! readInt (words[3], 1, 16, channel) || ! readInt (words[4], 0, isProgram ? 127 : 16383, value))
        {
            error = type + (isProgram ? " takes a channel (1..16) and a number (0..127)" : " takes a channel (1..16) and a value (0..16383)");
            return false;
        }

        const auto status = (std::uint8_t) ((isProgram ? 0xc0 : 0xe0) | (channel - 1));
        action.event = isProgram ? MidiEvent::fromBytes (offset, { status, (std::uint8_t) value })
                                 : MidiEvent::fromBytes (offset, { status, (std::uint8_t) (value & 0x7f), (std::uint8_t) (value >> 7) });
        actions.push_back (action);
        return true;
    }

    int channel = 0, first = 0, second = 0;

    if (words.size() != 6 || ! readInt (words[3], 1, 16, channel) || ! readInt (words[4], 0, 127, first)
        || ! readInt (words[5], 0, 127, second))
    {
        error = type + " takes a channel (1..16) and two values (0..127)";
        return false;
    }

    const auto status = type == "cc" ? 0xb0 : type == "note-on" ? 0x90 : 0x80;
    action.event = MidiEvent::fromBytes (offset, { (std::uint8_t) (status | (channel - 1)), (std::uint8_t) first, (std::uint8_t) second });
    actions.push_back (action);
    return true;
}

/** A message of 1 to 4 bytes in hex. */
bool parseRawMidi (const Words& words, int offset, Action action, std::vector<Action>& actions, std::string& error)
{
    std::vector<std::uint8_t> bytes;

    for (size_t i = 3; i < words.size(); ++i)
    {
        std::uint8_t b = 0;

        if (! readByte (words[i], b))
            break;

        bytes.push_back (b);
    }

    if (bytes.size() != words.size() - 3 || bytes.empty() || bytes.size() > 4)
    {
        error = "midi takes 1 to 4 hex bytes such as b0 07 40";
        return false;
    }

    action.event = MidiEvent::fromBytes (offset, bytes);
    actions.push_back (action);
    return true;
}

/** The MIDI forms: <block> <offset> <kind> ... */
bool parseMidi (const Words& words, Action action, std::vector<Action>& actions, std::string& error)
{
    int offset = 0;

    if (! readInt (words[1], 0, maxBlock, offset))
    {
        error = "unknown action \"" + words[1] + "\"";
        return false;
    }

    if (words.size() < 3)
    {
        error = "a MIDI line needs cc, note-on, note-off, program, pitch-bend or midi after the offset";
        return false;
    }

    const auto& type = words[2];
    action.kind = Action::Kind::midi;

    if (type == "program" || type == "pitch-bend" || type == "cc" || type == "note-on" || type == "note-off")
        return parseChannelMessage (words, offset, action, actions, error);

    if (type == "midi")
        return parseRawMidi (words, offset, action, actions, error);

    error = "unknown MIDI kind \"" + type + "\" (cc, note-on, note-off, program, pitch-bend or midi)";
    return false;
}
} // namespace

bool parseLine (const std::string& rawLine, std::vector<Action>& actions, std::string& error)
{
    const auto line = rawLine.substr (0, rawLine.find ('#'));
    const auto words = splitWords (line);

    if (words.empty())
        return true;

    Action action;

    if (! readInt (words[0], 0, maxBlock, action.block))
    {
        error = "a line starts with its block number (0 or more), not \"" + words[0] + "\"";
        return false;
    }

    if (words.size() < 2)
    {
        error = "nothing to do in block " + words[0];
        return false;
    }

    const auto& verb = words[1];

    if (verb == "say" || verb == "reload" || verb == "deselect")
    {
        action.kind = verb == "say" ? Action::Kind::say : verb == "reload" ? Action::Kind::reload : Action::Kind::deselect;
        action.text = verb == "say" ? restAfter (line, 2) : std::string();
        actions.push_back (action);
        return true;
    }

    if (verb == "save" || verb == "load")
    {
        if (words.size() != 3)
        {
            error = verb + " takes one file name";
            return false;
        }

        action.kind = verb == "save" ? Action::Kind::save : Action::Kind::load;
        action.text = words[2];
        actions.push_back (action);
        return true;
    }

    if (verb == "window")
        return parseWindow (words, action, actions, error);
    if (verb == "set")
        return parseSet (words, action, actions, error);
    if (verb == "cursor")
        return parseCursor (words, action, actions, error);
    if (verb == "sweep")
        return parseSweep (words, action, actions, error);

    return parseMidi (words, action, actions, error);
}

namespace
{
std::string escapeAttribute (const std::string& value)
{
    std::string escaped;

    for (auto c : value)
    {
        switch (c)
        {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
                break;
        }
    }

    return escaped;
}

/** The position of the index-th start tag "<name" (followed by a blank, "/" or ">"). */
size_t findStartTag (const std::string& text, const std::string& name, int index)
{
    const auto opening = "<" + name;

    for (auto pos = text.find (opening); pos != std::string::npos; pos = text.find (opening, pos + 1))
    {
        const auto next = pos + opening.size() < text.size() ? text[pos + opening.size()] : '\0';

        if ((next == ' ' || next == '/' || next == '>') && index-- == 0)
            return pos;
    }

    return std::string::npos;
}
} // namespace

bool setStateAttributes (std::vector<std::uint8_t>& chunk, const std::string& element, int index, const std::vector<std::pair<std::string, std::string>>& attributes)
{
    // The layout of the plug-in's chunk: "VC2!", the text's length (little-endian), the text,
    // two zero bytes.
    if (chunk.size() < 10 || std::string (chunk.begin(), chunk.begin() + 4) != "VC2!")
        return false;

    const auto length = (size_t) chunk[4] | ((size_t) chunk[5] << 8) | ((size_t) chunk[6] << 16) | ((size_t) chunk[7] << 24);

    if (length > chunk.size() - 8)
        return false;

    auto text = std::string (chunk.begin() + 8, chunk.begin() + 8 + (std::ptrdiff_t) length);
    auto tag = findStartTag (text, element, index);

    if (tag == std::string::npos)
    {
        const auto rootEnd = text.rfind ("</");

        if (index != 0 || rootEnd == std::string::npos)
            return false;

        text.insert (rootEnd, "<" + element + "/>");
        tag = rootEnd;
    }

    for (const auto& [name, value] : attributes)
    {
        const auto tagEnd = text.find ('>', tag);
        const auto written = name + "=\"" + escapeAttribute (value) + "\"";
        const auto existing = text.find (" " + name + "=\"", tag);

        if (existing != std::string::npos && existing < tagEnd)
        {
            const auto valueEnd = text.find ('"', existing + name.size() + 3);
            text.replace (existing + 1, valueEnd + 1 - (existing + 1), written);
        }
        else
        {
            const auto insertAt = text[tagEnd - 1] == '/' ? tagEnd - 1 : tagEnd;
            text.insert (insertAt, " " + written);
        }
    }

    std::vector<std::uint8_t> result{ 'V', 'C', '2', '!' };

    for (int shift = 0; shift < 32; shift += 8)
        result.push_back ((std::uint8_t) ((text.size() >> shift) & 0xff));

    result.insert (result.end(), text.begin(), text.end());
    result.push_back (0);
    result.push_back (0);
    chunk = std::move (result);
    return true;
}

bool parseScript (const std::string& text, std::vector<Action>& actions, std::string& error)
{
    std::vector<Action> parsed;
    std::istringstream stream (text);
    std::string line;
    int lineNumber = 0;

    while (std::getline (stream, line))
    {
        ++lineNumber;
        std::string lineError;

        if (! parseLine (line, parsed, lineError))
        {
            error = "line " + std::to_string (lineNumber) + ": " + lineError;
            return false;
        }
    }

    actions.insert (actions.end(), parsed.begin(), parsed.end());
    return true;
}

} // namespace brisquell::host
