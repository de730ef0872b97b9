#include "JackTestSupport.h"

#include <X11/Xlib.h>
#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace brisquell::test
{

namespace
{
/** Polls the condition every 10 ms until it holds or the time is up; answers the condition. */
template <typename Condition>
bool waitUntil (Condition&& condition, int timeoutMilliseconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMilliseconds);

    while (! condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return condition();

        std::this_thread::sleep_for (std::chrono::milliseconds (10));
    }

    return true;
}

std::atomic<int> nextScratchNumber{ 0 };

void quietly (const char*) {}
} // namespace

//==============================================================================
Subprocess::Subprocess (const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
    : outputPath (makeScratchFolder() + "/output.txt")
{
    std::vector<std::string> variables (environment);

    for (auto** entry = environ; *entry != nullptr; ++entry)
    {
        const std::string variable (*entry);
        const auto name = variable.substr (0, variable.find ('=') + 1);

        if (std::none_of (environment.begin(), environment.end(), [&] (const auto& e)
                          { return e.rfind (name, 0) == 0; }))
            variables.push_back (variable);
    }

    std::vector<char*> envp;

    for (auto& variable : variables)
        envp.push_back (variable.data());

    envp.push_back (nullptr);

    std::vector<char*> argv;

    for (const auto& argument : arguments)
        argv.push_back (const_cast<char*> (argument.c_str()));

    argv.push_back (nullptr);

    pid = fork();

    if (pid == 0)
    {
        // The child ends with the test, however the test ends: a jackd left behind would hold
        // one of the few server slots JACK allows.
        prctl (PR_SET_PDEATHSIG, SIGTERM);
        const auto output = open (outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const auto input = open ("/dev/null", O_RDONLY);
        dup2 (input, STDIN_FILENO);
        dup2 (output, STDOUT_FILENO);
        dup2 (output, STDERR_FILENO);
        execvpe (argv[0], argv.data(), envp.data());
        _exit (127);
    }
}

Subprocess::~Subprocess()
{
    // Politely first: a JACK client killed outright stalls a synchronous server until its
    // time-out.
    if (isRunning())
    {
        kill (pid, SIGTERM);

        if (waitForExit (10000) < 0)
        {
            kill (pid, SIGKILL);
            waitForExit (5000);
        }
    }

    std::filesystem::remove_all (std::filesystem::path (outputPath).parent_path());
}

std::string Subprocess::getOutput() const { return readFile (outputPath); }

bool Subprocess::waitForOutput (const std::string& text, int timeoutMilliseconds) const
{
    return waitUntil ([&]
                      { return getOutput().find (text) != std::string::npos; },
                      timeoutMilliseconds);
}

int Subprocess::waitForExit (int timeoutMilliseconds)
{
    waitUntil ([&]
               { return ! isRunning(); },
               timeoutMilliseconds);
    return exitStatus;
}

void Subprocess::sendSignal (int signal) const
{
    if (pid > 0)
        kill (pid, signal);
}

bool Subprocess::isRunning()
{
    if (pid <= 0 || exitStatus >= 0)
        return false;

    int status = 0;

    if (waitpid (pid, &status, WNOHANG) != pid)
        return true;

    exitStatus = WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
    return false;
}

//==============================================================================
JackServer::JackServer()
    : name ("brisquell-test-" + std::to_string (getpid()) + "-" + std::to_string (nextScratchNumber.fetch_add (1)))
{
    jack_set_error_function (quietly);
    jack_set_info_function (quietly);

    process = std::make_unique<Subprocess> (std::vector<std::string>{ "jackd", "-S", "-n", name, "--no-realtime", "-t", "5000", "-d", "dummy", "-r", std::to_string (sampleRate), "-p", std::to_string (periodSize) });

    // Ready once a client can connect.
    running = waitUntil ([this]
                         {
                             jack_status_t status {};
                             auto* probe = jack_client_open ("probe", (jack_options_t) (JackNoStartServer | JackServerName), &status, name.c_str());

                             if (probe == nullptr)
                                 return false;

                             jack_client_close (probe);
                             return true; },
                         30000);
}

JackServer::~JackServer() { stop(); }

void JackServer::stop()
{
    if (process == nullptr)
        return;

    process->sendSignal (SIGTERM);

    if (process->waitForExit (20000) < 0)
        process->sendSignal (SIGKILL);

    process.reset();
    running = false;
}

//==============================================================================
MidiProbe::MidiProbe (const std::string& serverName, const std::string& clientName)
    : name (clientName)
{
    sent.resize (capacity);
    recorded.resize (capacity);

    // A busy server may not answer a client's opening in time; try for a while.
    const auto options = (jack_options_t) (JackNoStartServer | JackServerName | JackUseExactName);
    const auto openClient = [&] (jack_client_t*& client, const std::string& fullName)
    {
        return waitUntil ([&]
                          { return (client = jack_client_open (fullName.c_str(), options, nullptr, serverName.c_str())) != nullptr; },
                          20000);
    };

    openClient (sender, name + "-send");
    openClient (recorder, name + "-record");

    if (! isOpen())
        return;

    outputPort = jack_port_register (sender, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    inputPort = jack_port_register (recorder, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback (sender, processSender, this);
    jack_set_process_callback (recorder, processRecorder, this);
    jack_activate (sender);
    jack_activate (recorder);
}

MidiProbe::~MidiProbe()
{
    for (auto* client : { sender, recorder })
    {
        if (client != nullptr)
        {
            jack_deactivate (client);
            jack_client_close (client);
        }
    }
}

void MidiProbe::sendControlChange (int channel, int number, int value, jack_nframes_t frame)
{
    waitUntil ([this]
               { return ! hasPending.load(); },
               5000);
    pending.frame = frame;
    pending.bytes = { (unsigned char) (0xb0 | (channel - 1)), (unsigned char) number, (unsigned char) value };
    hasPending.store (true);
    waitUntil ([this]
               { return ! hasPending.load(); },
               20000);
}

void MidiProbe::startStreaming (int number) { streamingNumber.store (number); }

std::vector<MidiProbe::Event> MidiProbe::getSent() const
{
    return std::vector<Event> (sent.begin(), sent.begin() + (long) numSent.load());
}

std::vector<MidiProbe::Event> MidiProbe::getRecorded() const
{
    return std::vector<Event> (recorded.begin(), recorded.begin() + (long) numRecorded.load());
}

bool MidiProbe::waitForRecorded (size_t count, int timeoutMilliseconds) const
{
    return waitUntil ([&]
                      { return numRecorded.load() >= count; },
                      timeoutMilliseconds);
}

int MidiProbe::processSender (jack_nframes_t numFrames, void* self)
{
    auto& probe = *static_cast<MidiProbe*> (self);
    auto* buffer = jack_port_get_buffer (probe.outputPort, numFrames);
    jack_midi_clear_buffer (buffer);

    const auto periodStart = jack_last_frame_time (probe.sender);
    const auto write = [&] (Event event)
    {
        event.periodStart = periodStart;
        const auto index = probe.numSent.load();

        if (index < capacity && jack_midi_event_write (buffer, event.frame, event.bytes.data(), 3) == 0)
        {
            probe.sent[index] = event;
            probe.numSent.store (index + 1);
        }
    };

    if (probe.hasPending.load())
    {
        write (probe.pending);
        probe.hasPending.store (false);
    }

    if (const auto number = probe.streamingNumber.load(); number >= 0)
        write ({ 0, 5, { 0xb0, (unsigned char) number, (unsigned char) (1 + probe.streamCounter++ % 127) } });

    return 0;
}

int MidiProbe::processRecorder (jack_nframes_t numFrames, void* self)
{
    auto& probe = *static_cast<MidiProbe*> (self);
    auto* buffer = jack_port_get_buffer (probe.inputPort, numFrames);
    const auto periodStart = jack_last_frame_time (probe.recorder);

    for (jack_nframes_t i = 0; i < jack_midi_get_event_count (buffer); ++i)
    {
        jack_midi_event_t event{};
        const auto index = probe.numRecorded.load();

        if (jack_midi_event_get (&event, buffer, i) != 0 || event.size != 3 || index >= capacity)
            continue;

        probe.recorded[index] = { periodStart, event.time, { event.buffer[0], event.buffer[1], event.buffer[2] } };
        probe.numRecorded.store (index + 1);
    }

    return 0;
}

//==============================================================================
PrivateDisplay::PrivateDisplay()
{
    for (int number = 150; number < 250 && display == nullptr; ++number)
    {
        if (std::filesystem::exists ("/tmp/.X" + std::to_string (number) + "-lock")
            || std::filesystem::exists ("/tmp/.X11-unix/X" + std::to_string (number)))
            continue;

        name = ":" + std::to_string (number);
        server = std::make_unique<Subprocess> (std::vector<std::string>{ "Xvfb", name, "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset" });

        // Ready once it takes a connection; gone at once when another server took the number.
        waitUntil ([&]
                   { return (display = XOpenDisplay (name.c_str())) != nullptr || ! server->isRunning(); },
                   10000);
    }

    if (display == nullptr)
        return;

    // A window can go between finding it and asking about it; Xlib's default handler would
    // end the test for that.
    XSetErrorHandler ([] (::Display*, XErrorEvent*)
                      { return 0; });

    // A bare X server has no window manager to create these; the framework's windows need them
    // (as scripts/lib/common.sh's ensure_display knows).
    for (const auto* atom : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE", "WM_STATE" })
        XInternAtom (display, atom, False);

    XSync (display, False);
}

PrivateDisplay::~PrivateDisplay()
{
    if (display != nullptr)
        XCloseDisplay (display);
}

//==============================================================================
std::string appPath() { return BRISQUELL_JACK_APP; }

std::string fixturePath (const std::string& fileName) { return std::string (BRISQUELL_PLUGIN_FIXTURES) + "/" + fileName; }

std::string makeScratchFolder()
{
    const auto* temp = std::getenv ("TMPDIR");
    std::string pattern = std::string (temp != nullptr && *temp != 0 ? temp : "/tmp") + "/brisquell-jack-test-XXXXXX";
    std::vector<char> buffer (pattern.begin(), pattern.end());
    buffer.push_back (0);
    return mkdtemp (buffer.data()) != nullptr ? std::string (buffer.data()) : std::string ("/tmp");
}

std::string readFile (const std::string& path)
{
    std::ifstream in (path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile (const std::string& path, const std::string& content)
{
    std::ofstream out (path, std::ios::binary);
    out << content;
}

} // namespace brisquell::test
