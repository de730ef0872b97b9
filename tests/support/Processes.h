// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct _XDisplay; // Xlib's Display

namespace brisquell::test
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

//==============================================================================
/** A child process with its stdout and stderr in one file; ended when it is dropped. */
class Subprocess
{
public:
    /** Starts the command with the process's environment, and the given "NAME=value" entries
        in place of the ones of the same names.
    */
    explicit Subprocess (const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {});
    ~Subprocess();

    /** Everything the process has written so far. */
    std::string getOutput() const;

    /** Waits until the output holds the text; false after the timeout. */
    bool waitForOutput (const std::string& text, int timeoutMilliseconds = 20000) const;

    /** Waits for the process to end: its exit code, or 128 + the signal that ended it; -1 when
        it still runs after the timeout.
    */
    int waitForExit (int timeoutMilliseconds = 20000);

    void sendSignal (int signal) const;
    bool isRunning();

private:
    int pid = -1;
    int exitStatus = -1;
    std::string outputPath;
};

//==============================================================================
/** An X server of the test's own (Xvfb on a free display number), so that no other test's
    window takes the keyboard focus from the test's; stopped when dropped. The test's own
    connection ignores X errors (a window can go between finding it and asking about it).

    With window-manager atoms, it creates the atoms a window manager would (WM_PROTOCOLS,
    WM_STATE and the others), as a desktop has them; without, it is as bare as a virtual display
    gets, and only what its clients make exists.
*/
class PrivateDisplay
{
public:
    explicit PrivateDisplay (bool withWindowManagerAtoms = true);
    ~PrivateDisplay();

    /** The open connection, or none when no server could be started. */
    ::_XDisplay* get() const noexcept { return display; }

    /** "DISPLAY=:N", for the processes that are to show their windows there. */
    std::string environment() const { return "DISPLAY=" + name; }

private:
    std::string name;
    std::unique_ptr<Subprocess> server;
    ::_XDisplay* display = nullptr;
};

//==============================================================================
/** A new, empty folder for the test's files. */
std::string makeScratchFolder();

std::string readFile (const std::string& path);
void writeFile (const std::string& path, const std::string& content);

} // namespace brisquell::test
