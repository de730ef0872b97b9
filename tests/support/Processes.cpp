// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/Processes.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace brisquell::test
{

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
PrivateDisplay::PrivateDisplay (bool withWindowManagerAtoms)
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

    // A bare X server has no window manager to create these, as a desktop's would (see
    // scripts/lib/common.sh's ensure_display).
    if (withWindowManagerAtoms)
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
std::string makeScratchFolder()
{
    const auto* temp = std::getenv ("TMPDIR");
    std::string pattern = std::string (temp != nullptr && *temp != 0 ? temp : "/tmp") + "/brisquell-test-XXXXXX";
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
