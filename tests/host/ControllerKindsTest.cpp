// SPDX-License-Identifier: GPL-3.0-or-later
// 14-bit CC and NRPN controllers through the built binary, as a host saves, reopens and plays
// them.
#include "HostFixture.h"

using namespace brisquell;
using namespace brisquell::test;

namespace
{
using Bytes = std::vector<std::array<int, 3>>;

/** (status, data 1, data 2) of each event, with every offset expected to be the first's. */
Bytes bytesOf (const std::vector<host::MidiEvent>& events)
{
    Bytes result;

    for (auto& e : events)
    {
        EXPECT_EQ (e.offset, events.front().offset);
        result.push_back ({ e.bytes[0], e.bytes[1], e.bytes[2] });
    }

    return result;
}
} // namespace

TEST (ControllerKindsThroughTheBinary, AFixtureOfEveryKindSurvivesSaveAndReopenAndPlaysInItsForm)
{
    const auto saved = readFixture ("controller-kinds.chunk");
    ASSERT_GT (saved.size(), 10u);

    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin, 48000.0f, 128);
    auto reopened = expectSavedAndReopenedByteForByte (*plugin, saved);
    ASSERT_NE (reopened, nullptr);

    // On the first scene (0, 0): drive 10, cutoff 0 (14-bit, channel 2), resonance 8192 (NRPN
    // 1000 = 7 * 128 + 104, channel 3); the last controller first, every message at one offset.
    plugin->setParameter (0, 0.0f);
    plugin->setParameter (1, 0.0f);
    EXPECT_EQ (bytesOf (runBlock (*plugin, 128)), (Bytes{ { 0xb2, 99, 7 }, { 0xb2, 98, 104 }, { 0xb2, 6, 64 }, { 0xb2, 38, 0 }, { 0xb1, 1, 0 }, { 0xb1, 33, 0 }, { 0xb0, 20, 10 } }));

    // On the second (200, 0): 120, 16383 and 100.
    plugin->setParameter (0, 1.0f);
    EXPECT_EQ (bytesOf (runBlock (*plugin, 128)), (Bytes{ { 0xb2, 99, 7 }, { 0xb2, 98, 104 }, { 0xb2, 6, 0 }, { 0xb2, 38, 100 }, { 0xb1, 1, 127 }, { 0xb1, 33, 127 }, { 0xb0, 20, 120 } }));
}

TEST (ControllerKindsThroughTheBinary, NrpnAndPairInputSetTheValuesAndAnNrpnIsLearnedAsOne)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin, 48000.0f, 128);
    plugin->setChunk (readFixture ("controller-kinds.chunk"));
    plugin->setParameter (0, 0.0f);
    plugin->setParameter (1, 0.0f);
    runBlock (*plugin, 128);

    // With no scene selected and auto-key on, the first value keys a scene at the cursor, which
    // the next ones fill.
    const std::vector<host::MidiEvent> nrpnAndPair{ cc (0, 3, 99, 7), cc (1, 3, 98, 104), cc (2, 3, 6, 1), cc (3, 3, 38, 2), cc (4, 2, 1, 100), cc (5, 2, 33, 5) };
    runBlock (*plugin, 128, nrpnAndPair);
    runBlock (*plugin, 128, nrpnAndPair);
    const auto text = textOf (plugin->getChunk());
    EXPECT_NE (text.find ("<value value=\"130\" scene=\"2\"/></controller>"), std::string::npos) << text;
    EXPECT_NE (text.find ("<value value=\"12805\" scene=\"2\"/>"), std::string::npos) << text;

    // A new parameter on channel 5 is learned as an NRPN controller of that number.
    runBlock (*plugin, 128, { cc (0, 5, 99, 1), cc (1, 5, 98, 2), cc (2, 5, 6, 64), cc (3, 5, 38, 0) });
    const auto learned = textOf (plugin->getChunk());
    EXPECT_NE (learned.find ("<controller ccno=\"130\" channel=\"5\" name=\"130\" kind=\"nrpn\"><value value=\"8192\" scene=\"2\"/>"), std::string::npos)
        << learned;
    EXPECT_EQ (learned.find ("ccno=\"99\""), std::string::npos) << "the selection itself is no controller";
    EXPECT_EQ (learned.find ("ccno=\"6\""), std::string::npos);
}
