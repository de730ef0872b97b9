// SPDX-License-Identifier: GPL-3.0-or-later
// The cursor at full resolution and glides that follow a hand, through the built binary: 14-bit
// sources and parameters between whole positions, parameters that read back what the host
// wrote, and the same output whatever the block size with resent parameters and a moving source.
#include "HostFixture.h"

#include <map>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
/** Scene A at (0, 50) and B at (200, 50); the 14-bit CC 1 holds 0 in A and 16383 in B, so it
    changes by well over a hundred steps a pane unit around x 100. A is recalled by note 60.
*/
std::string project (const std::string& cursorControl)
{
    return R"(<brisquell><controllers><controller ccno="1" channel="1" name="1" kind="cc14">)"
           R"(<value value="0" scene="0"/><value value="16383" scene="1"/></controller></controllers>)"
           R"(<scenes><scene id="0" colour="ff000000" x="0" y="50" trigger="note" triggerchannel="1" triggernumber="60"/>)"
           R"(<scene id="1" colour="ff000000" x="200" y="50"/></scenes><gui width="300" height="300"/>)"
           + cursorControl + "</brisquell>";
}

std::unique_ptr<host::Plugin> load (const std::string& cursorControl, int blockSize)
{
    auto plugin = loadPlugin();

    if (plugin != nullptr)
    {
        startProcessing (*plugin, 44100.0f, blockSize);
        plugin->setChunk (chunkOfText (project (cursorControl)));

        // A host opening a project sends its own set-up with the first block, which the
        // plug-in leaves alone; the musician plays from the next block on.
        runBlock (*plugin, 32);
    }

    return plugin;
}

/** The 14-bit values of CC 1 sent (MSB and LSB joined). */
std::vector<int> cc1Values (const std::vector<host::MidiEvent>& sent)
{
    std::vector<int> values;
    int msb = -1;

    for (auto& e : sent)
    {
        if (! e.isControlChange())
            continue;

        if (e.bytes[1] == 1)
            msb = e.bytes[2];
        else if (e.bytes[1] == 33 && msb >= 0)
            values.push_back (msb * 128 + e.bytes[2]);
    }

    return values;
}

using Bytes = std::vector<std::uint8_t>;
} // namespace

//==============================================================================
TEST (CursorResolution, NeighbouringFourteenBitAndPitchBendValuesGiveDifferentOutputs)
{
    struct Case
    {
        const char* cursorControl;
        Bytes setUp, first, neighbour; // the source at 8192 and 8193 (the pair after its MSB)
    };

    for (const auto& c : { Case{ R"(<cursorcontrol xsource="pitchbend" xchannel="1"/>)", { 0xe0, 0x00, 0x20 }, { 0xe0, 0x00, 0x40 }, { 0xe0, 0x01, 0x40 } },
                           Case{ R"(<cursorcontrol xsource="cc14" xchannel="1" xnumber="2"/>)", { 0xb0, 2, 64 }, { 0xb0, 34, 0 }, { 0xb0, 34, 1 } } })
    {
        auto plugin = load (c.cursorControl, 512);
        ASSERT_NE (plugin, nullptr);
        runBlock (*plugin, 512, { host::MidiEvent::fromBytes (0, c.setUp) });

        const auto first = cc1Values (runBlock (*plugin, 512, { host::MidiEvent::fromBytes (0, c.first) }));
        const auto second = cc1Values (runBlock (*plugin, 512, { host::MidiEvent::fromBytes (0, c.neighbour) }));
        ASSERT_EQ (first.size(), 1u) << c.cursorControl;
        ASSERT_EQ (second.size(), 1u) << c.cursorControl;
        EXPECT_GT (second[0], first[0]) << c.cursorControl << ": one step of the source moves the cursor";
        EXPECT_EQ (plugin->getParameter (0), 8193.0f / 16383.0f) << c.cursorControl << ": the source's value over its range";
    }
}

TEST (CursorResolution, ParametersReadBackWhatTheHostWroteAndShowTheirFraction)
{
    struct Case
    {
        float value;
        const char* text;
    };

    auto plugin = load ("", 512);
    ASSERT_NE (plugin, nullptr);
    runBlock (*plugin, 512);
    std::vector<int> sent;

    for (const auto& c : { Case{ 0.5f, "100" }, Case{ 0.5001f, "100.02" }, Case{ 0.333f, "66.6" }, Case{ 1.0f / 3.0f, "66.667" }, Case{ 0.0f, "0" } })
    {
        plugin->setParameter (0, c.value);
        EXPECT_EQ (plugin->getParameter (0), c.value) << c.text;
        EXPECT_EQ (plugin->getParameterDisplay (0), c.text);

        const auto values = cc1Values (runBlock (*plugin, 512));
        ASSERT_EQ (values.size(), 1u) << c.text;
        sent.push_back (values[0]);
    }

    EXPECT_NE (sent[0], sent[1]) << "0.5 and 0.5001 are different places";
    EXPECT_NE (sent[2], sent[3]) << "0.333 and 1/3 too";

    // The range is the parameters': a value beyond it is its end, and reads back as such.
    plugin->setParameter (0, 1.25f);
    EXPECT_EQ (plugin->getParameter (0), 1.0f);
    EXPECT_EQ (plugin->getParameterDisplay (0), "200");
}

TEST (CursorResolution, ResentParametersAndAMovingSourceGiveTheSameOutputWhateverTheBlockSize)
{
    // A pitch-bend wheel on x moves every 100 samples for half a second; the host resends
    // "cursor Y" = 0.25 before every block, as an automation lane does; the trigger comes twice.
    std::multimap<int, Bytes> events;

    for (int t = 0; t < 22050; t += 100)
    {
        const auto value = 4000 + t / 3;
        events.insert ({ t, { 0xe0, (std::uint8_t) (value & 0x7f), (std::uint8_t) (value >> 7) } });
    }

    events.insert ({ 30000, { 0x90, 60, 100 } });
    events.insert ({ 35000, { 0x90, 60, 100 } });

    const auto run = [&] (const std::string& cursorControl, int blockSize, bool resend)
    {
        std::vector<std::pair<int, Bytes>> sent;
        auto plugin = load (cursorControl, blockSize);

        if (plugin == nullptr)
            return sent;

        plugin->setParameter (1, 0.25f);

        for (int start = 0; start < 57344; start += blockSize)
        {
            if (resend)
                plugin->setParameter (1, 0.25f);

            std::vector<host::MidiEvent> input;

            for (auto it = events.lower_bound (start); it != events.end() && it->first < start + blockSize; ++it)
                input.push_back (host::MidiEvent::fromBytes (it->first - start, it->second));

            for (auto& e : runBlock (*plugin, blockSize, input))
                if (start + e.offset < 57344)
                    sent.push_back ({ start + e.offset, Bytes (e.bytes.begin(), e.bytes.begin() + 3) });
        }

        return sent;
    };

    for (const auto* shape : { "linear", "smooth" })
    {
        const auto cursorControl = std::string (R"(<cursorcontrol glide="0.25" shape=")") + shape + R"(" xsource="pitchbend" xchannel="1"/>)";
        const auto reference = run (cursorControl, 4096, false);
        ASSERT_GT (reference.size(), 300u) << shape;

        for (int blockSize : { 32, 441, 512, 4096 })
            EXPECT_EQ (run (cursorControl, blockSize, true), reference) << shape << ", blocks of " << blockSize;
    }
}

// A value that keys a scene while the cursor sits between whole units: the scene takes the
// nearest whole position, which the project keeps, so it saves and reopens byte for byte.
TEST (CursorResolution, AKeyedSceneBetweenWholeUnitsReopensWhereItWasMade)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin, 44100.0f, 512);
    runBlock (*plugin, 512);

    plugin->setParameter (0, 0.3337f);
    plugin->setParameter (1, 0.5001f);
    runBlock (*plugin, 512, { host::MidiEvent::fromBytes (0, { 0xb0, 74, 80 }) });

    const auto saved = plugin->getChunk();
    EXPECT_NE (textOf (saved).find (R"(x="67" y="100")"), std::string::npos) << textOf (saved);
    expectSavedAndReopenedByteForByte (*plugin, saved);
}
