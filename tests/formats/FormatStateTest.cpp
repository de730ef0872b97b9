// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormatHost.h"

using namespace brisquell::test;

namespace
{
juce::MemoryBlock fixture (const char* name)
{
    juce::MemoryBlock data;
    juce::File (BRISQUELL_PLUGIN_FIXTURES).getChildFile (name).loadFileAsData (data);
    return data;
}

/** Three learned controllers with values in two scenes. */
void buildState (Format format, juce::AudioPluginInstance& plugin)
{
    runBlock (plugin, 512, { cc (0, 1, 20, 0) });
    runBlock (plugin, 512, { cc (0, 1, 20, 10), cc (1, 1, 21, 100), cc (2, 2, 22, 60) });
    deselectScenes (format, plugin);
    findParameter (plugin, "cursor X")->setValueNotifyingHost (1.0f);
    runBlock (plugin, 512, { cc (0, 1, 20, 0) });
    runBlock (plugin, 512, { cc (0, 1, 20, 120), cc (1, 1, 21, 20), cc (2, 2, 22, 0) });
}

std::vector<int> sentNumbers (const std::vector<Event>& sent)
{
    std::vector<int> numbers;

    for (const auto& e : sent)
        numbers.push_back (e.bytes.size() == 3 ? e.bytes[1] : -1);

    return numbers;
}
} // namespace

TEST_P (FormatTest, StateRestoresInAFreshInstance)
{
    const auto format = GetParam();
    auto original = loadPlugin (format);
    ASSERT_NE (original, nullptr);
    buildState (format, *original);
    const auto saved = saveState (*original);
    const auto chunk = chunkInside (format, saved);

    ASSERT_GT (chunk.getSize(), 10u);
    EXPECT_TRUE (juce::String::fromUTF8 (static_cast<const char*> (chunk.getData()) + 8, (int) chunk.getSize() - 10)
                     .contains ("<controller ccno=\"22\" channel=\"2\""));

    auto restored = loadPlugin (format);
    ASSERT_NE (restored, nullptr);
    restoreState (*restored, saved);
    EXPECT_EQ (chunkInside (format, saveState (*restored)), chunk);

    // The restored scenes count as moved: the next block sends every controller, last first.
    EXPECT_EQ (sentNumbers (runBlock (*restored, 512)), (std::vector<int>{ 22, 21, 20 }));
}

// The state every format keeps is the VST 2.4 binary's state chunk, so a project's plug-in state
// moves between formats: the chunk of a real document goes in, and comes out byte for byte.
TEST_P (FormatTest, StateIsTheVst2ChunkByteForByte)
{
    const auto format = GetParam();
    const auto chunk = fixture ("three-scenes.chunk");
    ASSERT_GT (chunk.getSize(), 10u);

    auto plugin = loadPlugin (format);
    ASSERT_NE (plugin, nullptr);
    restoreState (*plugin, stateCarrying (format, chunk));

    EXPECT_EQ (chunkInside (format, saveState (*plugin)), chunk);
    EXPECT_EQ (sentNumbers (runBlock (*plugin, 512)), (std::vector<int>{ 22, 21, 20 }));

    // Named, coloured scenes and a sharper mix move the same way.
    const auto named = fixture ("named-coloured-scenes.chunk");
    ASSERT_GT (named.getSize(), 10u);
    restoreState (*plugin, stateCarrying (format, named));
    EXPECT_EQ (chunkInside (format, saveState (*plugin)), named);
}

TEST_P (FormatTest, BadStateChangesNothing)
{
    const auto format = GetParam();
    auto plugin = loadPlugin (format);
    ASSERT_NE (plugin, nullptr);
    buildState (format, *plugin);
    const auto before = chunkInside (format, saveState (*plugin));
    ASSERT_GT (before.getSize(), 10u);

    const juce::MemoryBlock garbage ("\x01\x02garbage\xff", 10);
    juce::MemoryBlock wrongMagic (chunkWithText ("<brisquell/>"));
    static_cast<char*> (wrongMagic.getData())[0] = 'X';

    for (const auto& state : { juce::MemoryBlock(),
                               garbage,
                               stateCarrying (format, garbage),
                               stateCarrying (format, wrongMagic),
                               stateCarrying (format, chunkWithText ("<brisquell><controllers>")),
                               stateCarrying (format, chunkWithText ("<b><?pi?>x</b>")) })
    {
        restoreState (*plugin, state);
        EXPECT_EQ (chunkInside (format, saveState (*plugin)), before) << state.getSize() << " bytes";
    }

    // Still working: the controllers are all there to send.
    restoreState (*plugin, saveState (*plugin));
    EXPECT_EQ (sentNumbers (runBlock (*plugin, 512)).size(), 3u);
}
