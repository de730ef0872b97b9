// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackTestSupport.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace brisquell::test;

namespace
{
/** The app on the test's server, connected to the probe by its own options. */
std::unique_ptr<Subprocess> startApp (const JackServer& server, const MidiProbe& probe, std::vector<std::string> extra = {})
{
    std::vector<std::string> arguments{ appPath(), "--headless", "--server", server.getName(), "--name", "app", "--connect-in", probe.getSenderPort(), "--connect-out", probe.getRecorderPort() };
    arguments.insert (arguments.end(), extra.begin(), extra.end());
    auto app = std::make_unique<Subprocess> (arguments);
    EXPECT_TRUE (app->waitForOutput ("ports app:midi_in app:midi_out at 48000 Hz, 128 frames")) << app->getOutput();
    return app;
}

int value (const MidiProbe::Event& e) { return e.bytes[2]; }

/** The state file's text for the fixture chunk: the document the chunk carries. */
std::string fixtureDocument()
{
    const auto chunk = readFile (fixturePath ("three-scenes.chunk"));
    return chunk.size() > 10 ? chunk.substr (8, chunk.size() - 10) : std::string();
}

struct ScratchFolder
{
    std::string path = makeScratchFolder();
    ~ScratchFolder() { std::filesystem::remove_all (path); }
};
} // namespace

class JackApp : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (server.isRunning()) << "jackd did not start:\n"
                                         << server.getOutput();
        ASSERT_TRUE (probe.isOpen());
    }

    JackServer server;
    MidiProbe probe{ server.getName(), "probe" };
};

// A control change in comes back out in the same period: learned and keyed at once it sends 0,
// afterwards what arrives.
TEST_F (JackApp, ControlChangesComeBackInTheSamePeriod)
{
    auto app = startApp (server, probe);

    probe.sendControlChange (1, 7, 64, 10);
    ASSERT_TRUE (probe.waitForRecorded (1)) << app->getOutput();
    probe.sendControlChange (1, 7, 99, 50);
    ASSERT_TRUE (probe.waitForRecorded (2)) << app->getOutput();

    const auto sent = probe.getSent();
    const auto recorded = probe.getRecorded();
    ASSERT_EQ (sent.size(), 2u);
    ASSERT_EQ (recorded.size(), 2u);

    for (size_t i = 0; i < 2; ++i)
    {
        EXPECT_EQ (recorded[i].periodStart, sent[i].periodStart) << i;
        EXPECT_LT (recorded[i].frame, 128u) << i;
    }

    // The first tick is due at once; the next one 240 frames after it at the earliest (but the
    // app's clock started with its first period, which the test cannot see).
    EXPECT_EQ (recorded[0].frame, 0u);

    EXPECT_EQ (recorded[0].bytes, (std::array<unsigned char, 3>{ 0xb0, 7, 64 }));
    EXPECT_EQ (recorded[1].bytes, (std::array<unsigned char, 3>{ 0xb0, 7, 99 }));

    app->sendSignal (SIGTERM);
    EXPECT_EQ (app->waitForExit(), 0) << app->getOutput();
}

// With a value arriving in every period, output ticks fall every 240 frames (200 per second
// at 48 kHz) on JACK's clock, at their frames inside the 128-frame periods, each with the value
// of its own period. (After a quiet time the processor first catches up at one tick per period.)
TEST_F (JackApp, OutputTicksRunOnJacksSampleClock)
{
    auto app = startApp (server, probe);
    probe.sendControlChange (1, 7, 0, 0);
    ASSERT_TRUE (probe.waitForRecorded (1));
    probe.startStreaming (7);

    constexpr size_t wantedTicks = 40;
    const auto ticksInStep = [&]
    {
        const auto recorded = probe.getRecorded();
        size_t run = 0;

        for (size_t i = 1; i < recorded.size(); ++i)
            run = recorded[i].time() - recorded[i - 1].time() == 240 ? run + 1 : 0;

        return run;
    };

    // Each wait ends with the next tick; the catching up takes about as long as the app idled.
    for (int tick = 0; tick < 2000 && ticksInStep() < wantedTicks; ++tick)
        if (! probe.waitForRecorded (probe.getRecorded().size() + 1, 5000))
            break;

    ASSERT_GE (ticksInStep(), wantedTicks) << app->getOutput();

    const auto sent = probe.getSent();
    const auto recorded = probe.getRecorded();
    std::set<jack_nframes_t> frames;

    for (size_t i = 1; i < recorded.size(); ++i)
    {
        const auto& out = recorded[i];
        EXPECT_LT (out.frame, 128u);
        frames.insert (out.frame);

        const auto in = std::find_if (sent.begin(), sent.end(), [&] (const auto& s)
                                      { return s.periodStart == out.periodStart; });
        ASSERT_NE (in, sent.end()) << "output in a period without input";
        EXPECT_EQ (value (out), value (*in));
    }

    // 240 frames apart in 128-frame periods: the ticks walk through the period.
    EXPECT_GT (frames.size(), 4u);

    app->sendSignal (SIGTERM);
    EXPECT_EQ (app->waitForExit(), 0) << app->getOutput();
}

// The state file: saved on SIGUSR1 and on quit, restored at the next start (whose first
// period sends every controller), written byte for byte as the plug-in's chunk carries it.
TEST_F (JackApp, StateFileRoundTrip)
{
    ScratchFolder folder;
    const auto stateFile = folder.path + "/session.brisquell";

    {
        auto app = startApp (server, probe, { "--state", stateFile });
        for (const auto& [channel, number, ccValue] : { std::tuple{ 1, 20, 0 }, { 1, 20, 10 }, { 1, 21, 100 }, { 2, 22, 60 } })
        {
            const auto numRecorded = probe.getRecorded().size();
            probe.sendControlChange (channel, number, ccValue, 0);
            ASSERT_TRUE (probe.waitForRecorded (numRecorded + 1));
        }

        app->sendSignal (SIGUSR1);
        ASSERT_TRUE (app->waitForOutput ("saved the state to " + stateFile)) << app->getOutput();
        EXPECT_NE (readFile (stateFile).find ("<controller ccno=\"22\" channel=\"2\" name=\"22\"><value value=\"60\""), std::string::npos);

        app->sendSignal (SIGTERM);
        EXPECT_EQ (app->waitForExit(), 0) << app->getOutput();
    }

    const auto saved = readFile (stateFile);
    const auto numBefore = probe.getRecorded().size();

    {
        auto app = startApp (server, probe, { "--state", stateFile });
        ASSERT_TRUE (probe.waitForRecorded (numBefore + 3)) << app->getOutput();
        app->sendSignal (SIGINT);
        EXPECT_EQ (app->waitForExit(), 0) << app->getOutput();
    }

    const auto restored = probe.getRecorded();
    EXPECT_EQ (restored[numBefore].bytes, (std::array<unsigned char, 3>{ 0xb1, 22, 60 }));
    EXPECT_EQ (restored[numBefore + 1].bytes, (std::array<unsigned char, 3>{ 0xb0, 21, 100 }));
    EXPECT_EQ (restored[numBefore + 2].bytes, (std::array<unsigned char, 3>{ 0xb0, 20, 10 }));
    EXPECT_EQ (readFile (stateFile), saved);
}

// A document the plug-in saved in a host's project opens in the app and is written back as it
// was.
TEST_F (JackApp, OpensAPluginDocument)
{
    ScratchFolder folder;
    const auto stateFile = folder.path + "/three-scenes.brisquell";
    const auto document = fixtureDocument();
    ASSERT_FALSE (document.empty());
    writeFile (stateFile, document);

    auto app = startApp (server, probe, { "--state", stateFile });
    ASSERT_TRUE (probe.waitForRecorded (3)) << app->getOutput();
    app->sendSignal (SIGTERM);
    EXPECT_EQ (app->waitForExit(), 0) << app->getOutput();
    EXPECT_EQ (readFile (stateFile), document);
}

// Errors end the app with a message and exit code 1, and leave the state file as it was.
TEST_F (JackApp, ErrorsAreClearAndLoseNothing)
{
    ScratchFolder folder;

    {
        Subprocess app ({ appPath(), "--headless", "--server", server.getName() + "-nobody" });
        EXPECT_EQ (app.waitForExit(), 1);
        EXPECT_NE (app.getOutput().find ("no JACK server is running under the name \"" + server.getName() + "-nobody\""), std::string::npos)
            << app.getOutput();
    }

    {
        // libjack takes an unnamed server from the environment, and so does the message.
        Subprocess app ({ appPath(), "--headless" }, { "JACK_DEFAULT_SERVER=" + server.getName() + "-elsewhere" });
        EXPECT_EQ (app.waitForExit(), 1);
        EXPECT_NE (app.getOutput().find ("no JACK server is running under the name \"" + server.getName() + "-elsewhere\""), std::string::npos)
            << app.getOutput();
    }

    for (const auto* option : { "--connect-in", "--connect-out" })
    {
        Subprocess app ({ appPath(), "--headless", "--server", server.getName(), option, "nobody:nothing" });
        EXPECT_EQ (app.waitForExit(), 1) << option;
        EXPECT_NE (app.getOutput().find ("port matches \"nobody:nothing\""), std::string::npos) << app.getOutput();
    }

    {
        // An input port named where an output port is wanted.
        Subprocess app ({ appPath(), "--headless", "--server", server.getName(), "--connect-in", probe.getRecorderPort() });
        EXPECT_EQ (app.waitForExit(), 1);
        EXPECT_NE (app.getOutput().find ("is no MIDI output port"), std::string::npos) << app.getOutput();
    }

    for (const auto& content : { std::string ("not a document"), std::string ("<other/>"), std::string ("<brisquell><controllers>") })
    {
        const auto stateFile = folder.path + "/bad.brisquell";
        writeFile (stateFile, content);
        Subprocess app ({ appPath(), "--headless", "--server", server.getName(), "--state", stateFile });
        EXPECT_EQ (app.waitForExit(), 1) << content;
        EXPECT_NE (app.getOutput().find ("holds no Brisquellum state document"), std::string::npos) << app.getOutput();
        EXPECT_EQ (readFile (stateFile), content);
    }

    {
        Subprocess app ({ appPath(), "--headless", "--state", folder.path + "/missing/folder/state" });
        EXPECT_EQ (app.waitForExit(), 1);
        EXPECT_NE (app.getOutput().find ("does not exist"), std::string::npos) << app.getOutput();
    }

    {
        Subprocess app ({ appPath(), "--frobnicate" });
        EXPECT_EQ (app.waitForExit(), 1);
        EXPECT_NE (app.getOutput().find ("unknown option \"--frobnicate\""), std::string::npos) << app.getOutput();
        EXPECT_NE (app.getOutput().find ("usage: brisquellum-jack"), std::string::npos);
    }
}

// When the server goes away under it, the app says so, saves the state and ends with 1.
TEST_F (JackApp, ServerStoppingEndsTheAppWithItsStateSaved)
{
    ScratchFolder folder;
    const auto stateFile = folder.path + "/state.brisquell";
    auto app = startApp (server, probe, { "--state", stateFile });
    probe.sendControlChange (1, 30, 5, 0);
    ASSERT_TRUE (probe.waitForRecorded (1));

    server.stop();
    EXPECT_EQ (app->waitForExit(), 1) << app->getOutput();
    EXPECT_NE (app->getOutput().find ("the JACK server shut the client down"), std::string::npos) << app->getOutput();
    EXPECT_NE (readFile (stateFile).find ("<controller ccno=\"30\""), std::string::npos);
}

namespace
{
/** The top-level window with the name (or a name that starts with it), searched through the
    whole tree (0 when none).
*/
Window findWindow (Display* display, Window parent, const std::string& name, bool isPrefix = false)
{
    // The name's property may be UTF-8 text, which XFetchName does not read.
    XTextProperty property{};

    if (XGetWMName (display, parent, &property) != 0 && property.value != nullptr)
    {
        const std::string windowName (reinterpret_cast<const char*> (property.value), property.nitems);
        const bool matches = isPrefix ? windowName.rfind (name, 0) == 0 : windowName == name;
        XFree (property.value);

        if (matches)
            return parent;
    }

    Window root = 0, parentOfParent = 0, *children = nullptr;
    unsigned int numChildren = 0;

    if (XQueryTree (display, parent, &root, &parentOfParent, &children, &numChildren) == 0)
        return 0;

    Window found = 0;

    for (unsigned int i = 0; i < numChildren && found == 0; ++i)
        found = findWindow (display, children[i], name, isPrefix);

    if (children != nullptr)
        XFree (children);

    return found;
}

/** Presses Ctrl and the key in the window through the X server's test extension, as a keyboard
    would (the framework reads the modifiers from the keyboard's state, not from the event).
*/
void pressControlKey (Display* display, Window window, KeySym key, bool withControl = true)
{
    // Without a window manager nobody gives the window the keyboard focus: the test does.
    XSetInputFocus (display, window, RevertToParent, CurrentTime);
    XSync (display, False);

    const auto control = XKeysymToKeycode (display, XK_Control_L);
    const auto letter = XKeysymToKeycode (display, key);

    if (withControl)
        XTestFakeKeyEvent (display, control, True, 0);

    XTestFakeKeyEvent (display, letter, True, 0);
    XTestFakeKeyEvent (display, letter, False, 0);

    if (withControl)
        XTestFakeKeyEvent (display, control, False, 0);

    XSync (display, False);
}

/** The viewable window with the name (or a name starting with it), waited for a while. */
Window waitForWindow (Display* display, const std::string& name, bool isPrefix = false)
{
    for (int attempt = 0; attempt < 250; ++attempt)
    {
        XWindowAttributes attributes{};
        const auto window = findWindow (display, DefaultRootWindow (display), name, isPrefix);

        if (window != 0 && XGetWindowAttributes (display, window, &attributes) != 0 && attributes.map_state == IsViewable)
            return window;

        std::this_thread::sleep_for (std::chrono::milliseconds (20));
    }

    return 0;
}

/** Asks the window to close, as a window manager's close button does. */
void closeWindow (Display* display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom (display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long) XInternAtom (display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent (display, window, False, NoEventMask, &event);
    XSync (display, False);
}
} // namespace

// With a window: the editor shows in a top-level window named after the client, Ctrl+S saves
// the state, and quitting closes the editor first, so that its size is in the saved state.
TEST_F (JackApp, WindowSavesOnCtrlSAndOnQuit)
{
    PrivateDisplay privateDisplay;
    auto* display = privateDisplay.get();
    ASSERT_NE (display, nullptr) << "could not start Xvfb";

    ScratchFolder folder;
    const auto stateFile = folder.path + "/window.brisquell";
    Subprocess app ({ appPath(), "--server", server.getName(), "--name", "windowed", "--state", stateFile }, { privateDisplay.environment() });
    ASSERT_TRUE (app.waitForOutput ("ports windowed:midi_in")) << app.getOutput();

    Window window = 0;

    for (int attempt = 0; attempt < 500 && window == 0; ++attempt)
    {
        window = findWindow (display, DefaultRootWindow (display), "windowed");

        if (window == 0)
            std::this_thread::sleep_for (std::chrono::milliseconds (20));
    }

    ASSERT_NE (window, 0u) << "no window named after the client";

    // The window may not be shown yet, or be made anew (the framework may replace its peer while
    // it sets the window up): look it up and press again until the save is reported.
    bool saved = false;

    for (int attempt = 0; attempt < 40 && ! saved; ++attempt)
    {
        XWindowAttributes attributes{};
        window = findWindow (display, DefaultRootWindow (display), "windowed");

        if (window != 0 && XGetWindowAttributes (display, window, &attributes) != 0 && attributes.map_state == IsViewable)
            pressControlKey (display, window, XK_s);

        saved = app.waitForOutput ("saved the state to " + stateFile, 500);
    }

    EXPECT_TRUE (saved) << app.getOutput();
    EXPECT_NE (readFile (stateFile).find ("<gui width="), std::string::npos) << readFile (stateFile);

    app.sendSignal (SIGTERM);
    EXPECT_EQ (app.waitForExit(), 0) << app.getOutput();
}

// A save that fails shows in the window: a message box, and the title says NOT SAVED. Closing the
// window then asks again; once the folder takes files again, "Try again" (Return) saves and
// quits.
TEST_F (JackApp, WindowTellsOfAFailedSaveAndAsksAtQuit)
{
    PrivateDisplay privateDisplay;
    auto* display = privateDisplay.get();
    ASSERT_NE (display, nullptr) << "could not start Xvfb";

    ScratchFolder folder;
    const auto stateFile = folder.path + "/window.brisquell";
    std::vector<std::string> command{ appPath(), "--server", server.getName(), "--name", "unsaved", "--state", stateFile };

    // As root, without the capabilities that override file permissions.
    if (geteuid() == 0)
        command.insert (command.begin(), { "setpriv", "--bounding-set", "-dac_override,-dac_read_search,-fowner" });

    Subprocess app (command, { privateDisplay.environment() });
    ASSERT_TRUE (app.waitForOutput ("ports unsaved:midi_in")) << app.getOutput();

    ::chmod (folder.path.c_str(), 0555);
    bool failed = false;

    for (int attempt = 0; attempt < 40 && ! failed; ++attempt)
    {
        if (const auto window = waitForWindow (display, "unsaved"))
            pressControlKey (display, window, XK_s);

        failed = app.waitForOutput ("could not save the state file " + stateFile, 500);
    }

    ASSERT_TRUE (failed) << app.getOutput();
    EXPECT_NE (waitForWindow (display, "The state was not saved"), 0u);
    ASSERT_NE (waitForWindow (display, "unsaved - NOT SAVED"), 0u);

    // As with the key, ask again until the question shows (the window may not be ready yet).
    Window question = 0;

    for (int attempt = 0; attempt < 20 && question == 0; ++attempt)
    {
        if (const auto current = findWindow (display, DefaultRootWindow (display), "unsaved", true))
            closeWindow (display, current);

        for (int i = 0; i < 25 && question == 0; ++i, std::this_thread::sleep_for (std::chrono::milliseconds (20)))
            question = findWindow (display, DefaultRootWindow (display), "Quit without the state saved?");
    }

    ASSERT_NE (question, 0u) << app.getOutput();
    EXPECT_TRUE (app.isRunning());
    EXPECT_FALSE (std::filesystem::exists (stateFile));

    ::chmod (folder.path.c_str(), 0755);
    bool saved = false;

    for (int attempt = 0; attempt < 20 && ! saved; ++attempt)
    {
        if (const auto current = findWindow (display, DefaultRootWindow (display), "Quit without the state saved?"))
            pressControlKey (display, current, XK_Return, false);

        saved = app.waitForOutput ("saved the state to " + stateFile, 500);
    }

    EXPECT_TRUE (saved) << app.getOutput();
    EXPECT_EQ (app.waitForExit(), 0) << app.getOutput();
    EXPECT_NE (readFile (stateFile).find ("<gui width="), std::string::npos) << app.getOutput();
}
