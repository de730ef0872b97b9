// SPDX-License-Identifier: GPL-3.0-or-later
// The built app's state file under failure (a folder or file it may not write, a full disk, a
// file size limit, a symbolic link) and the app following the server's period size, each
// against a jackd of the test's own.
#include "JackTestSupport.h"
#include "bench/BenchModels.h"
#include "jack/StateFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace brisquell::test;
namespace fs = std::filesystem;

namespace
{
struct ScratchFolder
{
    std::string path = makeScratchFolder();
    ~ScratchFolder()
    {
        std::system (("umount -q '" + path + "/disk' 2>/dev/null; chmod -R u+w '" + path + "'").c_str());
        fs::remove_all (path);
    }
};

/** The command run so that file permissions bind it: as root, without the capabilities that
    override them.
*/
std::vector<std::string> underPermissions (std::vector<std::string> command)
{
    if (geteuid() == 0)
        command.insert (command.begin(), { "setpriv", "--bounding-set", "-dac_override,-dac_read_search,-fowner" });

    return command;
}

std::string document (int numControllers)
{
    std::string text = "<brisquell><controllers>";

    for (int i = 0; i < numControllers; ++i)
        text += "<controller ccno=\"" + std::to_string (i) + "\" channel=\"1\" name=\"" + std::to_string (i) + "\"/>";

    return text + "</controllers><scenes/></brisquell>";
}

int permissionsOf (const std::string& path)
{
    struct stat info
    {
    };
    return ::stat (path.c_str(), &info) == 0 ? (int) (info.st_mode & 07777) : -1;
}

bool holdsTemporaryFiles (const std::string& folder)
{
    for (const auto& entry : fs::directory_iterator (folder))
        if (entry.path().filename().string().find (".saving-") != std::string::npos)
            return true;

    return false;
}
} // namespace

class JackSession : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (server.isRunning()) << server.getOutput();
        ASSERT_TRUE (probe.isOpen());
    }

    std::unique_ptr<Subprocess> startApp (const std::string& stateFile, std::vector<std::string> prefix = {}, std::vector<std::string> environment = {})
    {
        auto command = prefix;
        for (const auto& argument : { appPath(), std::string ("--headless"), std::string ("--server"), server.getName(), std::string ("--name"), std::string ("app"), std::string ("--connect-in"), probe.getSenderPort(), std::string ("--connect-out"), probe.getRecorderPort(), std::string ("--state"), stateFile })
            command.push_back (argument);

        auto app = std::make_unique<Subprocess> (underPermissions (command), environment);
        EXPECT_TRUE (app->waitForOutput ("ports app:midi_in")) << app->getOutput();
        return app;
    }

    /** A control change that learns a new controller, so that the state differs from the file. */
    void changeTheState (int number)
    {
        const auto numRecorded = probe.getRecorded().size();
        probe.sendControlChange (1, number, 5, 0);
        ASSERT_TRUE (probe.waitForRecorded (numRecorded + 1));
    }

    JackServer server;
    MidiProbe probe{ server.getName(), "probe" };
};

// A state file the app could not save is refused before JACK is reached (the server named here
// does not exist), and stays as it was.
TEST_F (JackSession, UnwritableStateFilesAreRefusedAtStart)
{
    ScratchFolder folder;
    const auto readOnlyFolder = folder.path + "/read-only";
    fs::create_directory (readOnlyFolder);
    writeFile (readOnlyFolder + "/state.brisquell", document (1));
    writeFile (folder.path + "/read-only.brisquell", document (1));
    ::chmod (readOnlyFolder.c_str(), 0555);
    ::chmod ((folder.path + "/read-only.brisquell").c_str(), 0444);

    for (const auto& [stateFile, reason] : { std::pair{ readOnlyFolder + "/state.brisquell", std::string ("takes no new file") },
                                             { folder.path + "/read-only.brisquell", "it is read-only" } })
    {
        Subprocess app (underPermissions ({ appPath(), "--headless", "--server", server.getName() + "-nobody", "--state", stateFile }));
        EXPECT_EQ (app.waitForExit(), 1);
        EXPECT_NE (app.getOutput().find ("cannot save the state file " + stateFile + ": "), std::string::npos) << app.getOutput();
        EXPECT_NE (app.getOutput().find (reason), std::string::npos) << app.getOutput();
        EXPECT_EQ (app.getOutput().find ("JACK"), std::string::npos) << app.getOutput();
        EXPECT_EQ (readFile (stateFile), document (1));
    }
}

// A save that fails keeps the file as it was saved before and leaves nothing behind; the app
// says so, and at quit leaves a rescue copy (beside the file, or in the home folder when the
// file's folder takes none) and ends with 1.
TEST_F (JackSession, FailedSavesKeepThePreviousFileAndLeaveARescueCopy)
{
    struct Case
    {
        const char* name;
        std::function<bool (const std::string& folder)> prepare; // before the app starts; false: skip
        std::function<void (const std::string& folder)> fail;    // makes the next save fail
        std::vector<std::string> prefix;
        const char* reason;
        bool rescued;
    };

    // Large enough that the limit on file sizes, half its size, leaves room for the app's
    // output, which goes to a file too.
    const auto previous = document (300);
    const std::vector<Case> cases{
        { "read-only folder", [] (const std::string&)
          { return true; },
          [] (const std::string& folder)
          { ::chmod (folder.c_str(), 0555); },
          {},
          "Permission denied",
          true },
        { "full disk", [] (const std::string& folder)
          { return geteuid() == 0 && std::system (("mount -t tmpfs -o size=64k tmpfs '" + folder + "'").c_str()) == 0; },
          [] (const std::string& folder)
          { std::system (("head -c 1M /dev/zero > '" + folder + "/filler' 2>/dev/null").c_str()); },
          {},
          "No space left on device",
          true },
        { "file size limit", [] (const std::string&)
          { return true; },
          [] (const std::string&) {},
          { "prlimit", "--fsize=" + std::to_string (previous.size() / 2), "--" },
          "File too large",
          false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ScratchFolder scratch;
        const auto folder = scratch.path + "/disk";
        const auto home = scratch.path + "/home";
        fs::create_directory (folder);
        fs::create_directory (home);

        if (! c.prepare (folder))
        {
            std::cout << "skipped \"" << c.name << "\": cannot be set up here" << std::endl;
            continue;
        }

        const auto stateFile = folder + "/state.brisquell";
        writeFile (stateFile, previous);
        auto app = startApp (stateFile, c.prefix, { "HOME=" + home });

        changeTheState (40);
        c.fail (folder);
        app->sendSignal (SIGUSR1);
        EXPECT_TRUE (app->waitForOutput ("could not save the state file " + stateFile)) << app->getOutput();
        EXPECT_NE (app->getOutput().find (c.reason), std::string::npos) << app->getOutput();

        app->sendSignal (SIGTERM);
        EXPECT_EQ (app->waitForExit(), 1) << app->getOutput();
        EXPECT_EQ (readFile (stateFile), previous);
        EXPECT_FALSE (holdsTemporaryFiles (folder));

        const auto output = app->getOutput();
        const auto at = output.find ("a rescue copy is in ");

        if (! c.rescued)
        {
            EXPECT_NE (output.find ("could not write a rescue copy"), std::string::npos) << output;
            continue;
        }

        ASSERT_NE (at, std::string::npos) << output;
        const auto rescue = output.substr (at + 20, output.find ('\n', at) - at - 20);
        EXPECT_EQ (rescue.rfind (home + "/state.brisquell.rescue-", 0), 0u) << rescue;
        EXPECT_NE (readFile (rescue).find ("<controller ccno=\"40\""), std::string::npos);
    }
}

// A save through a symbolic link replaces the file it leads to, keeps the link, and keeps the
// file's permissions; a file made read-only meanwhile is not replaced, and the rescue copy goes
// beside it.
TEST_F (JackSession, SavesFollowLinksAndKeepPermissions)
{
    ScratchFolder scratch;
    const auto real = scratch.path + "/real";
    fs::create_directory (real);
    writeFile (real + "/state.brisquell", document (2));
    ::chmod ((real + "/state.brisquell").c_str(), 0640);
    const auto link = scratch.path + "/link.brisquell";
    fs::create_symlink ("real/state.brisquell", link);

    auto app = startApp (link, {}, { "HOME=" + scratch.path });
    changeTheState (41);
    app->sendSignal (SIGUSR1);
    ASSERT_TRUE (app->waitForOutput ("saved the state to " + link)) << app->getOutput();

    EXPECT_TRUE (fs::is_symlink (link));
    EXPECT_NE (readFile (real + "/state.brisquell").find ("<controller ccno=\"41\""), std::string::npos);
    EXPECT_EQ (permissionsOf (real + "/state.brisquell"), 0640);
    EXPECT_FALSE (holdsTemporaryFiles (real));

    // The file made read-only while the app runs: the next save fails, the quit leaves a rescue
    // copy beside it.
    ::chmod ((real + "/state.brisquell").c_str(), 0440);
    changeTheState (42);
    app->sendSignal (SIGTERM);
    EXPECT_EQ (app->waitForExit(), 1) << app->getOutput();
    EXPECT_NE (app->getOutput().find ("it is read-only"), std::string::npos) << app->getOutput();
    EXPECT_NE (app->getOutput().find ("a rescue copy is in " + real + "/state.brisquell.rescue-"), std::string::npos) << app->getOutput();
    EXPECT_EQ (readFile (real + "/state.brisquell").find ("ccno=\"42\""), std::string::npos);
}

// The server's new period size reaches the app's period between two periods: the processor
// goes on without a period passed by, and the next tick comes in a period of the new size. A
// project whose first tick is larger than the output port (2,048 NRPN controllers and CC 7,
// 8,193 messages) sends what fits and counts the rest, printed at quit.
TEST_F (JackSession, FollowsTheServersPeriodSize)
{
    ScratchFolder scratch;
    const auto stateFile = scratch.path + "/large.brisquell";
    {
        brisquell::BrisquellPlugInInterface processor;
        brisquell::bench::fillModel (processor.getModel(), 2048, 4, 200, brisquell::ControllerKind::nrpn);
        auto& model = processor.getModel();
        model.setRefreshRate (5000);

        // A new value of CC 7 is stored and goes out alone.
        model.addController (7, 1);
        model.setSelectedScenes ({ model.getScene (0) });
        writeFile (stateFile, brisquell::jack::statefile::documentText (processor).toStdString());
    }

    auto app = startApp (stateFile);
    ASSERT_TRUE (probe.waitForRecorded (2000)) << app->getOutput();

    // The first period's events, all of them (the recorder counts them one by one).
    std::this_thread::sleep_for (std::chrono::milliseconds (300));
    const auto numFirst = probe.getRecorded().size();
    EXPECT_EQ (probe.getRecorded().back().periodStart, probe.getRecorded().front().periodStart);

    ASSERT_TRUE (probe.setPeriodSize (1024));
    EXPECT_TRUE (app->waitForOutput ("following the server: 48000 Hz, 1024 frames a period")) << app->getOutput();

    // A new value of CC 7: the next tick, in a period of the new size,
    // sends it.
    probe.sendControlChange (1, 7, 99, 0);
    ASSERT_TRUE (probe.waitForRecorded (numFirst + 1)) << app->getOutput();
    std::this_thread::sleep_for (std::chrono::milliseconds (300));

    const auto recorded = probe.getRecorded();
    EXPECT_EQ (recorded[numFirst].bytes, (std::array<unsigned char, 3>{ 0xb0, 7, 99 }));
    EXPECT_EQ (recorded[numFirst].periodStart, probe.getSent().back().periodStart);

    for (auto i = numFirst; i < recorded.size(); ++i)
    {
        EXPECT_EQ (recorded[i].periodStart, recorded[numFirst].periodStart);
        EXPECT_LT (recorded[i].frame, 1024u);
    }

    app->sendSignal (SIGTERM);
    EXPECT_EQ (app->waitForExit(), 0) << app->getOutput();
    EXPECT_EQ (recorded.size(), numFirst + 1);
    EXPECT_TRUE (app->waitForOutput ("dropped " + std::to_string (8193 + 1 - recorded.size()) + " outgoing messages the output port had no room for\n"))
        << app->getOutput();
    EXPECT_EQ (app->getOutput().find ("periods passed by"), std::string::npos) << app->getOutput();
}
