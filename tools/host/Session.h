// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/host/Script.h"
#include "tools/host/VstHost.h"

#include <ostream>
#include <string>
#include <vector>

namespace brisquell::host
{

//==============================================================================
/** How a session drives the plug-in. */
struct SessionSettings
{
    float sampleRate = 44100.0f;
    int blockSize = 512;

    /** Blocks to run; -1 runs up to the last block the script names, plus one. */
    int numBlocks = -1;

    /** Print one line per block with output instead of one line per event. */
    bool isPerBlock = false;
    /** Print nothing but "say" lines and errors. */
    bool isQuiet = false;

    /** Process on a separate audio thread while this thread pumps the editor and effEditIdle. */
    bool usesAudioThread = false;
    /** Pace the blocks at the sample rate instead of running as fast as possible. */
    bool isRealtime = false;

    /** Open the editor in an X11 window for the run; keep it open this long afterwards. */
    bool opensEditor = false;
    int holdMilliseconds = 0;

    /** The editor window's size when it opens; 0 x 0 takes the editor's own size. */
    int windowWidth = 0, windowHeight = 0;

    /** The host's scale sent to the plug-in before the editor opens (see Plugin::setContentScale);
        0 sends none.
    */
    float uiScale = 0.0f;

    std::string loadChunkPath, saveChunkPath;
};

/** Runs the actions against the plug-in as a host does: sample rate and block size, resume,
    then for every block its actions, its MIDI (effProcessEvents) and processReplacing, printing
    what the plug-in sends; then suspend. Answers 0, or 1 after an error (printed to errors).
*/
int runSession (Plugin& plugin, const std::vector<Action>& actions, const SessionSettings& settings, std::ostream& out, std::ostream& errors);

/** The state chunk of a plug-in of this project with the scene selection taken out of its
    document (the "selection" attribute of its "session" element); anything else comes back as
    it is. Restoring it deselects every scene and changes nothing else.
*/
std::vector<std::uint8_t> withoutSceneSelection (const std::vector<std::uint8_t>& chunk);

/** Reads a whole file; false when it cannot be read. */
bool readFile (const std::string& path, std::vector<std::uint8_t>& contents);
bool writeFile (const std::string& path, const std::vector<std::uint8_t>& contents);

} // namespace brisquell::host
