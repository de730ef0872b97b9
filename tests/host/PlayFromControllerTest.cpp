// SPDX-License-Identifier: GPL-3.0-or-later
// Playing from a controller through the built plug-in binary, as a host drives it: a project
// with cursor sources, scene triggers and a glide, restored through effSetChunk, then MIDI in and
// control changes out at their sample offsets.
#include "HostFixture.h"

#include <map>

using namespace brisquell;
using namespace brisquell::test;

#pragma GCC diagnostic ignored "-Wdeprecated-declarations" // the header's unconfirmed opcodes

namespace
{
/** Two scenes on the x axis, A at (0, 0) and B at (200, 0); CC 7 holds 0 in A and 127 in B, so
    it is 127 at x 200, 64 at x 100 and 0 at x 0 (127 x^2 / (x^2 + (200 - x)^2)). C4 (60) recalls
    A and program 2 on channel 3 recalls B; x follows the 14-bit pair CC 1 / CC 33 on channel 1,
    y pitch bend on channel 2 (y moves nothing that is sent: both scenes lie at y 0, so only their
    distances change).
*/
std::string project (const std::string& cursorControl)
{
    return R"(<brisquell><controllers><controller ccno="7" channel="1" name="7">)"
           R"(<value value="0" scene="0"/><value value="127" scene="1"/></controller></controllers>)"
           R"(<scenes><scene id="0" colour="ff000000" x="0" y="0" trigger="note" triggerchannel="1" triggernumber="60"/>)"
           R"(<scene id="1" colour="ff000000" x="200" y="0" trigger="program" triggerchannel="3" triggernumber="2"/></scenes>)"
           R"(<gui width="300" height="300"/>)"
           + cursorControl + "</brisquell>";
}

const std::string sourcesOnly = R"(<cursorcontrol glide="0" shape="linear" xsource="cc14" xchannel="1" xnumber="1" ysource="pitchbend" ychannel="2"/>)";

/** A plug-in with the project restored, processing at 44.1 kHz (220 samples per tick). */
std::unique_ptr<host::Plugin> loadProject (const std::string& cursorControl, int blockSize)
{
    auto plugin = loadPlugin();

    if (plugin != nullptr)
    {
        startProcessing (*plugin, 44100.0f, blockSize);
        plugin->setChunk (chunkOfText (project (cursorControl)));
    }

    return plugin;
}

host::MidiEvent bytes (int offset, std::vector<std::uint8_t> data)
{
    return host::MidiEvent::fromBytes (offset, data);
}

/** The values of CC 7 sent, with their offsets. */
std::vector<std::pair<int, int>> cc7Values (const std::vector<host::MidiEvent>& sent)
{
    std::vector<std::pair<int, int>> values;

    for (auto& e : sent)
        if (e.isControlChange() && e.bytes[1] == 7)
            values.push_back ({ e.offset, e.bytes[2] });

    return values;
}

using Values = std::vector<std::pair<int, int>>;

/** Runs the events, given at absolute sample times, through blocks of the size and answers
    the bytes of every event sent before numSamples, at absolute times.
*/
std::vector<std::pair<int, std::array<std::uint8_t, 4>>> runTimeline (int blockSize, int numSamples, const std::string& cursorControl, const std::multimap<int, std::vector<std::uint8_t>>& events)
{
    auto plugin = loadProject (cursorControl, blockSize);
    std::vector<std::pair<int, std::array<std::uint8_t, 4>>> sent;

    if (plugin == nullptr)
        return sent;

    for (int start = 0; start < numSamples; start += blockSize)
    {
        std::vector<host::MidiEvent> input;

        for (auto it = events.lower_bound (start); it != events.end() && it->first < start + blockSize; ++it)
            input.push_back (bytes (it->first - start, it->second));

        for (auto& e : runBlock (*plugin, blockSize, input))
            if (start + e.offset < numSamples)
                sent.push_back ({ start + e.offset, e.bytes });
    }

    return sent;
}
} // namespace

//==============================================================================
TEST (PlayFromController, EverySourceKindMovesTheCursorFromItsOwnOffset)
{
    auto plugin = loadProject (sourcesOnly, 4410);
    ASSERT_NE (plugin, nullptr);
    EXPECT_EQ (cc7Values (runBlock (*plugin, 4410)), (Values{ { 0, 0 } })) << "the restored project, at A";

    // The pair's MSB alone (LSB taken as 0: x 198), its LSB (x 200), pitch bend on a channel no
    // source listens to, the MSB 64 (x 100); each at least a tick after the one before.
    const auto sent = runBlock (*plugin, 4410, { bytes (100, { 0xb0, 1, 127 }), bytes (400, { 0xb0, 33, 127 }), bytes (700, { 0xe2, 0, 0 }), bytes (1000, { 0xb0, 1, 64 }) });
    EXPECT_EQ (cc7Values (sent), (Values{ { 100, 127 }, { 400, 127 }, { 1000, 64 } }));
    EXPECT_EQ (plugin->getParameter (0), 8192.0f / 16383.0f) << "the value the pair last set, over its range";
    EXPECT_EQ (plugin->getParameterDisplay (0), "100.006");

    // The source messages went nowhere else: no controller was learned from them.
    const auto document = textOf (plugin->getChunk());
    EXPECT_EQ (document.find ("ccno=\"1\""), std::string::npos);
    EXPECT_EQ (document.find ("ccno=\"33\""), std::string::npos);

    // Pitch bend drives y: the cursor's distances change, so CC 7 is sent again.
    EXPECT_EQ (cc7Values (runBlock (*plugin, 4410, { bytes (10, { 0xe1, 0x7f, 0x7f }) })), (Values{ { 10, 64 } }));
    EXPECT_EQ (plugin->getParameter (1), 1.0f);
}

TEST (PlayFromController, ASevenBitSourceLearnedFromAnMsbStaysSevenBitUntilItsLsbComes)
{
    auto plugin = loadProject (R"(<cursorcontrol xsource="cc" xchannel="1" xnumber="1"/>)", 4410);
    ASSERT_NE (plugin, nullptr);
    runBlock (*plugin, 4410);

    EXPECT_EQ (cc7Values (runBlock (*plugin, 4410, { bytes (0, { 0xb0, 1, 127 }) })), (Values{ { 0, 127 } })) << "127 of 127: x 200";
    EXPECT_NE (textOf (plugin->getChunk()).find ("xsource=\"cc\""), std::string::npos);

    EXPECT_EQ (cc7Values (runBlock (*plugin, 4410, { bytes (0, { 0xb0, 1, 64 }), bytes (500, { 0xb0, 33, 0 }) })),
               (Values{ { 0, 64 }, { 500, 64 } }))
        << "64 of 127 (x 100.79), then 64 * 128 of 16383 (x 100.006)";
    EXPECT_NE (textOf (plugin->getChunk()).find ("xsource=\"cc14\" xchannel=\"1\" xnumber=\"1\""), std::string::npos);
}

TEST (PlayFromController, TriggersRecallTheirScenesAtTheirOffsets)
{
    auto plugin = loadProject ("", 512);
    ASSERT_NE (plugin, nullptr);
    runBlock (*plugin, 512);

    EXPECT_EQ (cc7Values (runBlock (*plugin, 512, { bytes (300, { 0xc2, 2 }) })), (Values{ { 300, 127 } }));
    EXPECT_EQ (cc7Values (runBlock (*plugin, 512, { bytes (10, { 0xc2, 3 }), bytes (20, { 0x90, 60, 0 }), bytes (30, { 0x91, 60, 9 }) })),
               Values{})
        << "another program, a note-on of velocity 0, another channel";
    EXPECT_EQ (cc7Values (runBlock (*plugin, 512, { bytes (200, { 0x90, 60, 9 }) })), (Values{ { 200, 0 } }));
    EXPECT_EQ (plugin->getParameter (0), 0.0f);
}

TEST (PlayFromController, AGlideSendsItsWayThereAtTheTicksAndTheParameterAnswersTheTarget)
{
    // 0.02 s at 44.1 kHz: 882 samples, four ticks and a bit.
    auto plugin = loadProject (R"(<cursorcontrol glide="0.02" shape="linear"/>)", 4410);
    ASSERT_NE (plugin, nullptr);
    runBlock (*plugin, 4410);

    plugin->setParameter (0, 1.0f);
    EXPECT_EQ (plugin->getParameter (0), 1.0f);

    // From 0 (at the block's start, where it has not moved yet) to 882 at 200 / 882 per sample:
    // x 49.9 at 220, 99.8 at 440, 149.7 at 660, 199.5 at 880, then 200 at 1100.
    EXPECT_EQ (cc7Values (runBlock (*plugin, 4410)), (Values{ { 220, 13 }, { 440, 63 }, { 660, 114 }, { 880, 127 }, { 1100, 127 } }));
}

TEST (PlayFromController, TheOutputIsTheSameWhateverTheBlockSize)
{
    const std::multimap<int, std::vector<std::uint8_t>> events{
        { 0, { 0xb0, 1, 100 } },
        { 250, { 0xb0, 33, 50 } },
        { 3000, { 0xc2, 2 } },
        { 7777, { 0xe1, 0, 0x40 } },
        { 12345, { 0x90, 60, 100 } },
        { 12346, { 0xb0, 9, 99 } },
        { 20000, { 0xb0, 1, 3 } },
        { 31000, { 0xc2, 2 } },
        { 31001, { 0x90, 60, 1 } },
        { 40000, { 0xe1, 0x7f, 0x7f } },
    };

    for (const auto* shape : { "linear", "smooth" })
    {
        const auto cursorControl = std::string (R"(<cursorcontrol glide="0.25" shape=")") + shape
                                   + R"(" xsource="cc14" xchannel="1" xnumber="1" ysource="pitchbend" ychannel="2"/>)";
        const auto reference = runTimeline (4096, 57344, cursorControl, events);
        ASSERT_GT (reference.size(), 200u) << shape;

        for (int blockSize : { 32, 64, 441, 512 })
            EXPECT_EQ (runTimeline (blockSize, 57344, cursorControl, events), reference) << shape << ", blocks of " << blockSize;
    }
}

TEST (PlayFromController, AProjectWithSourcesTriggersAndGlideSavesAndReopensAsItWas)
{
    auto plugin = loadProject (R"(<cursorcontrol glide="1.25" shape="smooth" xsource="cc14" xchannel="1" xnumber="1" ysource="pitchbend" ychannel="2"/>)", 512);
    ASSERT_NE (plugin, nullptr);

    const auto saved = textOf (plugin->getChunk());
    EXPECT_EQ (saved, project (R"(<cursorcontrol glide="1.25" shape="smooth" xsource="cc14" xchannel="1" xnumber="1" ysource="pitchbend" ychannel="2"/>)"));

    auto reopened = loadPlugin();
    ASSERT_NE (reopened, nullptr);
    reopened->setChunk (plugin->getChunk());
    EXPECT_EQ (textOf (reopened->getChunk()), saved);
}
