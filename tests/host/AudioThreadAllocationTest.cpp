// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostFixture.h"
#include "tools/host/Session.h"

#include "support/AllocationCounter.h"

#include <algorithm>

// Every heap allocation in this test executable is counted while an AllocationCounter lives on
// the calling thread (support/AllocationCounter.h); the plug-in library resolves malloc and new
// to its definitions, as any library in the process does.
namespace
{
/** Runs 200 blocks, so that every buffer on the way grows to its steady size, then 2,000 more
    and answers the heap allocations among those; numSent adds up what the counted ones sent.
*/
template <typename SteadyBlock>
long allocationsInSteadyBlocks (SteadyBlock&& steadyBlock, size_t& numSent)
{
    for (int block = 0; block < 200; ++block)
        steadyBlock (block);

    brisquell::test::AllocationCounter counter;

    for (int block = 200; block < 2200; ++block)
        numSent += steadyBlock (block);

    return counter.count();
}

/** A message of up to three bytes, made in place: building one from a byte list would allocate
    on the counting thread.
*/
brisquell::host::MidiEvent threeBytes (int offset, int status, int data1, int data2, int size = 3)
{
    brisquell::host::MidiEvent e;
    e.offset = offset;
    e.bytes = { (std::uint8_t) status, (std::uint8_t) data1, (std::uint8_t) data2, 0 };
    e.size = size;
    return e;
}
} // namespace

using namespace brisquell;
using namespace brisquell::test;

TEST (AudioThreadAllocations, CounterSeesTheTestsAndThePluginsAllocations)
{
    if (! BRISQUELL_COUNTS_ALLOCATIONS)
        GTEST_SKIP() << "sanitizers own the allocator in this build";

    {
        AllocationCounter counter;
        auto* p = std::malloc (16);
        std::free (p);
        delete new int (3);
        EXPECT_EQ (counter.count(), 2);
    }

    // What the plug-in library allocates is counted too: building a chunk allocates.
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    void* data = nullptr;
    AllocationCounter counter;
    plugin->dispatch (effGetChunk, 0, 0, &data);
    EXPECT_GT (counter.count(), 0);
}

// Steady processing: the cursor moves every block, incoming values change, nothing new is
// learned. Through the whole host boundary (events in, processReplacing, events out) not one
// heap allocation happens on the audio thread.
TEST (AudioThreadAllocations, SteadyBlocksAllocateNothing)
{
    if (! BRISQUELL_COUNTS_ALLOCATIONS)
        GTEST_SKIP() << "sanitizers own the allocator in this build";

    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin, 48000.0f, 128);

    // Eight controllers in four scenes.
    const float corners[4][2] = { { 0.0f, 0.0f }, { 1.0f, 0.0f }, { 0.0f, 1.0f }, { 1.0f, 1.0f } };

    for (auto& corner : corners)
    {
        plugin->setChunk (host::withoutSceneSelection (plugin->getChunk())); // the next value keys
        plugin->setParameter (0, corner[0]);
        plugin->setParameter (1, corner[1]);
        runBlock (*plugin, 128, { cc (0, 1, 1, 0) });

        std::vector<host::MidiEvent> values;

        for (int c = 0; c < 8; ++c)
            values.push_back (cc (c, 1, 1 + c, (int) (corner[0] * 100) + c));

        runBlock (*plugin, 128, values);
    }

    std::vector<host::MidiEvent> input (8);

    const auto steadyBlock = [&] (int block)
    {
        plugin->setParameter (block % 2, (float) (block % 97) / 97.0f);

        for (int c = 0; c < 8; ++c)
            input[(size_t) c] = cc (c * 10, 1, 1 + c, (block + c) % 128);

        plugin->sendEvents (input);
        return plugin->processBlock (128).size();
    };

    size_t numSent = 0;
    EXPECT_EQ (allocationsInSteadyBlocks (steadyBlock, numSent), 0);
    EXPECT_GT (numSent, 2000u * 4);
}

// 14-bit and NRPN controllers, four messages per value, with NRPN sequences and 14-bit pairs
// arriving in every block: no heap allocation either.
TEST (AudioThreadAllocations, FourteenBitAndNrpnBlocksAllocateNothing)
{
    if (! BRISQUELL_COUNTS_ALLOCATIONS)
        GTEST_SKIP() << "sanitizers own the allocator in this build";

    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin, 48000.0f, 128);

    std::string controllers;

    for (int c = 0; c < 64; ++c)
    {
        const auto kind = c % 2 == 0 ? "nrpn" : "cc14";
        const auto number = c % 2 == 0 ? 1000 + c : c / 2;
        controllers += "<controller ccno=\"" + std::to_string (number) + "\" channel=\"1\" name=\"n\" kind=\"" + kind + "\">"
                       + "<value value=\"" + std::to_string (c * 200) + "\" scene=\"0\"/><value value=\"" + std::to_string (16383 - c * 200)
                       + "\" scene=\"1\"/></controller>";
    }

    plugin->setChunk (chunkOfText ("<brisquell><controllers>" + controllers + "</controllers><scenes>"
                                                                              "<scene id=\"0\" colour=\"ff000000\" x=\"0\" y=\"0\"/><scene id=\"1\" colour=\"ff000000\" x=\"200\" y=\"200\"/>"
                                                                              "</scenes><gui width=\"300\" height=\"300\"/></brisquell>"));

    std::vector<host::MidiEvent> input (6);

    const auto steadyBlock = [&] (int block)
    {
        plugin->setParameter (block % 2, (float) (block % 97) / 97.0f);
        const auto number = 1000 + 2 * (block % 32);
        input = { cc (0, 1, 99, number >> 7), cc (1, 1, 98, number & 127), cc (2, 1, 6, block % 128), cc (3, 1, 38, 5), cc (4, 1, block % 32, 64), cc (5, 1, 32 + block % 32, block % 128) };
        plugin->sendEvents (input);
        return plugin->processBlock (128).size();
    };

    size_t numSent = 0;
    EXPECT_EQ (allocationsInSteadyBlocks (steadyBlock, numSent), 0);
    EXPECT_GT (numSent, 2000u * 64);
}

// Playing from a controller: a source moves the cursor's target in every block, a trigger
// recalls a scene now and then, and the cursor glides all the while; the block is split at
// every message and tick. Still not one heap allocation on the audio thread.
TEST (AudioThreadAllocations, GlidingBlocksWithSourcesAndTriggersAllocateNothing)
{
    if (! BRISQUELL_COUNTS_ALLOCATIONS)
        GTEST_SKIP() << "sanitizers own the allocator in this build";

    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin, 48000.0f, 128);

    std::string controllers, scenes;

    for (int c = 0; c < 8; ++c)
    {
        controllers += "<controller ccno=\"" + std::to_string (20 + c) + "\" channel=\"1\" name=\"c\">";

        for (int s = 0; s < 4; ++s)
            controllers += "<value value=\"" + std::to_string ((c * 13 + s * 31) % 128) + "\" scene=\"" + std::to_string (s) + "\"/>";

        controllers += "</controller>";
    }

    for (int s = 0; s < 4; ++s)
        scenes += "<scene x=\"" + std::to_string ((s % 2) * 200) + "\" y=\"" + std::to_string ((s / 2) * 200)
                  + "\" trigger=\"note\" triggerchannel=\"1\" triggernumber=\"" + std::to_string (60 + s) + "\"/>";

    plugin->setChunk (chunkOfText ("<brisquell><controllers>" + controllers + "</controllers><scenes>" + scenes + "</scenes>"
                                                                                                                  "<cursorcontrol glide=\"0.5\" shape=\"smooth\" xsource=\"cc14\" xchannel=\"1\" xnumber=\"1\" ysource=\"pitchbend\" ychannel=\"1\"/>"
                                                                                                                  "</brisquell>"));

    std::vector<host::MidiEvent> input (4);
    size_t numSent = 0;

    const auto steadyBlock = [&] (int block)
    {
        input[0] = cc (5, 1, 1, block % 128);
        input[1] = cc (40, 1, 33, (block * 7) % 128);
        input[2] = threeBytes (80, 0xe0, block % 128, (block / 3) % 128);
        input[3] = threeBytes (100, 0x90, 60 + block % 4, block % 10 == 0 ? 100 : 0);
        plugin->sendEvents (input);
        return plugin->processBlock (128).size();
    };

    EXPECT_EQ (allocationsInSteadyBlocks (steadyBlock, numSent), 0);
    EXPECT_GT (numSent, 900u * 8) << "a tick every 240 samples sends all eight controllers";
}

// "pass other MIDI through" on: notes, aftertouch, pitch bend and program changes pass in every
// block beside the plug-in's own output, and now and then a burst of a thousand notes comes in
// (once before counting, so that the framework's own event lists have grown to hold it). Not
// one heap allocation, and every passed message arrives.
TEST (AudioThreadAllocations, MidiThroughBlocksWithBurstsAllocateNothing)
{
    if (! BRISQUELL_COUNTS_ALLOCATIONS)
        GTEST_SKIP() << "sanitizers own the allocator in this build";

    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin, 48000.0f, 256);

    std::string controllers;

    for (int c = 0; c < 8; ++c)
        controllers += "<controller ccno=\"" + std::to_string (20 + c) + "\" channel=\"1\" name=\"c\"><value value=\"" + std::to_string (c) + "\" scene=\"0\"/><value value=\""
                       + std::to_string (100 + c) + "\" scene=\"1\"/></controller>";

    plugin->setChunk (chunkOfText ("<brisquell><controllers>" + controllers + "</controllers><scenes><scene id=\"0\" colour=\"ff000000\" x=\"0\" y=\"0\"/>"
                                   + "<scene id=\"1\" colour=\"ff000000\" x=\"200\" y=\"200\"/></scenes><gui width=\"300\" height=\"300\"/>"
                                   + "<session midithrough=\"1\"/></brisquell>"));

    constexpr size_t burstSize = 1000;
    std::vector<host::MidiEvent> steady (5), burst (burstSize);

    size_t numPassed = 0;

    const auto steadyBlock = [&] (int block)
    {
        plugin->setParameter (block % 2, (float) (block % 97) / 97.0f);
        const auto isBurst = block % 100 == 50;

        if (isBurst)
        {
            for (size_t i = 0; i < burstSize; ++i)
                burst[i] = threeBytes ((int) (i / 4), i % 2 == 0 ? 0x90 : 0x80, 36 + (int) (i % 48), 90);

            plugin->sendEvents (burst);
        }
        else
        {
            steady[0] = threeBytes (0, 0x90, 60 + block % 12, 100);
            steady[1] = threeBytes (30, 0xa0, 60 + block % 12, block % 128);
            steady[2] = threeBytes (60, 0xd0, block % 128, 0, 2);
            steady[3] = threeBytes (90, 0xc0, block % 128, 0, 2);
            steady[4] = threeBytes (200, 0x80, 60 + block % 12, 0);
            plugin->sendEvents (steady);
        }

        const auto& out = plugin->processBlock (256);
        const auto passed = (size_t) std::count_if (out.begin(), out.end(), [] (const host::MidiEvent& e)
                                                    { return ! e.isControlChange(); });
        numPassed += passed;
        return passed == (isBurst ? burstSize : steady.size()) ? out.size() : 0;
    };

    size_t numSent = 0;
    EXPECT_EQ (allocationsInSteadyBlocks (steadyBlock, numSent), 0);
    EXPECT_EQ (numPassed, 200u * 5 - 2 * 5 + 2 * burstSize + 2000u * 5 - 20 * 5 + 20 * burstSize) << "every message passed";
    EXPECT_GT (numSent, 2000u * 5);
}
