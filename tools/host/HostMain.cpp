// SPDX-License-Identifier: GPL-3.0-or-later
// brisquell-host: the project's own command-line VST 2.4 host. See usage() below.
#include "tools/host/EditorWindow.h"
#include "tools/host/Session.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

using namespace brisquell::host;

namespace
{
void usage (std::ostream& out)
{
    out << "usage: brisquell-host [options] PLUGIN.so\n"
           "\n"
           "Loads a VST 2.4 plug-in, runs blocks of processing and prints every MIDI event the\n"
           "plug-in sends, with its block and sample offset.\n"
           "\n"
           "  --rate HZ            sample rate (default 44100)\n"
           "  --block N            samples per block (default 512)\n"
           "  --blocks N           blocks to run (default: up to the last block the script names)\n"
           "  --script FILE        actions from a file (see below); may be given more than once\n"
           "  --do \"LINE\"          one action, written as a script line; may be repeated\n"
           "  --load-chunk FILE    restore this state chunk before the run\n"
           "  --save-chunk FILE    write the state chunk after the run\n"
           "  --per-block          one line per block that sends something, instead of per event\n"
           "  --quiet              print only the script's \"say\" lines\n"
           "  --info               print what the plug-in declares, then run\n"
           "  --editor             open the editor in an X11 window for the run\n"
           "  --hold MS            keep running the UI this long after the run (with --editor)\n"
           "  --window WxH         open the editor's window at this size instead of the editor's\n"
           "  --editor-cycles N    open and close the editor N times before the run\n"
           "  --ui-scale F         tell the plug-in the host's scale of its user interface (2 for 200 %)\n"
           "  --audio-thread       process on a separate thread while this one pumps effEditIdle\n"
           "  --realtime           pace the blocks at the sample rate\n"
           "  --host-version N     answer audioMasterVersion with N (default 2400)\n"
           "  --no-size-window     answer \"sizeWindow\" with 0\n"
           "  --help               this text\n"
           "\n"
           "Script lines (blocks count from 0; '#' starts a comment):\n"
           "  <block> <offset> cc <channel> <number> <value>\n"
           "  <block> <offset> note-on|note-off <channel> <note> <velocity>\n"
           "  <block> <offset> program <channel> <number>\n"
           "  <block> <offset> pitch-bend <channel> <value 0..16383>\n"
           "  <block> <offset> midi <hex bytes...>\n"
           "  <block> cursor <x|-> <y|->            host parameters 0 and 1, each 0..1\n"
           "  <block> sweep <x0> <y0> <x1> <y1> <blocks>\n"
           "  <block> say <text>\n"
           "  <block> save|load <file>\n"
           "  <block> reload                       save and restore the state, as a host reopening its project\n"
           "  <block> set <element> <n> <name>=<value>...\n"
           "                                       set attributes of the n-th such element of the state\n"
           "  <block> deselect                     save and restore the state without its scene selection\n"
           "  <block> window <width> <height>      resize the editor's window as a user would (with --editor)\n";
}

bool readNumber (const char* text, long minimum, long maximum, long& result)
{
    char* end = nullptr;
    const auto value = std::strtol (text, &end, 10);

    if (*text == 0 || *end != 0 || value < minimum || value > maximum)
        return false;

    result = value;
    return true;
}

/** "640x400": two numbers from 1 to 32767 with an "x" between them. */
bool readWindowSize (const std::string& text, int& width, int& height)
{
    const auto cross = text.find ('x');
    long w = 0, h = 0;

    if (cross == std::string::npos || ! readNumber (text.substr (0, cross).c_str(), 1, 32767, w)
        || ! readNumber (text.substr (cross + 1).c_str(), 1, 32767, h))
        return false;

    width = (int) w;
    height = (int) h;
    return true;
}

void printInfo (Plugin& plugin, std::ostream& out)
{
    auto& fx = plugin.getEffect();
    char id[5] = { (char) ((fx.uniqueID >> 24) & 0xff), (char) ((fx.uniqueID >> 16) & 0xff), (char) ((fx.uniqueID >> 8) & 0xff), (char) (fx.uniqueID & 0xff), 0 };

    out << "effect:     " << plugin.getText (effGetEffectName) << "\n"
        << "product:    " << plugin.getText (effGetProductString) << "\n"
        << "vendor:     " << plugin.getText (effGetVendorString) << "\n"
        << "version:    0x" << std::hex << plugin.dispatch (effGetVendorVersion) << std::dec << "\n"
        << "unique id:  " << id << "\n"
        << "flags:      0x" << std::hex << fx.flags << std::dec << "\n"
        << "category:   " << plugin.dispatch (effGetPlugCategory) << "\n"
        << "programs:   " << fx.numPrograms << "\n"
        << "parameters: " << fx.numParams << "\n";

    for (int i = 0; i < fx.numParams; ++i)
        out << "  " << i << ": " << plugin.getParameterName (i) << " = " << plugin.getParameter (i)
            << " (" << plugin.getParameterDisplay (i) << ")\n";

    out << "audio:      " << fx.numInputs << " in, " << fx.numOutputs << " out\n";
}
} // namespace

int main (int argc, char** argv)
{
    SessionSettings settings;
    HostOptions options;
    std::vector<Action> actions;
    std::string pluginPath;
    bool showsInfo = false;
    long editorCycles = 0;

    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        long number = 0;
        std::string error;

        const auto needValue = [&] (const char* what) -> const char*
        {
            if (! hasValue)
            {
                std::cerr << "brisquell-host: " << arg << " needs " << what << "\n";
                std::exit (2);
            }

            return argv[++i];
        };

        const auto needNumber = [&] (long minimum, long maximum) -> long
        {
            const auto* text = needValue ("a number");

            if (! readNumber (text, minimum, maximum, number))
            {
                std::cerr << "brisquell-host: " << arg << " takes a number from " << minimum << " to " << maximum << ", not " << text << "\n";
                std::exit (2);
            }

            return number;
        };

        if (arg == "--help" || arg == "-h")
        {
            usage (std::cout);
            return 0;
        }
        else if (arg == "--rate")
            settings.sampleRate = (float) needNumber (1, 10000000);
        else if (arg == "--block")
            settings.blockSize = (int) needNumber (0, 1 << 20);
        else if (arg == "--blocks")
            settings.numBlocks = (int) needNumber (0, 100000000);
        else if (arg == "--script")
        {
            const std::string path = needValue ("a file");
            std::vector<std::uint8_t> contents;

            if (! readFile (path, contents))
            {
                std::cerr << "brisquell-host: cannot read " << path << "\n";
                return 2;
            }

            if (! parseScript (std::string (contents.begin(), contents.end()), actions, error))
            {
                std::cerr << "brisquell-host: " << path << ": " << error << "\n";
                return 2;
            }
        }
        else if (arg == "--do")
        {
            const std::string line = needValue ("a script line");

            if (! parseLine (line, actions, error))
            {
                std::cerr << "brisquell-host: --do \"" << line << "\": " << error << "\n";
                return 2;
            }
        }
        else if (arg == "--load-chunk")
            settings.loadChunkPath = needValue ("a file");
        else if (arg == "--save-chunk")
            settings.saveChunkPath = needValue ("a file");
        else if (arg == "--per-block")
            settings.isPerBlock = true;
        else if (arg == "--quiet")
            settings.isQuiet = true;
        else if (arg == "--info")
            showsInfo = true;
        else if (arg == "--editor")
            settings.opensEditor = true;
        else if (arg == "--hold")
            settings.holdMilliseconds = (int) needNumber (0, 3600000);
        else if (arg == "--window")
        {
            const std::string size = needValue ("a size such as 640x400");

            if (! readWindowSize (size, settings.windowWidth, settings.windowHeight))
            {
                std::cerr << "brisquell-host: --window takes a size such as 640x400 (each side 1 to 32767), not " << size << "\n";
                return 2;
            }
        }
        else if (arg == "--ui-scale")
        {
            const std::string text = needValue ("a scale such as 2");
            char* end = nullptr;
            settings.uiScale = std::strtof (text.c_str(), &end);

            if (end == text.c_str() || *end != 0 || ! (settings.uiScale > 0.0f && settings.uiScale <= 8.0f))
            {
                std::cerr << "brisquell-host: --ui-scale takes a scale above 0 and up to 8, such as 1.5, not " << text << "\n";
                return 2;
            }
        }
        else if (arg == "--editor-cycles")
            editorCycles = needNumber (0, 100000);
        else if (arg == "--audio-thread")
            settings.usesAudioThread = true;
        else if (arg == "--realtime")
            settings.isRealtime = true;
        else if (arg == "--host-version")
            options.versionAnswer = needNumber (0, 1000000);
        else if (arg == "--no-size-window")
            options.canSizeWindow = false;
        else if (! arg.empty() && arg[0] == '-')
        {
            std::cerr << "brisquell-host: unknown option " << arg << " (see --help)\n";
            return 2;
        }
        else if (pluginPath.empty())
            pluginPath = arg;
        else
        {
            std::cerr << "brisquell-host: one plug-in at a time (" << pluginPath << " and " << arg << ")\n";
            return 2;
        }
    }

    if (pluginPath.empty())
    {
        usage (std::cerr);
        return 2;
    }

    std::string error;
    auto plugin = Plugin::load (pluginPath, options, error);

    if (plugin == nullptr)
    {
        std::cerr << "brisquell-host: " << error << "\n";
        return 1;
    }

    if (showsInfo)
        printInfo (*plugin, std::cout);

    for (long cycle = 0; cycle < editorCycles; ++cycle)
    {
        auto window = EditorWindow::open (*plugin, "Brisquellum", error);

        if (window == nullptr)
        {
            std::cerr << "brisquell-host: " << error << "\n";
            return 1;
        }

        for (int i = 0; i < 3; ++i)
        {
            window->pump();
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
    }

    if (editorCycles > 0)
        std::cout << "opened and closed the editor " << editorCycles << " times\n";

    return runSession (*plugin, actions, settings, std::cout, std::cerr);
}
