// SPDX-License-Identifier: GPL-3.0-or-later
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
    for (const auto& [channel, number] : { std::pair{ 1, 0 }, std::pair{ 16, 119 }, std::pair{ 10, 64 } })
    {
        auto plugin = loadPlugin (GetParam());
        ASSERT_NE (plugin, nullptr);

        // Learned and keyed at once: the keying value is the scene's first, and goes out.
        EXPECT_EQ (runBlock (*plugin, 512, { cc (100, channel, number, 64) }), (std::vector<Event>{ cc (0, channel, number, 64) }));

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

// Cursor sources and scene triggers live in the shared processor: each format hands the
// messages on and the processor does the rest, from each message's offset.
TEST_P (FormatTest, SourcesAndTriggersPlayTheCursor)
{
    auto plugin = loadPlugin (GetParam(), 44100.0, 4410);
    ASSERT_NE (plugin, nullptr);

    // CC 7 is 0 at scene A (0, 0) and 127 at scene B (200, 0); C4 on channel 1 recalls A,
    // program 2 on channel 3 recalls B; x follows the 14-bit pair CC 1 / CC 33, y pitch bend on
    // channel 2.
    restoreState (*plugin, stateCarrying (GetParam(), chunkWithText (R"(<brisquell><controllers><controller ccno="7" channel="1" name="7"><value value="0" scene="0"/>)"
                                                                     R"(<value value="127" scene="1"/></controller></controllers><scenes>)"
                                                                     R"(<scene x="0" y="0" trigger="note" triggerchannel="1" triggernumber="60"/>)"
                                                                     R"(<scene x="200" y="0" trigger="program" triggerchannel="3" triggernumber="2"/></scenes>)"
                                                                     R"(<cursorcontrol xsource="cc14" xchannel="1" xnumber="1" ysource="pitchbend" ychannel="2"/></brisquell>)")));
    runBlock (*plugin, 4410);

    EXPECT_EQ (runBlock (*plugin, 4410, { { 300, { 0xc2, 2 } } }), (std::vector<Event>{ cc (300, 1, 7, 127) }));
    EXPECT_EQ (runBlock (*plugin, 4410, { { 10, { 0x90, 60, 100 } } }), (std::vector<Event>{ cc (10, 1, 7, 0) }));

    // The framework's VST3 hosting, the second host's, hands control changes and pitch bend to
    // the plug-in as parameter changes without their offsets: they arrive at offset 0.
    const auto offset = [] (int sent)
    { return GetParam() == Format::vst3 ? 0 : sent; };
    EXPECT_EQ (runBlock (*plugin, 4410, { { 20, { 0xb0, 1, 64 } } }), (std::vector<Event>{ cc (offset (20), 1, 7, 64) })) << "x 100";
    EXPECT_EQ (runBlock (*plugin, 4410, { { 30, { 0xe1, 0x7f, 0x7f } } }), (std::vector<Event>{ cc (offset (30), 1, 7, 64) })) << "y 200";
}

// "pass other MIDI through": notes the plug-in does not use leave at their offsets, merged in time
// order with its own output; a trigger's note (used) does not.
TEST_P (FormatTest, MidiThroughKeepsOffsetsAndOrderWithTheOutput)
{
    auto plugin = loadPlugin (GetParam(), 44100.0, 4410);
    ASSERT_NE (plugin, nullptr);

    restoreState (*plugin, stateCarrying (GetParam(), chunkWithText (R"(<brisquell><controllers><controller ccno="7" channel="1" name="7"><value value="0" scene="0"/>)"
                                                                     R"(<value value="127" scene="1"/></controller></controllers><scenes>)"
                                                                     R"(<scene x="0" y="0"/><scene x="200" y="0" trigger="note" triggerchannel="1" triggernumber="60"/></scenes>)"
                                                                     R"(<session midithrough="1"/></brisquell>)")));
    runBlock (*plugin, 4410);

    EXPECT_EQ (runBlock (*plugin, 4410, { { 5, { 0x90, 64, 100 } }, { 10, { 0x90, 60, 100 } }, { 900, { 0x80, 64, 0 } } }),
               (std::vector<Event>{ { 5, { 0x90, 64, 100 } }, cc (10, 1, 7, 127), { 900, { 0x80, 64, 0 } } }));
}

// An NRPN's selection and data entry sent at one offset reach the selected parameter, also through
// the VST3 client, which hands one offset's control changes on ordered by CC number.
TEST_P (FormatTest, NrpnAtOneOffsetReachesTheSelectedParameter)
{
    auto plugin = loadPlugin (GetParam());
    ASSERT_NE (plugin, nullptr);
    restoreState (*plugin, stateCarrying (GetParam(), chunkWithText (R"(<brisquell><controllers><controller ccno="300" channel="1" name="r" kind="nrpn"><value value="0" scene="0"/></controller></controllers>)"
                                                                     R"(<scenes><scene x="0" y="0"/></scenes><session selection="0"/></brisquell>)")));
    runBlock (*plugin, 512);

    EXPECT_EQ (runBlock (*plugin, 512, { cc (7, 1, 99, 2), cc (7, 1, 98, 44), cc (7, 1, 6, 64), cc (7, 1, 38, 1) }),
               (std::vector<Event>{ cc (0, 1, 99, 2), cc (0, 1, 98, 44), cc (0, 1, 6, 64), cc (0, 1, 38, 1) }));
}
