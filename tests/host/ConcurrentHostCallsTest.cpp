// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostFixture.h"

#include <atomic>
#include <cstring>
#include <thread>

using namespace brisquell;
using namespace brisquell::test;

// Hosts call from three sides at once: blocks on the audio thread, parameter moves on their
// automation thread, chunks and idle calls on the UI thread. None of them may wait for
// another for long, deadlock, or lose what the others did.
TEST (ConcurrentHostCalls, AudioParameterAndChunkThreadsTogether)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin, 48000.0f, 64);

    const auto numBlocks = 4000;
    std::atomic<bool> isDone { false };
    std::atomic<int> badEvents { 0 };

    // Sixteen controllers, learned on the way and then changed; any sixteen blocks in a row
    // name all of them.
    auto runInputBlock = [&] (int block)
    {
        const std::vector<host::MidiEvent> input { cc (block % 64, 1 + (block / 8) % 2, block % 8, block % 128) };

        for (auto& e : runBlock (*plugin, 64, input))
            if (! e.isControlChange() || e.offset < 0 || e.offset >= 64)
                ++badEvents;
    };

    std::thread audio ([&]
                       {
                           for (int block = 0; block < numBlocks; ++block)
                               runInputBlock (block);

                           isDone = true;
                       });

    std::thread automation ([&]
                            {
                                for (int i = 0; ! isDone.load(); ++i)
                                {
                                    plugin->setParameter (i % 2, (float) (i % 200) / 200.0f);
                                    plugin->getParameter ((i + 1) % 2);
                                    std::this_thread::yield();
                                }
                            });

    // At least a few rounds, however quickly the audio thread gets through its blocks.
    for (int i = 0; i < 8 || ! isDone.load(); ++i)
    {
        const auto chunk = plugin->getChunk();

        if (i % 4 == 0)
            plugin->setChunk (chunk);

        plugin->idle();
    }

    audio.join();
    automation.join();

    // A chunk taken before the audio thread's first block may have been restored after its
    // last one, taking back every controller learned meanwhile: sixteen more blocks, with no
    // restore in between, learn each one again.
    for (int block = numBlocks; block < numBlocks + 16; ++block)
        runInputBlock (block);

    EXPECT_EQ (badEvents.load(), 0);

    // Whatever interleaving happened, the state is whole and readable, with the sixteen
    // controllers the input named.
    const auto chunk = plugin->getChunk();
    ASSERT_GT (chunk.size(), 10u);
    EXPECT_EQ (std::memcmp (chunk.data(), "VC2!", 4), 0);
    const auto text = std::string (chunk.begin() + 8, chunk.end());

    auto fresh = loadPlugin();
    ASSERT_NE (fresh, nullptr);
    fresh->setChunk (chunk);
    EXPECT_EQ (fresh->getChunk(), chunk);

    size_t numControllers = 0;

    for (auto pos = text.find ("<controller "); pos != std::string::npos; pos = text.find ("<controller ", pos + 1))
        ++numControllers;

    EXPECT_EQ (numControllers, 16u);
}
