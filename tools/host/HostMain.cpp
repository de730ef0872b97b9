// SPDX-License-Identifier: GPL-3.0-or-later
// brisquell-host: the project's own command-line VST 2.4 host. See usage() below.
#include "tools/host/EditorWindow.h"
#include "tools/host/Session.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
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

/** Reads the command line's words one at a time. A value that is missing or unreadable ends the
    program with status 2, as every usage error does.
*/
class Arguments
{
public:
    Arguments (int count, char** values) : argc (count), argv (values) {}

    /** Steps to the next word; false after the last. */
    bool next() { return ++index < argc; }
    std::string current() const { return argv[index]; }

    /** The word after the current option, which takes it. */
    const char* value (const char* what)
    {
        if (index + 1 >= argc)
        {
            std::cerr << "brisquell-host: " << argv[index] << " needs " << what << "\n";
            std::exit (2);
        }

        return argv[++index];
    }

    long number (long minimum, long maximum)
    {
        const std::string option = argv[index];
        const auto* text = value ("a number");
        long result = 0;

        if (! readNumber (text, minimum, maximum, result))
        {
            std::cerr << "brisquell-host: " << option << " takes a number from " << minimum << " to " << maximum << ", not " << text << "\n";
            std::exit (2);
        }

        return result;
    }

private:
    int argc;
    char** argv;
    int index = 0;
};

enum class Outcome
{
    taken,
    notThisKind,
    refused
};

/** --script and --do: their actions join the list. Refused (and said why) when unreadable. */
Outcome readScriptOption (const std::string& arg, Arguments& args, std::vector<Action>& actions)
{
    std::string error;

    if (arg == "--script")
    {
        const std::string path = args.value ("a file");
        std::vector<std::uint8_t> contents;

        if (! readFile (path, contents))
        {
            std::cerr << "brisquell-host: cannot read " << path << "\n";
            return Outcome::refused;
        }

        if (! parseScript (std::string (contents.begin(), contents.end()), actions, error))
        {
            std::cerr << "brisquell-host: " << path << ": " << error << "\n";
            return Outcome::refused;
        }

        return Outcome::taken;
    }

    if (arg == "--do")
    {
        const std::string line = args.value ("a script line");

        if (! parseLine (line, actions, error))
        {
            std::cerr << "brisquell-host: --do \"" << line << "\": " << error << "\n";
            return Outcome::refused;
        }

        return Outcome::taken;
    }

    return Outcome::notThisKind;
}

/** --window and --ui-scale, whose values need more than a number. */
Outcome readEditorOption (const std::string& arg, Arguments& args, SessionSettings& settings)
{
    if (arg == "--window")
    {
        const std::string size = args.value ("a size such as 640x400");

        if (readWindowSize (size, settings.windowWidth, settings.windowHeight))
            return Outcome::taken;

        std::cerr << "brisquell-host: --window takes a size such as 640x400 (each side 1 to 32767), not " << size << "\n";
        return Outcome::refused;
    }

    if (arg == "--ui-scale")
    {
        const std::string text = args.value ("a scale such as 2");
        char* end = nullptr;
        settings.uiScale = std::strtof (text.c_str(), &end);

        if (end != text.c_str() && *end == 0 && settings.uiScale > 0.0f && settings.uiScale <= 8.0f)
            return Outcome::taken;

        std::cerr << "brisquell-host: --ui-scale takes a scale above 0 and up to 8, such as 1.5, not " << text << "\n";
        return Outcome::refused;
    }

    return Outcome::notThisKind;
}

/** The options that set up the session: its clock, its files, its output and its editor. */
Outcome readSessionOption (const std::string& arg, Arguments& args, SessionSettings& settings)
{
    if (arg == "--rate")
        settings.sampleRate = (float) args.number (1, 10000000);
    else if (arg == "--block")
        settings.blockSize = (int) args.number (0, 1 << 20);
    else if (arg == "--blocks")
        settings.numBlocks = (int) args.number (0, 100000000);
    else if (arg == "--load-chunk")
        settings.loadChunkPath = args.value ("a file");
    else if (arg == "--save-chunk")
        settings.saveChunkPath = args.value ("a file");
    else if (arg == "--per-block")
        settings.isPerBlock = true;
    else if (arg == "--quiet")
        settings.isQuiet = true;
    else if (arg == "--editor")
        settings.opensEditor = true;
    else if (arg == "--hold")
        settings.holdMilliseconds = (int) args.number (0, 3600000);
    else if (arg == "--audio-thread")
        settings.usesAudioThread = true;
    else if (arg == "--realtime")
        settings.isRealtime = true;
    else
        return readEditorOption (arg, args, settings);

    return Outcome::taken;
}

/** What the command line asks for. */
struct CommandLine
{
    SessionSettings settings;
    HostOptions options;
    std::vector<Action> actions;
    std::string pluginPath;
    bool showsInfo = false;
    long editorCycles = 0;
};

/** Reads the whole command line; answers the status to exit with, or none to go on. */
std::optional<int> readCommandLine (int argc, char** argv, CommandLine& line)
{
    Arguments args (argc, argv);

    while (args.next())
    {
        const auto arg = args.current();

        if (arg == "--help" || arg == "-h")
        {
            usage (std::cout);
            return 0;
        }

        auto outcome = readSessionOption (arg, args, line.settings);

        if (outcome == Outcome::notThisKind)
            outcome = readScriptOption (arg, args, line.actions);

        if (outcome == Outcome::refused)
            return 2;

        if (outcome == Outcome::taken)
            continue;

        if (arg == "--info")
            line.showsInfo = true;
        else if (arg == "--editor-cycles")
            line.editorCycles = args.number (0, 100000);
        else if (arg == "--host-version")
            line.options.versionAnswer = args.number (0, 1000000);
        else if (arg == "--no-size-window")
            line.options.canSizeWindow = false;
        else if (! arg.empty() && arg[0] == '-')
        {
            std::cerr << "brisquell-host: unknown option " << arg << " (see --help)\n";
            return 2;
        }
        else if (line.pluginPath.empty())
            line.pluginPath = arg;
        else
        {
            std::cerr << "brisquell-host: one plug-in at a time (" << line.pluginPath << " and " << arg << ")\n";
            return 2;
        }
    }

    if (line.pluginPath.empty())
    {
        usage (std::cerr);
        return 2;
    }

    return std::nullopt;
}

/** Opens and closes the editor that many times; false (having said why) when it cannot open. */
bool cycleEditor (Plugin& plugin, long numCycles)
{
    std::string error;

    for (long cycle = 0; cycle < numCycles; ++cycle)
    {
        auto window = EditorWindow::open (plugin, "Brisquellum", error);

        if (window == nullptr)
        {
            std::cerr << "brisquell-host: " << error << "\n";
            return false;
        }

        for (int i = 0; i < 3; ++i)
        {
            window->pump();
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
    }

    if (numCycles > 0)
        std::cout << "opened and closed the editor " << numCycles << " times\n";

    return true;
}
} // namespace

int main (int argc, char** argv)
{
    CommandLine line;

    if (const auto status = readCommandLine (argc, argv, line))
        return *status;

    std::string error;
    auto plugin = Plugin::load (line.pluginPath, line.options, error);

    if (plugin == nullptr)
    {
        std::cerr << "brisquell-host: " << error << "\n";
        return 1;
    }

    if (line.showsInfo)
        printInfo (*plugin, std::cout);

    if (! cycleEditor (*plugin, line.editorCycles))
        return 1;

    return runSession (*plugin, line.actions, line.settings, std::cout, std::cerr);
}
