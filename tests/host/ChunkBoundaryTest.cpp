// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostFixture.h"
#include "tools/host/Session.h"

#include <cstring>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
/** Three learned controllers with values in two scenes: a state worth keeping. */
void buildState (host::Plugin& plugin)
{
    startProcessing (plugin);
    runBlock (plugin, 512, { cc (0, 1, 20, 0) });                                      // learns, keys scene 1
    runBlock (plugin, 512, { cc (0, 1, 20, 10), cc (1, 1, 21, 100), cc (2, 2, 22, 60) }); // values in scene 1
    plugin.setChunk (host::withoutSceneSelection (plugin.getChunk()));                    // deselects scene 1
    plugin.setParameter (0, 1.0f);
    runBlock (plugin, 512, { cc (0, 1, 20, 0) });                                      // keys scene 2
    runBlock (plugin, 512, { cc (0, 1, 20, 120), cc (1, 1, 21, 20), cc (2, 2, 22, 0) });
}

std::string chunkText (const std::vector<std::uint8_t>& chunk)
{
    return chunk.size() > 10 ? std::string (chunk.begin() + 8, chunk.end() - 2) : std::string();
}
} // namespace

TEST (ChunkBoundary, ChunkRestoresTheStateInAFreshInstance)
{
    auto original = loadPlugin();
    ASSERT_NE (original, nullptr);
    buildState (*original);
    const auto saved = original->getChunk();

    ASSERT_GT (saved.size(), 10u);
    EXPECT_EQ (std::memcmp (saved.data(), "VC2!", 4), 0);
    EXPECT_NE (chunkText (saved).find ("<controller ccno=\"22\" channel=\"2\""), std::string::npos);

    auto restored = loadPlugin();
    ASSERT_NE (restored, nullptr);
    EXPECT_EQ (restored->setChunk (saved), 0);
    EXPECT_EQ (restored->getChunk(), saved);

    // The restored scenes count as moved: the next block sends every controller, last first.
    startProcessing (*restored);
    const auto sent = runBlock (*restored, 512);
    ASSERT_EQ (sent.size(), 3u);
    EXPECT_EQ (sent[0].bytes[1], 22);
    EXPECT_EQ (sent[2].bytes[1], 20);
}

TEST (ChunkBoundary, ProgramChunkRestoresTheWholeStateToo)
{
    auto original = loadPlugin();
    ASSERT_NE (original, nullptr);
    buildState (*original);
    const auto programChunk = original->getChunk (true);
    EXPECT_EQ (programChunk, original->getChunk (false));

    auto restored = loadPlugin();
    ASSERT_NE (restored, nullptr);
    restored->setChunk (programChunk, true);
    EXPECT_EQ (restored->getChunk(), programChunk);
}

TEST (ChunkBoundary, EmptyOrUnreadableChunksRestoreNothing)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    buildState (*plugin);
    const auto before = plugin->getChunk();

    EXPECT_EQ (plugin->setChunk ({}), 0);
    EXPECT_EQ (plugin->dispatch (effSetChunk, 0, 100, nullptr), 0);
    plugin->setChunk ({ 'V', 'C', '2', '!', 4, 0, 0, 0, '<', 'b', '>', 0 });
    plugin->setChunk ({ 'X', 'C', '2', '!', 5, 0, 0, 0, '<', 'b', '/', '>', 0, 0, 0 });

    EXPECT_EQ (plugin->getChunk(), before);
}

TEST (ChunkBoundary, TextThatIsNotValidUtf8IsKeptOneCharacterPerByte)
{
    // An overlong "<" (0xc0 0xbc) in a name: not UTF-8, so every byte of the text is a
    // character of its own, and the name survives as text instead of turning into markup.
    const std::string text = "<brisquell><controllers><controller ccno=\"7\" channel=\"1\" name=\"a\xc0\xbc"
                             "b/>\"/></controllers><scenes/></brisquell>";
    const auto bytes = std::string ("VC2!") + (char) text.size() + std::string (3, '\0') + text + std::string (2, '\0');
    const std::vector<std::uint8_t> chunk (bytes.begin(), bytes.end());

    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    plugin->setChunk (chunk);

    const auto saved = chunkText (plugin->getChunk());
    EXPECT_NE (saved.find ("<controller ccno=\"7\" channel=\"1\" name=\"a&#192;&#188;b/&gt;\"/>"), std::string::npos) << saved;
}

TEST (ChunkBoundary, ChunkPointerStaysValidUntilTheNextChunkCall)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    buildState (*plugin);

    const void* pointer = nullptr;
    const auto copy = plugin->getChunk (false, &pointer);
    ASSERT_NE (pointer, nullptr);

    // Blocks, parameter moves and idle calls on the UI thread leave the host's chunk alone.
    for (int i = 0; i < 50; ++i)
    {
        plugin->setParameter (1, (float) i / 50.0f);
        runBlock (*plugin, 512, { cc (0, 1, 20, i) });
        plugin->idle();
    }

    EXPECT_EQ (std::memcmp (pointer, copy.data(), copy.size()), 0);
}
