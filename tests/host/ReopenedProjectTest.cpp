// SPDX-License-Identifier: GPL-3.0-or-later
// A project saved and reopened through the built plug-in binary, as a host does it: the cursor,
// the refresh rate, the modes and the scene selection come back with the controllers and scenes.
#include "HostFixture.h"
#include "tools/host/Session.h"

#include <algorithm>
#include <filesystem>
#include <thread>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
/** Runs blocks of the size, moving the cursor before each, until one sends something; answers
    how many blocks that took and the first event's offset in its block.
*/
std::pair<int, int> blocksUntilTheNextTick (host::Plugin& plugin, int blockSize)
{
    for (int block = 1; block <= 1000; ++block)
    {
        plugin.setParameter (0, (float) (block % 2) * 0.5f);

        if (const auto sent = runBlock (plugin, blockSize); ! sent.empty())
            return { block, sent.front().offset };
    }

    return { -1, -1 };
}
} // namespace

TEST (ReopenedProject, SendsWhatWentOutWhenSavedAndKeysNothingAtTheOrigin)
{
    auto original = loadPlugin();
    ASSERT_NE (original, nullptr);
    startProcessing (*original);

    // Two scenes keyed from incoming values at two cursor positions; the second stays selected.
    runBlock (*original, 512, { cc (0, 1, 20, 0) });
    runBlock (*original, 512, { cc (0, 1, 20, 10), cc (1, 1, 21, 100) });
    original->setChunk (host::withoutSceneSelection (original->getChunk()));
    original->setParameter (0, 1.0f);
    runBlock (*original, 512, { cc (0, 1, 20, 0) });
    runBlock (*original, 512, { cc (0, 1, 20, 120), cc (1, 1, 21, 20) });

    original->setParameter (0, 0.3f);
    original->setParameter (1, 0.6f);
    const auto goingOut = runBlock (*original, 512);
    ASSERT_EQ (goingOut.size(), 2u);

    const auto saved = original->getChunk();
    EXPECT_NE (textOf (saved).find ("<session cursorx=\"60\" cursory=\"120\" selection=\"1\"/>"), std::string::npos) << textOf (saved);

    auto reopened = loadPlugin();
    ASSERT_NE (reopened, nullptr);
    startProcessing (*reopened);
    reopened->setChunk (saved);

    EXPECT_EQ (reopened->getParameter (0), original->getParameter (0));
    EXPECT_EQ (reopened->getParameter (1), original->getParameter (1));
    EXPECT_EQ (runBlock (*reopened, 512), goingOut) << "the first tick, nothing moved";
    EXPECT_TRUE (runBlock (*reopened, 512).empty());
    EXPECT_EQ (reopened->getChunk(), saved);

    // The next value lands in the selected scene: no new scene piles up at the origin.
    runBlock (*reopened, 512, { cc (0, 1, 21, 77) });
    const auto after = textOf (reopened->getChunk());
    EXPECT_NE (after.find ("<value value=\"77\" scene=\"1\"/>"), std::string::npos) << after;
    EXPECT_EQ (after.find ("<scene id=\"2\""), std::string::npos) << after;
}

TEST (ReopenedProject, RateAndModesComeBackAndKeepWorking)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin, 44100.0f, 8);

    const auto fixture = readFixture ("session-audit-two-selected.chunk");
    auto text = textOf (fixture);
    ASSERT_NE (text.find (" audit=\"1\""), std::string::npos);

    // Without audit, and nothing selected: what auto-learn and auto-key would otherwise do.
    const std::string savedModes = " autokey=\"0\" audit=\"1\" selection=\"2 0\"";
    text.replace (text.find (savedModes), savedModes.size(), " autolearn=\"0\" autokey=\"0\"");
    plugin->setChunk (chunkOfText (text));
    ASSERT_EQ (textOf (plugin->getChunk()), text);

    // 1000 ticks a second at 44100 Hz: one every 44 samples, in the sixth block of 8 samples.
    ASSERT_FALSE (runBlock (*plugin, 8).empty()) << "the restored scenes go out first";
    EXPECT_EQ (blocksUntilTheNextTick (*plugin, 8), std::make_pair (5, 4));

    runBlock (*plugin, 8, { cc (0, 5, 99, 1), cc (1, 1, 20, 5) });
    const auto after = textOf (plugin->getChunk());
    EXPECT_EQ (after.find ("ccno=\"99\""), std::string::npos) << "auto-learn stays off";
    EXPECT_EQ (after.find ("<scene id=\"3\""), std::string::npos) << "auto-key stays off";
    EXPECT_NE (after.find ("refreshrate=\"1000\" autolearn=\"0\" autokey=\"0\"/>"), std::string::npos) << after;
}

TEST (ReopenedProject, AnAuditedSelectionSoundsAsSavedAndResavesByteForByte)
{
    const auto fixture = readFixture ("session-audit-two-selected.chunk");
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin);
    plugin->setChunk (fixture);

    // The first selected scene's own values, last first: scene 2 holds CC 7 and CC 20.
    const auto sent = runBlock (*plugin, 512);
    ASSERT_EQ (sent.size(), 2u);
    EXPECT_EQ (sent[0], cc (0, 2, 7, 90));
    EXPECT_EQ (sent[1], cc (0, 1, 20, 64));
    EXPECT_FLOAT_EQ (plugin->getParameter (0), 0.75f);
    EXPECT_FLOAT_EQ (plugin->getParameter (1), 0.25f);
    EXPECT_EQ (plugin->getChunk(), fixture);
}

TEST (ReopenedProject, EarlierProjectsRestoreAsBefore)
{
    const auto fixture = readFixture ("three-scenes.chunk");
    ASSERT_EQ (textOf (fixture).find ("session"), std::string::npos);

    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin);
    plugin->setParameter (0, 0.5f);
    runBlock (*plugin, 512, { cc (0, 1, 9, 9) });
    plugin->setChunk (fixture);

    // The cursor stays where it was, nothing is selected, every controller goes out.
    EXPECT_FLOAT_EQ (plugin->getParameter (0), 0.5f);
    EXPECT_EQ (runBlock (*plugin, 512).size(), 3u);
    plugin->setParameter (0, 0.0f);
    EXPECT_EQ (plugin->getChunk(), fixture) << "saved as it was read";
}

TEST (ReopenedProject, SendsItsValuesOnTheAudioThreadAfterAProbeBlockWithTheCursorWhereSaved)
{
    // A fractional cursor, and one an earlier release left outside the range (it comes back at
    // the range's edge). After the state, the host writes back the parameter values it saved.
    for (const auto& [session, reopensWith] : { std::pair{ "<session cursorx=\"66.625\" cursory=\"120.5\"/>", "<session cursorx=\"66.625\" cursory=\"120.5\"/>" },
                                                { "<session cursorx=\"205\" cursory=\"-12\"/>", "<session cursorx=\"200\"/>" } })
    {
        SCOPED_TRACE (session);
        auto original = loadPlugin();
        ASSERT_NE (original, nullptr);
        startProcessing (*original);
        auto text = textOf (readFixture ("three-scenes.chunk"));
        text.insert (text.rfind ("</brisquell>"), session);
        original->setChunk (chunkOfText (text));
        const auto goingOut = runBlock (*original, 512);
        ASSERT_EQ (goingOut.size(), 3u);
        const auto saved = original->getChunk();
        EXPECT_NE (textOf (saved).find (reopensWith), std::string::npos) << textOf (saved);

        auto reopened = loadPlugin();
        ASSERT_NE (reopened, nullptr);
        startProcessing (*reopened);
        reopened->setChunk (saved);
        reopened->setParameter (0, original->getParameter (0));
        reopened->setParameter (1, original->getParameter (1));

        // A host that restores the project and runs one block on the same thread to read the
        // latency drops what that block sends; the audio thread's first block sends it again.
        EXPECT_EQ (runBlock (*reopened, 512), goingOut) << "the probe";
        std::vector<host::MidiEvent> first, second;
        std::thread audio ([&]
                           {
                               first = runBlock (*reopened, 512);
                               second = runBlock (*reopened, 512); });
        audio.join();
        EXPECT_EQ (first, goingOut);
        EXPECT_TRUE (second.empty());
        EXPECT_EQ (reopened->getChunk(), saved);
    }
}

// Every saved project kept as a fixture, restored into the built plug-in, is saved again byte for
// byte, and so again by a new instance that reopens that save: whichever elements a document
// carries, reading and writing each of them leave nothing out and add nothing.
TEST (ReopenedProject, EverySavedFixtureComesBackByteForByte)
{
    std::vector<std::string> names;

    for (const auto& entry : std::filesystem::directory_iterator (BRISQUELL_PLUGIN_FIXTURES))
        if (entry.path().extension() == ".chunk")
            names.push_back (entry.path().filename().string());

    std::sort (names.begin(), names.end());
    ASSERT_GE (names.size(), 6u);

    for (const auto& name : names)
    {
        SCOPED_TRACE (name);
        auto plugin = loadPlugin();
        ASSERT_NE (plugin, nullptr);
        EXPECT_NE (expectSavedAndReopenedByteForByte (*plugin, readFixture (name)), nullptr);
    }
}
