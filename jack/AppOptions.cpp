// SPDX-License-Identifier: GPL-3.0-or-later
#include "jack/AppOptions.h"

namespace brisquell::jack
{

bool AppOptions::parse (const juce::StringArray& arguments, juce::String& error)
{
    for (int i = 0; i < arguments.size(); ++i)
    {
        const auto& option = arguments[i];

        if (option == "--headless")
        {
            headless = true;
            continue;
        }

        if (option == "--help" || option == "-h")
        {
            showHelp = true;
            continue;
        }

        if (option == "--version")
        {
            showVersion = true;
            continue;
        }

        if (option == "--user-state")
        {
            userState = true;
            continue;
        }

        if (! (option == "--state" || option == "--connect-in" || option == "--connect-out" || option == "--name"
               || option == "--server"))
        {
            error = "unknown option \"" + option + "\"";
            return false;
        }

        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
        {
            error = option + " needs a value";
            return false;
        }

        const auto value = arguments[++i];

        if (option == "--state")
            stateFile = juce::File::getCurrentWorkingDirectory().getChildFile (value);
        else if (option == "--connect-in")
            connectInputs.add (value);
        else if (option == "--connect-out")
            connectOutputs.add (value);
        else if (option == "--name")
            clientName = value;
        else
            serverName = value;
    }

    if (userState)
    {
        if (stateFile != juce::File())
        {
            error = "--state and --user-state name two state files; give one";
            return false;
        }

        stateFile = userStateFile();
    }

    return true;
}

juce::File AppOptions::userStateFile()
{
    const auto dataHome = juce::SystemStats::getEnvironmentVariable ("XDG_DATA_HOME", {});
    const auto base = juce::File::isAbsolutePath (dataHome) ? juce::File (dataHome)
                                                            : juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".local/share");
    return base.getChildFile ("brisquellum").getChildFile ("session.brisquell");
}

juce::String AppOptions::usage()
{
    return "usage: brisquellum-jack [options]\n"
           "  --state FILE        load the state from FILE and save it there on quit, on SIGUSR1\n"
           "                      and on Ctrl+S in the window (created by the first save)\n"
           "  --connect-in PORT   connect a MIDI output port to midi_in (repeatable)\n"
           "  --connect-out PORT  connect midi_out to a MIDI input port (repeatable)\n"
           "                      PORT is a full port name, or else a regular expression\n"
           "  --user-state        keep the state in the user's own file,\n"
           "                      $XDG_DATA_HOME/brisquellum/session.brisquell\n"
           "                      (~/.local/share/brisquellum/session.brisquell)\n"
           "  --headless          run without the editor's window\n"
           "  --name NAME         the JACK client's name (Brisquellum)\n"
           "  --server NAME       the JACK server to use (JACK's default)\n"
           "  --version           print the version\n"
           "  --help              show this text\n";
}

} // namespace brisquell::jack
