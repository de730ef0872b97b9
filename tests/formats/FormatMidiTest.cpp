#include "FormatHost.h"

using namespace brisquell::test;

namespace
{
/** The sample times (block start + offset) of what the plug-in sends when "cursor X" moves
    before every block, counting from the given block.
*/
std::vector<int> sendTimesWhileMoving (juce::AudioPluginInstance& plugin, int blockSize, int firstBlock, int numBlocks)
{
    auto* cursorX = findParameter (plugin, "cursor X");
    std::vector<int> times;

    if (cursorX == nullptr)
        return times;

    for (int block = firstBlock; block < firstBlock + numBlocks; ++block)
    {
        cursorX->setValueNotifyingHost (block % 2 == 0 ? 0.2f : 0.4f);

        for (auto& e : runBlock (plugin, blockSize))
            times.push_back (block * blockSize + e.offset);
    }

    return times;
}
} // namespace

// As tests/host/MidiBoundaryTest.cpp: ticks every 220 samples at 44.1 kHz fall into 64-sample
// blocks at the offsets they are due, so each format hands the offsets on unchanged.
TEST_P (FormatTest, ControlChangesGoOutAtTheirOffsets)
{
    auto plugin = loadPlugin (GetParam(), 44100.0, 64);
    ASSERT_NE (plugin, nullptr);

    ASSERT_EQ (runBlock (*plugin, 64, { cc (0, 1, 7, 1) }).size(), 1u);
    EXPECT_EQ (sendTimesWhileMoving (*plugin, 64, 1, 20), (std::vector<int>{ 220, 440, 660, 880, 1100, 1320 }));
}

// Every value on the outer channels and controller numbers survives both ways (VST3 carries
// incoming CCs as normalised parameter values, outgoing ones as legacy MIDI CC events).
TEST_P (FormatTest, EveryValueGoesInAndComesOutUnchanged)
{
    for (const auto& [channel, number] : { std::pair{ 1, 0 }, std::pair{ 16, 127 }, std::pair{ 10, 64 } })
    {
        auto plugin = loadPlugin (GetParam());
        ASSERT_NE (plugin, nullptr);

        // Learned and keyed at once: the keying value is not stored, so the scene sends 0.
        EXPECT_EQ (runBlock (*plugin, 512, { cc (100, channel, number, 64) }), (std::vector<Event>{ cc (0, channel, number, 0) }));

        for (int value = 1; value < 128; ++value)
            ASSERT_EQ (runBlock (*plugin, 512, { cc (value * 3, channel, number, value) }), (std::vector<Event>{ cc (0, channel, number, value) }))
                << "channel " << channel << ", CC " << number << ", value " << value;

        ASSERT_EQ (runBlock (*plugin, 512, { cc (511, channel, number, 0) }), (std::vector<Event>{ cc (0, channel, number, 0) }));
    }
}

TEST_P (FormatTest, EventsReachTheProcessorInSampleOrder)
{
    auto plugin = loadPlugin (GetParam());
    ASSERT_NE (plugin, nullptr);
    runBlock (*plugin, 512, { cc (0, 1, 7, 0) });

    // Listed out of order: the value at offset 100 is applied after the one at offset 10.
    EXPECT_EQ (runBlock (*plugin, 512, { cc (100, 1, 7, 10), cc (10, 1, 7, 20) }), (std::vector<Event>{ cc (0, 1, 7, 10) }));
    EXPECT_EQ (runBlock (*plugin, 512, { cc (10, 1, 7, 30), cc (100, 1, 7, 40) }), (std::vector<Event>{ cc (0, 1, 7, 40) }));
}

TEST_P (FormatTest, IncomingMidiNeverComesBackOut)
{
    auto plugin = loadPlugin (GetParam());
    ASSERT_NE (plugin, nullptr);

    const std::vector<Event> notes{ { 0, { 0x90, 60, 100 } }, { 100, { 0x80, 60, 0 } }, { 200, { 0xe0, 0, 64 } } };
    EXPECT_TRUE (runBlock (*plugin, 512, notes).empty());

    runBlock (*plugin, 512, { cc (0, 1, 7, 0) });
    EXPECT_EQ (runBlock (*plugin, 512, { cc (300, 1, 7, 99), { 400, { 0x90, 60, 100 } } }), (std::vector<Event>{ cc (0, 1, 7, 99) }));
    EXPECT_TRUE (runBlock (*plugin, 512).empty());
}
