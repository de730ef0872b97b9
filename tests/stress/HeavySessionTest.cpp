// SPDX-License-Identifier: GPL-3.0-or-later
// A heavy user's session, through the bundled host and the real plug-in binary: a project of
// 500 scenes, then a flood of 10,000 control changes per block over every channel and CC number
// with auto-learn on, the cursor automated every block, the state saved and restored in the
// middle, and the editor opened and closed on the host's UI thread all the while.
#include "tests/stress/StressSupport.h"
#include "tools/host/EditorWindow.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <thread>

namespace brisquell
{
namespace
{

using Clock = std::chrono::steady_clock;

constexpr int blockSize = 512;
constexpr int eventsPerBlock = 10000;
constexpr int numKeys = 16 * 128;
constexpr int projectScenes = 500;
constexpr int projectChannels = 8;
constexpr int projectValuesPerController = 20;

// CC 99 and 98 select NRPN parameters: they are never learned as controllers, and once both
// have come, CC 6 and 38 are NRPN data entry. The flood leaves them out; only the project's own
// channels have controllers on them.
// CC 120 to 127 are channel mode messages, no controls: never learned, and an instant that
// carries one is a host's reset, which stores nothing. The flood leaves them out too.
constexpr bool isNrpnSelection (int key) { return key % 128 == 98 || key % 128 == 99 || key % 128 >= 120; }
constexpr int numControllers = numKeys - 10 * (16 - projectChannels);

/** One block of the flood: eventsPerBlock control changes that walk over every (channel, CC
    number) from a point that moves block by block, with values that move too, at offsets
    spread over the block in order. Remembers the last value sent for every key.
*/
void fillFlood (std::vector<host::MidiEvent>& events, int block, std::array<int, numKeys>& lastValues)
{
    events.clear();

    for (int i = 0; i < eventsPerBlock; ++i)
    {
        const auto key = (block * 331 + i) % numKeys;

        if (isNrpnSelection (key))
            continue;

        const auto value = (block * 5 + i / numKeys * 13 + key) % 128;
        events.push_back (host::MidiEvent::controlChange ((int) ((long long) i * blockSize / eventsPerBlock),
                                                          key / 128 + 1,
                                                          key % 128,
                                                          value));
        lastValues[(size_t) key] = value;
    }
}

/** The values the document stores for every controller, by key ((channel - 1) * 128 + CC
    number), then by scene index.
*/
std::map<int, std::map<int, int>> valuesByController (const juce::XmlElement& document)
{
    std::map<int, std::map<int, int>> values;

    if (const auto* controllers = document.getChildByName ("controllers"))
        for (const auto* controller : controllers->getChildWithTagNameIterator ("controller"))
        {
            auto& ofController = values[(controller->getIntAttribute ("channel") - 1) * 128 + controller->getIntAttribute ("ccno")];

            for (const auto* value : controller->getChildWithTagNameIterator ("value"))
                ofController[value->getIntAttribute ("scene")] = value->getIntAttribute ("value");
        }

    return values;
}

/** Saves, restores and saves again, as a host reopening its project: both chunks must agree. */
std::vector<std::uint8_t> expectExactRoundTrip (host::Plugin& plugin)
{
    const auto saved = plugin.getChunk();
    plugin.setChunk (saved);
    const auto again = plugin.getChunk();
    EXPECT_FALSE (saved.empty());
    EXPECT_TRUE (saved == again) << "the restored state saves differently (" << saved.size() << " vs " << again.size() << " bytes)";
    return saved;
}

TEST (HeavySession, AFloodOverEveryControllerIntoFiveHundredScenesWithTheEditorCyclingLosesNothing)
{
    if (! stress::hasDisplay())
        GTEST_SKIP() << "no X display (run under scripts/test, which starts one)";

    auto plugin = stress::loadPlugin (blockSize);
    ASSERT_NE (plugin, nullptr);

    // The project: 500 scenes, the controllers of channels 1 to 8 with values in 20 scenes each.
    const auto project = stress::makeProjectDocument (projectScenes, projectChannels, projectValuesPerController);
    plugin->setChunk (stress::chunkFor (*project));
    {
        const auto loaded = stress::documentOf (plugin->getChunk());
        ASSERT_NE (loaded, nullptr);
        ASSERT_EQ (stress::countOf (*loaded, "scenes"), projectScenes);
        ASSERT_EQ (stress::countOf (*loaded, "controllers"), projectChannels * 128);
    }

    const auto numBlocks = stress::getScaledCount ("BRISQUELL_STRESS_BLOCKS", 1000);
    const auto middle = numBlocks / 2;

    std::atomic<bool> isFinished{ false };
    std::atomic<int> blocksWithOutput{ 0 };
    std::atomic<long long> eventsReceived{ 0 };
    juce::WaitableEvent reachedMiddle, mayGoOn;
    std::string badEvent;
    std::array<int, numKeys> lastValues{};

    std::thread audio ([&]
                       {
        std::vector<host::MidiEvent> flood;
        flood.reserve (eventsPerBlock);

        for (int block = 0; block < numBlocks; ++block)
        {
            if (block == middle)
            {
                reachedMiddle.signal();
                mayGoOn.wait();
            }

            // The host's automation: the cursor circles the pane, one step per block.
            const auto angle = (float) block * 0.05f;
            plugin->setParameter (0, 0.5f + 0.45f * std::cos (angle));
            plugin->setParameter (1, 0.5f + 0.45f * std::sin (angle));

            fillFlood (flood, block, lastValues);
            plugin->sendEvents (flood);
            const auto& sent = plugin->processBlock (blockSize);

            if (badEvent.empty())
                badEvent = stress::findBadEvent (sent, blockSize);

            eventsReceived += (long long) sent.size();

            if (! sent.empty())
                ++blocksWithOutput;
        }

        isFinished = true; });

    // The host's UI thread: the editor opens and closes while the flood runs, and a chunk is
    // taken now and then, as a host's autosave does.
    int editorCycles = 0, chunksTaken = 0;
    bool hasMiddleRun = false;
    std::string failure;

    while (! isFinished.load() && failure.empty())
    {
        std::string error;
        auto window = host::EditorWindow::open (*plugin, "Brisquellum", error);

        if (window == nullptr)
        {
            failure = "the editor did not open: " + error;
            break;
        }

        ++editorCycles;
        const auto closeAt = Clock::now() + std::chrono::milliseconds (120);

        while (Clock::now() < closeAt && ! isFinished.load())
        {
            window->pump();

            if (! hasMiddleRun && reachedMiddle.wait (0))
            {
                // The audio thread waits here, so the state is still: it must round-trip exactly,
                // with every controller learned and the project's own values untouched.
                const auto saved = expectExactRoundTrip (*plugin);
                const auto document = stress::documentOf (saved);

                if (document == nullptr)
                {
                    failure = "the middle chunk does not parse";
                }
                else
                {
                    EXPECT_EQ (stress::countOf (*document, "controllers"), numControllers);
                    EXPECT_GT (stress::countOf (*document, "scenes"), projectScenes);

                    // Every project controller keeps its values in the project's own scenes.
                    const auto original = valuesByController (*project);
                    auto now = valuesByController (*document);
                    int changed = 0;

                    for (const auto& [key, values] : original)
                    {
                        auto kept = now[key];

                        for (auto it = kept.begin(); it != kept.end();)
                            it = it->first >= projectScenes ? kept.erase (it) : std::next (it);

                        if (kept != values)
                            ++changed;
                    }

                    EXPECT_EQ (changed, 0) << "project controllers whose values in the project's scenes changed";
                }

                hasMiddleRun = true;
                mayGoOn.signal();
            }

            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        }

        if (editorCycles % 4 == 0)
        {
            const auto document = stress::documentOf (plugin->getChunk());

            if (document == nullptr)
                failure = "a chunk taken during the flood does not parse";

            ++chunksTaken;
        }

        window.reset();
    }

    if (! hasMiddleRun)
        mayGoOn.signal();

    audio.join();

    // The host goes on calling the plug-in, so input that a busy moment held back reaches the
    // model with the next block.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ (stress::findBadEvent (plugin->processBlock (blockSize), blockSize), "");

    ASSERT_TRUE (failure.empty()) << failure;
    EXPECT_TRUE (badEvent.empty()) << badEvent;
    EXPECT_TRUE (hasMiddleRun);
    EXPECT_GT (editorCycles, 1);
    EXPECT_GT (blocksWithOutput.load(), numBlocks / 2) << "output kept flowing";
    EXPECT_GE (eventsReceived.load(), (long long) numKeys) << "every controller was sent";

    // The end: the state round-trips exactly, and the flood's last value for every controller
    // is stored in the scene that was selected when it arrived (the last keyed one).
    const auto saved = expectExactRoundTrip (*plugin);
    const auto document = stress::documentOf (saved);
    ASSERT_NE (document, nullptr);
    ASSERT_EQ (stress::countOf (*document, "controllers"), numControllers);
    const auto lastScene = stress::countOf (*document, "scenes") - 1;

    const auto stored = valuesByController (*document);
    int wrong = 0;

    for (int key = 0; key < numKeys; ++key)
    {
        if (isNrpnSelection (key))
            continue;

        const auto found = stored.find (key);

        if (found == stored.end() || found->second.count (lastScene) == 0
            || found->second.at (lastScene) != lastValues[(size_t) key])
            ++wrong;
    }

    EXPECT_EQ (wrong, 0) << "controllers whose last flooded value was not kept";

    std::cout << "[ flood    ] " << numBlocks << " blocks of " << eventsPerBlock << " control changes, "
              << eventsReceived.load() << " control changes out, " << editorCycles << " editor open/close cycles, "
              << chunksTaken << " chunks taken during the run\n";
}

} // namespace
} // namespace brisquell
