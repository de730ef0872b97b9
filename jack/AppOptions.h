// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_core/juce_core.h>

namespace brisquell::jack
{

/** What the app's command line asks for. */
struct AppOptions
{
    juce::File stateFile;             // none: nothing is loaded or saved
    juce::StringArray connectInputs;  // ports whose MIDI goes into "midi_in"
    juce::StringArray connectOutputs; // ports that take what "midi_out" sends
    juce::String clientName{ "Brisquellum" };
    juce::String serverName; // empty: JACK's default server
    bool headless = false;
    bool showHelp = false;
    bool showVersion = false;
    bool userState = false; // the state file is the user's own (userStateFile()); its folder is made on start

    /** Reads the arguments (without the program's name); false, and the reason in error, for
        an unknown option or a missing value.
    */
    bool parse (const juce::StringArray& arguments, juce::String& error);

    /** The state file a desktop's menu starts the app with: session.brisquell in the folder
        "brisquellum" of $XDG_DATA_HOME (an absolute path), else of ~/.local/share.
    */
    static juce::File userStateFile();

    /** The usage text for --help and errors. */
    static juce::String usage();
};

} // namespace brisquell::jack
