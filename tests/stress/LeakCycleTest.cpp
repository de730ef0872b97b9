// SPDX-License-Identifier: GPL-3.0-or-later
// Cycles that a long session repeats: plug-in instances created and destroyed, and the editor
// opened and closed. Under the sanitizer build LeakSanitizer checks that nothing they
// allocated is left unreachable; in every build they must run without a fault.
#include "support/MessageLoop.h"
#include "tests/stress/StressSupport.h"
#include "tools/host/EditorWindow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace brisquell
{
namespace
{

constexpr int numCycles = 200;

void reportLeakCheck()
{
    if (! stress::isLeakCheckAvailable())
        std::cout << "[ leaks    ] not checked: this build has no LeakSanitizer (the sanitizer stage checks)\n";
}

TEST (LeakCycles, TwoHundredInstancesCreatedAndDestroyedLeakNothing)
{
    const auto project = stress::chunkFor (*stress::makeProjectDocument (20, 1, 4));

    for (int cycle = 0; cycle < numCycles; ++cycle)
    {
        auto plugin = stress::loadPlugin (256);
        ASSERT_NE (plugin, nullptr) << "cycle " << cycle;

        plugin->setChunk (project);
        // The first block after a project opens carries the host's set-up, which changes nothing.
        plugin->processBlock (256);
        // CC 0 to 97: 98 and 99 select NRPN parameters and are never learned as controllers.
        plugin->sendEvents ({ host::MidiEvent::controlChange (0, 2, cycle % 98, 64) });
        plugin->processBlock (256);

        // A block that finds the model busy (the plug-in's message thread delivering the
        // restore's notifications) keeps its input for the next one.
        const auto numControllers = [&] { return stress::countOf (*stress::documentOf (plugin->getChunk()), "controllers"); };

        for (int block = 0; block < 100 && numControllers() != 129; ++block)
            plugin->processBlock (256);

        ASSERT_EQ (numControllers(), 129) << "cycle " << cycle;
    }

    reportLeakCheck();
    EXPECT_TRUE (stress::hasNoLeaks()) << "LeakSanitizer found leaks (printed above)";
}

TEST (LeakCycles, TwoHundredEditorOpenCloseCyclesLeakNothingAndKeepTheState)
{
    if (! stress::hasDisplay())
        GTEST_SKIP() << "no X display (run under scripts/test, which starts one)";

    auto plugin = stress::loadPlugin (256);
    ASSERT_NE (plugin, nullptr);
    // The project carries its selection (the last scene): an editor that opens after the
    // restore's notification went round, which the plug-in's message thread may send before
    // the first editor exists, would otherwise find nothing selected, and one that opens
    // before it would select the last scene itself.
    auto project = stress::makeProjectDocument (30, 1, 5);
    project->createNewChildElement ("session")->setAttribute ("selection", "29");
    plugin->setChunk (stress::chunkFor (*project));

    // The first editor leaves the pane's view in the state; from then on every cycle must leave
    // the state exactly as it found it.
    {
        std::string error;
        auto window = host::EditorWindow::open (*plugin, "Brisquellum", error);
        ASSERT_NE (window, nullptr) << error;
        const auto hasSelectedTheLastScene = [&]
        {
            const auto chunk = plugin->getChunk();
            return std::string (chunk.begin(), chunk.end()).find ("selection=\"29\"") != std::string::npos;
        };
        EXPECT_TRUE (test::pumpUntil (hasSelectedTheLastScene, [&]
                                      { window->pump(); }));
    }

    const auto before = plugin->getChunk();

    for (int cycle = 0; cycle < numCycles; ++cycle)
    {
        std::string error;
        auto window = host::EditorWindow::open (*plugin, "Brisquellum", error);
        ASSERT_NE (window, nullptr) << "cycle " << cycle << ": " << error;

        for (int i = 0; i < 3; ++i)
        {
            window->pump();
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        }
    }

    EXPECT_TRUE (plugin->getChunk() == before) << "opening and closing the editor changed the state";

    reportLeakCheck();
    EXPECT_TRUE (stress::hasNoLeaks()) << "LeakSanitizer found leaks (printed above)";
}

} // namespace
} // namespace brisquell
