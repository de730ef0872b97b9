// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostFixture.h"

using namespace brisquell;
using namespace brisquell::test;

#pragma GCC diagnostic ignored "-Wdeprecated-declarations" // the header's unconfirmed opcodes

namespace
{
/** The sample times (block start + deltaFrames) of what the plug-in sends when the cursor
    moves before every block, counting from the given block.
*/
std::vector<int> sendTimesWhileMoving (host::Plugin& plugin, int blockSize, int firstBlock, int numBlocks)
{
    std::vector<int> times;

    for (int block = firstBlock; block < firstBlock + numBlocks; ++block)
    {
        plugin.setParameter (0, block % 2 == 0 ? 0.2f : 0.4f);

        for (auto& e : runBlock (plugin, blockSize))
            times.push_back (block * blockSize + e.offset);
    }

    return times;
}

/** Learns CC 7 on channel 1 and keys a scene under the cursor; afterwards every value
    received is the value sent.
*/
void learnOneController (host::Plugin& plugin)
{
    runBlock (plugin, 512, { cc (0, 1, 7, 0) });
    runBlock (plugin, 512);
}
} // namespace

TEST (MidiBoundary, ControlChangesGoOutWithTheirOffsetsAsDeltaFrames)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin, 44100.0f, 64);

    // A learned controller to send (at 0), then ticks every 220 samples across 64-sample
    // blocks: 220 is offset 28 of block 3, 440 offset 56 of block 6, and so on.
    ASSERT_EQ (runBlock (*plugin, 64, { cc (0, 1, 7, 1) }).size(), 1u);
    const auto times = sendTimesWhileMoving (*plugin, 64, 1, 20);

    EXPECT_EQ (times, (std::vector<int> { 220, 440, 660, 880, 1100, 1320 }));
}

TEST (MidiBoundary, WithoutASampleRateTheHostRateIs44100)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    plugin->setBlockSize (100);
    plugin->resume();

    runBlock (*plugin, 100, { cc (0, 1, 7, 1) });
    const auto times = sendTimesWhileMoving (*plugin, 100, 1, 12);

    ASSERT_GE (times.size(), 3u);
    EXPECT_EQ (times[1] - times[0], 220);
    EXPECT_EQ (times[2] - times[1], 220);
}

TEST (MidiBoundary, EventsReachTheProcessorInSampleOrder)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin);
    learnOneController (*plugin);

    // Listed out of order: the value at offset 100 is applied after the one at offset 10.
    const auto sent = runBlock (*plugin, 512, { cc (100, 1, 7, 10), host::MidiEvent::fromBytes (50, { 0x90, 60, 100 }), cc (10, 1, 7, 20) });

    ASSERT_EQ (sent.size(), 1u);
    EXPECT_EQ (sent[0], cc (0, 1, 7, 10));
}

TEST (MidiBoundary, IncomingMidiNeverComesBackOut)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin);
    const auto callsBefore = plugin->getCallbackCount (audioMasterProcessEvents);

    // Three notes and nothing pending: nothing is sent, and the host is not even called.
    const auto sent = runBlock (*plugin, 512, { host::MidiEvent::fromBytes (0, { 0x90, 60, 100 }),
                                                host::MidiEvent::fromBytes (100, { 0x80, 60, 0 }),
                                                host::MidiEvent::fromBytes (200, { 0x90, 64, 90 }) });
    EXPECT_TRUE (sent.empty());
    EXPECT_EQ (plugin->getProcessEventsCallsInLastBlock(), 0);
    EXPECT_EQ (plugin->getCallbackCount (audioMasterProcessEvents), callsBefore);

    // A controller change is consumed, and only the plug-in's own message goes out.
    learnOneController (*plugin);
    const auto answer = runBlock (*plugin, 512, { cc (300, 1, 7, 99), host::MidiEvent::fromBytes (400, { 0x90, 60, 100 }) });
    ASSERT_EQ (answer.size(), 1u);
    EXPECT_EQ (answer[0], cc (0, 1, 7, 99));
    EXPECT_EQ (plugin->getProcessEventsCallsInLastBlock(), 1);

    // A quiet block makes no call.
    EXPECT_TRUE (runBlock (*plugin, 512).empty());
    EXPECT_EQ (plugin->getProcessEventsCallsInLastBlock(), 0);
}

TEST (MidiBoundary, LearnedControllerIsSentOnItsOwnChannel)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin);

    // Learned and keyed at once: the keying value is the new scene's first (CC 119 is the highest
    // that is a control; 120 to 127 are channel mode messages).
    EXPECT_EQ (runBlock (*plugin, 512, { cc (30, 16, 119, 64) }), (std::vector<host::MidiEvent> { cc (0, 16, 119, 64) }));
    EXPECT_EQ (runBlock (*plugin, 512, { cc (30, 16, 119, 65) }), (std::vector<host::MidiEvent> { cc (0, 16, 119, 65) }));
}

TEST (MidiBoundary, ResumeAsksForMidiAndProcessingWithoutResumeStillWorks)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);

    // A host that never resumes: the first block resumes the plug-in itself (and, in doing
    // so, clears what that block received).
    runBlock (*plugin, 512);
    EXPECT_EQ (runBlock (*plugin, 512, { cc (0, 1, 7, 5) }).size(), 1u);
    EXPECT_GE (plugin->getCallbackCount (audioMasterWantMidi), 1);
    EXPECT_GE (plugin->getCallbackCount (audioMasterGetCurrentProcessLevel), 1);
}

TEST (MidiBoundary, BypassedPluginPassesItsInputThroughUnchanged)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin);
    learnOneController (*plugin);

    // The framework's client handles bypass for the host (see docs/formats-and-hosts.md).
    EXPECT_EQ (plugin->dispatch (effSetBypass, 0, 1), 1);
    const std::vector<host::MidiEvent> input { cc (5, 1, 7, 33), host::MidiEvent::fromBytes (9, { 0x90, 60, 100 }) };
    EXPECT_EQ (runBlock (*plugin, 512, input), input);

    plugin->dispatch (effSetBypass, 0, 0);
    EXPECT_TRUE (runBlock (*plugin, 512).empty()); // the bypassed value was not learned
}
