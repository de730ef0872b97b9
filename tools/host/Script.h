// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/host/VstHost.h"

#include <string>
#include <vector>

namespace brisquell::host
{

//==============================================================================
/** What a host session does before a block: send MIDI, move the cursor parameters, print a
    line, or save and load the state chunk. Scripts are text, one action per line:

        <block> <offset> cc <channel> <number> <value>
        <block> <offset> note-on <channel> <note> <velocity>
        <block> <offset> note-off <channel> <note> <velocity>
        <block> <offset> program <channel> <number>
        <block> <offset> pitch-bend <channel> <value>       0..16383, 8192 in the middle
        <block> <offset> midi <hex byte> [<hex byte>...]     1 to 4 bytes, e.g. "b0 07 40"
        <block> cursor <x|-> <y|->                          the two parameters, 0..1 ("-" keeps one)
        <block> sweep <x0> <y0> <x1> <y1> <blocks>          the cursor in equal steps over the blocks
        <block> say <text>                                  prints the text as the block starts
        <block> save <file>                                 writes the state chunk to the file
        <block> load <file>                                 restores the state chunk from the file
        <block> reload                                      saves the state and restores it, as a
                                                            host does when it reopens its project
        <block> set <element> <n> <name>=<value>...          sets attributes of the n-th element
                                                            (from 0) of that name in the saved
                                                            state and restores it, as a project
                                                            edited by hand; a first element that
                                                            is missing is added to the root
        <block> deselect                                    saves the state and restores it without
                                                            its scene selection, which is what a click
                                                            on the editor's empty pane does: the next
                                                            incoming value keys a new scene
        <block> window <width> <height>                     resizes the host's window around the
                                                            open editor, as a user dragging its edge

    Blank lines and everything after '#' are ignored. Blocks count from 0.
*/
struct Action
{
    enum class Kind
    {
        midi,
        cursor,
        say,
        save,
        load,
        reload,
        set,
        deselect,
        window
    };

    Kind kind = Kind::midi;
    int block = 0;
    MidiEvent event;                   // midi
    bool setsX = false, setsY = false; // cursor
    float x = 0.0f, y = 0.0f;          // cursor
    int width = 0, height = 0;         // window
    std::string text;                  // say, save, load; set: the element's name
    int index = 0;                     // set
    std::vector<std::pair<std::string, std::string>> attributes; // set
};

/** The state chunk with the attributes set in the index-th element of that name (counted from
    0 in document order), added when missing; a first element of that name (index 0) that is
    missing is added at the end of the root. False (and the chunk unchanged) when the chunk holds
    no document or the element cannot be found. Values are written escaped.
*/
bool setStateAttributes (std::vector<std::uint8_t>& chunk, const std::string& element, int index, const std::vector<std::pair<std::string, std::string>>& attributes);

/** Reads the script text into actions (a sweep becomes one cursor action per block). On a bad
    line answers false with "line N: ..." in the error and leaves the actions as they were.
*/
bool parseScript (const std::string& text, std::vector<Action>& actions, std::string& error);

/** Reads one script line (no line number in the error). */
bool parseLine (const std::string& line, std::vector<Action>& actions, std::string& error);

} // namespace brisquell::host
