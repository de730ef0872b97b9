// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProcessorHarness.h"

#include <gtest/gtest.h>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
/** (channel, CC number, value, offset) of every message written. */
std::vector<std::array<int, 4>> controlChangesIn (const std::vector<Written>& written)
{
    std::vector<std::array<int, 4>> result;

    for (auto& w : written)
    {
        EXPECT_TRUE (w.message.isController());
        result.push_back ({ w.message.getChannel(), w.message.getControllerNumber(), w.message.getControllerValue(), w.offset });
    }

    return result;
}

juce::MidiMessage cc (int channel, int number, int value)
{
    return juce::MidiMessage::controllerEvent (channel, number, value);
}
} // namespace

TEST (ControllerKindOutput, EachTickWritesEveryKindsMessagesTogetherAtItsOffsetAndInOrder)
{
    // 44100 Hz at 200 ticks per second: a tick every 220 samples, on the exact clock once a
    // glide time is set.
    ProcessorHarness harness (44100.0, 512);
    auto& model = harness.model();
    model.setAutoKey (false);
    model.keySceneAtCursor();
    auto* scene = model.getScene (0);
    model.addController (7, 1)->setValueInScene (100, *scene);
    model.addController (3, 2, ControllerKind::fourteenBit)->setValueInScene (300, *scene);
    model.addController (4000, 3, ControllerKind::nrpn)->setValueInScene (16383, *scene);
    model.setGlideTime (0.001);
    harness.run (512);

    // A pair at offset 10 goes out at the tick there, both parts at that one offset.
    auto written = controlChangesIn (harness.run (512, midiOf ({ { 10, cc (2, 3, 1) }, { 10, cc (2, 35, 2) } })));
    ASSERT_FALSE (written.empty());
    const auto offset = written[0][3];
    EXPECT_EQ (written, (std::vector<std::array<int, 4>>{ { 2, 3, 1, offset }, { 2, 35, 2, offset } }));

    // Every kind after a move: reverse controller order, each in its form.
    model.getCursor().setPosition (1, 1);
    written = controlChangesIn (harness.run (512));
    EXPECT_EQ (written, (std::vector<std::array<int, 4>>{ { 3, 99, 31, 0 }, { 3, 98, 32, 0 }, { 3, 6, 127, 0 }, { 3, 38, 127, 0 }, { 2, 3, 1, 0 }, { 2, 35, 2, 0 }, { 1, 7, 100, 0 } }));
}

TEST (ControllerKindOutput, NrpnInputInOneBlockLearnsItsControllerAndSendsItsValue)
{
    ProcessorHarness harness;
    auto& model = harness.model();
    model.keySceneAtCursor();
    harness.run (512);

    const auto written = controlChangesIn (harness.run (512, midiOf ({ { 0, cc (1, 99, 3) }, { 1, cc (1, 98, 5) }, { 2, cc (1, 6, 70) }, { 3, cc (1, 38, 9) } })));
    ASSERT_EQ (model.getNumControllers(), 1);
    EXPECT_EQ (model.getController (0)->getKind(), ControllerKind::nrpn);
    EXPECT_EQ (model.getController (0)->getCcNumber(), 3 * 128 + 5);
    EXPECT_EQ (written, (std::vector<std::array<int, 4>>{ { 1, 99, 3, 0 }, { 1, 98, 5, 0 }, { 1, 6, 70, 0 }, { 1, 38, 9, 0 } }));
}
