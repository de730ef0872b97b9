// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MidiSorter.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace brisquell;

namespace
{
/** A stand-in for the model: sources and a learn request to consult, and a log of what the
    sorter handed over, one line per call.
*/
class RecordingTarget final : public MidiSorter::Target
{
public:
    LearnRequest getLearnRequest() const override { return request; }
    CursorSource getCursorSource (int axis) const override { return sources[(size_t) axis]; }

    bool learnCursorSource (LearnRequest r, CursorSource source) override
    {
        if (r != request)
            return false;

        log.push_back ("learn source " + std::to_string (r.getAxis()));
        sources[(size_t) r.getAxis()] = source;
        request = {};
        return true;
    }

    bool learnSceneTrigger (LearnRequest r, SceneTrigger trigger) override
    {
        if (r != request)
            return false;

        log.push_back ("learn trigger " + std::to_string (trigger.number));
        triggers.push_back (trigger);
        request = {};
        return true;
    }

    void setCursorSource (int axis, CursorSource source) override
    {
        log.push_back ("source " + std::to_string (axis) + (source.kind == CursorSource::Kind::controlChangePair ? " pair" : " other"));
        sources[(size_t) axis] = source;
    }

    void moveCursorAxis (int axis, float value) override
    {
        log.push_back ("move " + std::to_string (axis) + " " + juce::String (value, 6).toStdString());
    }

    void cursorPerformed (int) override {}

    bool recallScene (SceneTrigger trigger) override
    {
        for (auto& t : triggers)
        {
            if (t == trigger)
            {
                log.push_back ("recall " + std::to_string (trigger.number));
                return true;
            }
        }

        return false;
    }

    /** Logs 7-bit values and NRPN values always, 14-bit values when a controller listens;
        " taken" marks a value that may not be learned. Answers how many listen.
    */
    int handleControllerValue (ControllerKind kind, int channel, int number, int value, bool mayLearn) override
    {
        int numListening = 0;

        for (auto& c : controllers)
            if (c == Key{ kind, channel, number })
                ++numListening;

        if (kind != ControllerKind::fourteenBit || numListening > 0)
        {
            static const char* const names[] = { "value ", "pair ", "nrpn " };
            log.push_back (names[(int) kind] + std::to_string (channel) + "/" + std::to_string (number) + "="
                           + std::to_string (value) + (mayLearn ? "" : " taken"));
        }

        return numListening;
    }

    using Key = std::tuple<ControllerKind, int, int>;
    std::vector<Key> controllers;

    LearnRequest request;
    std::array<CursorSource, 2> sources;
    std::vector<SceneTrigger> triggers;
    std::vector<std::string> log;
};

struct MidiSorting : public ::testing::Test
{
    /** Sorts the bytes and answers what the target heard, emptying its log. */
    std::vector<std::string> sort (std::initializer_list<juce::uint8> bytes)
    {
        const std::vector<juce::uint8> data (bytes);
        sorter.sort (data.data(), (int) data.size());
        auto heard = target.log;
        target.log.clear();
        return heard;
    }

    using Lines = std::vector<std::string>;

    static std::string move (int axis, double value) { return "move " + std::to_string (axis) + " " + juce::String (value, 6).toStdString(); }

    RecordingTarget target;
    MidiSorter sorter{ target };
};

constexpr CursorSource cc7 (int channel, int number) { return { CursorSource::Kind::controlChange, channel, number }; }
constexpr CursorSource pair (int channel, int number) { return { CursorSource::Kind::controlChangePair, channel, number }; }
constexpr CursorSource bend (int channel) { return { CursorSource::Kind::pitchBend, channel, 0 }; }
} // namespace

//==============================================================================
TEST_F (MidiSorting, ControlChangesAreControllerValuesUnlessTheyDriveAnAxis)
{
    EXPECT_EQ (sort ({ 0xb0, 7, 64 }), Lines{ "value 1/7=64" });

    target.sources[0] = cc7 (1, 7);
    EXPECT_EQ (sort ({ 0xb0, 7, 127 }), Lines{ move (0, 1.0) }) << "consumed: no controller value";
    EXPECT_EQ (sort ({ 0xb0, 7, 0 }), Lines{ move (0, 0.0) });
    EXPECT_EQ (sort ({ 0xb0, 7, 64 }), Lines{ move (0, 64.0 / 127.0) });
    EXPECT_EQ (sort ({ 0xb1, 7, 64 }), Lines{ "value 2/7=64" }) << "another channel";
    EXPECT_EQ (sort ({ 0xb0, 8, 64 }), Lines{ "value 1/8=64" }) << "another number";

    // Both axes may listen to one control: both move.
    target.sources[1] = cc7 (1, 7);
    EXPECT_EQ (sort ({ 0xb0, 7, 127 }), (Lines{ move (0, 1.0), move (1, 1.0) }));
}

TEST_F (MidiSorting, AFourteenBitPairMovesWithTheMsbAloneAndRefinesWithItsLsb)
{
    target.sources[1] = pair (3, 1);

    EXPECT_EQ (sort ({ 0xb2, 1, 64 }), Lines{ move (1, 8192.0 / 16383.0) }) << "the LSB counts as 0";
    EXPECT_EQ (sort ({ 0xb2, 33, 127 }), Lines{ move (1, 8319.0 / 16383.0) });
    EXPECT_EQ (sort ({ 0xb2, 33, 0 }), Lines{ move (1, 8192.0 / 16383.0) }) << "fine steps keep the MSB";
    EXPECT_EQ (sort ({ 0xb2, 1, 127 }), Lines{ move (1, 16256.0 / 16383.0) });
    EXPECT_EQ (sort ({ 0xb2, 33, 127 }), Lines{ move (1, 1.0) }) << "the highest pair is parameter 1";
    EXPECT_EQ (sort ({ 0xb3, 33, 5 }), Lines{ "value 4/33=5" }) << "an LSB on another channel";
}

TEST_F (MidiSorting, AnLsbWithoutAnMsbMovesNothingButIsStillConsumed)
{
    target.sources[0] = pair (1, 2);
    EXPECT_EQ (sort ({ 0xb0, 34, 100 }), Lines{});
    EXPECT_EQ (sort ({ 0xb0, 2, 1 }), Lines{ move (0, 128.0 / 16383.0) });
    EXPECT_EQ (sort ({ 0xb0, 34, 1 }), Lines{ move (0, 129.0 / 16383.0) });

    // The channels keep their MSBs apart, and a reset forgets them.
    sorter.reset();
    EXPECT_EQ (sort ({ 0xb0, 34, 1 }), Lines{});
}

TEST_F (MidiSorting, ASevenBitSourceOnAnMsbBecomesAPairWhenItsLsbArrives)
{
    target.sources[0] = cc7 (1, 1);

    // The LSB never comes: the source stays 7-bit, and its values span 0..127.
    EXPECT_EQ (sort ({ 0xb0, 1, 127 }), Lines{ move (0, 1.0) });
    EXPECT_EQ (sort ({ 0xb0, 1, 64 }), Lines{ move (0, 64.0 / 127.0) });
    EXPECT_EQ (target.sources[0], cc7 (1, 1));

    // It comes: a pair from now on.
    EXPECT_EQ (sort ({ 0xb0, 33, 10 }), (Lines{ "source 0 pair", move (0, 8202.0 / 16383.0) }));
    EXPECT_EQ (target.sources[0], pair (1, 1));
    EXPECT_EQ (sort ({ 0xb0, 1, 64 }), Lines{ move (0, 8192.0 / 16383.0) });

    // Numbers from 32 on have no LSB: CC 40's neighbour CC 72 is only a value.
    target.sources[1] = cc7 (1, 40);
    EXPECT_EQ (sort ({ 0xb0, 72, 3 }), Lines{ "value 1/72=3" });
    EXPECT_EQ (target.sources[1], cc7 (1, 40));
}

TEST_F (MidiSorting, AnAxisListeningToTheLsbNumberKeepsTheOtherAxisSevenBit)
{
    target.sources[0] = cc7 (1, 1);
    target.sources[1] = cc7 (1, 33);

    EXPECT_EQ (sort ({ 0xb0, 33, 127 }), Lines{ move (1, 1.0) });
    EXPECT_EQ (target.sources[0], cc7 (1, 1));
}

TEST_F (MidiSorting, PitchBendDrivesItsAxisOnItsChannelAndIsIgnoredOtherwise)
{
    EXPECT_EQ (sort ({ 0xe0, 0, 64 }), Lines{}) << "no source: pitch bend does nothing";

    target.sources[0] = bend (16);
    EXPECT_EQ (sort ({ 0xef, 0x7f, 0x7f }), Lines{ move (0, 1.0) });
    EXPECT_EQ (sort ({ 0xef, 0, 0 }), Lines{ move (0, 0.0) });
    EXPECT_EQ (sort ({ 0xef, 0, 64 }), Lines{ move (0, 8192.0 / 16383.0) }) << "data 1 is the LSB";
    EXPECT_EQ (sort ({ 0xe0, 0, 64 }), Lines{}) << "the wrong channel";
}

//==============================================================================
TEST_F (MidiSorting, ACursorLearnTakesTheNextControlChangeOrPitchBendAndMovesWithIt)
{
    target.request = LearnRequest::cursor (1);

    EXPECT_EQ (sort ({ 0x90, 60, 100 }), Lines{}) << "a note is no cursor source";
    EXPECT_EQ (sort ({ 0xb0, 123, 0 }), Lines{}) << "channel mode messages are no controls";
    EXPECT_EQ (target.request, LearnRequest::cursor (1));

    EXPECT_EQ (sort ({ 0xb4, 74, 127 }), (Lines{ "learn source 1", move (1, 1.0) }));
    EXPECT_EQ (target.sources[1], cc7 (5, 74));
    EXPECT_EQ (sort ({ 0xb4, 74, 0 }), Lines{ move (1, 0.0) }) << "learned once";

    target.request = LearnRequest::cursor (0);
    EXPECT_EQ (sort ({ 0xe1, 0, 0 }), (Lines{ "learn source 0", move (0, 0.0) }));
    EXPECT_EQ (target.sources[0], bend (2));
}

TEST_F (MidiSorting, ATriggerLearnTakesTheNextNoteOnOrProgramChangeAndRecallsWithIt)
{
    target.request = LearnRequest::trigger (7);

    EXPECT_EQ (sort ({ 0xb0, 1, 1 }), Lines{ "value 1/1=1" }) << "a control change is no trigger";
    EXPECT_EQ (sort ({ 0x90, 60, 0 }), Lines{}) << "a note-on of velocity 0 is a note-off";
    EXPECT_EQ (sort ({ 0x80, 60, 64 }), Lines{});
    EXPECT_EQ (sort ({ 0x92, 60, 1 }), (Lines{ "learn trigger 60", "recall 60" }));
    EXPECT_EQ (target.triggers.back(), (SceneTrigger{ SceneTrigger::Kind::note, 3, 60 }));

    EXPECT_EQ (sort ({ 0x92, 60, 127 }), Lines{ "recall 60" });
    EXPECT_EQ (sort ({ 0x93, 60, 127 }), Lines{}) << "another channel";
    EXPECT_EQ (sort ({ 0xc2, 60 }), Lines{}) << "a program change of the note's number";

    target.request = LearnRequest::trigger (8);
    EXPECT_EQ (sort ({ 0xc0, 5 }), (Lines{ "learn trigger 5", "recall 5" }));
    EXPECT_EQ (target.triggers.back(), (SceneTrigger{ SceneTrigger::Kind::programChange, 1, 5 }));
}

TEST_F (MidiSorting, MalformedShortAndSystemMessagesGoNowhere)
{
    target.sources[0] = cc7 (1, 7);
    target.request = LearnRequest::cursor (1);

    for (auto bytes : { std::vector<juce::uint8>{ 0xb0, 7 }, { 0xb0, 7, 0x80 }, { 0xb0, 0x87, 1 }, { 0xe0, 0x80, 0 }, { 0xc0 }, { 0xc0, 0x90 }, { 0xf0, 0x7e, 0xf7 }, { 0xf8 }, { 7, 64 }, {} })
    {
        sorter.sort (bytes.data(), (int) bytes.size());
        EXPECT_TRUE (target.log.empty()) << juce::String::toHexString (bytes.data(), (int) bytes.size());
        target.log.clear();
    }

    sorter.sort (nullptr, 3);
    EXPECT_TRUE (target.log.empty());
    EXPECT_EQ (target.request, LearnRequest::cursor (1)) << "nothing was learned";

    // A longer message is read as far as its status needs.
    target.request = {};
    const juce::uint8 longer[] = { 0xb0, 7, 127, 0 };
    sorter.sort (longer, 4);
    EXPECT_EQ (target.log, std::vector<std::string>{ move (0, 1.0) });
}

TEST (MidiSorterKinds, OnlyFullChannelMessagesTheSorterUsesAreWorthKeeping)
{
    const auto sortable = [] (std::vector<juce::uint8> bytes)
    { return MidiSorter::isSortable (bytes.data(), (int) bytes.size()); };

    EXPECT_TRUE (sortable ({ 0xb5, 1, 2 }));
    EXPECT_TRUE (sortable ({ 0x95, 1, 2 }));
    EXPECT_TRUE (sortable ({ 0xc5, 1 }));
    EXPECT_TRUE (sortable ({ 0xe5, 1, 2 }));
    EXPECT_FALSE (sortable ({ 0x85, 1, 2 }));
    EXPECT_FALSE (sortable ({ 0xa5, 1, 2 }));
    EXPECT_FALSE (sortable ({ 0xd5, 1 }));
    EXPECT_FALSE (sortable ({ 0xe5, 1 }));
    EXPECT_FALSE (sortable ({ 0xf0, 1, 0xf7 }));
    EXPECT_FALSE (MidiSorter::isSortable (nullptr, 3));
}

TEST (LearnRequestWord, PacksKindAndSceneIntoOneWordAndBack)
{
    for (auto request : { LearnRequest(), LearnRequest::cursor (0), LearnRequest::cursor (1), LearnRequest::trigger (0xfffffffful) })
        EXPECT_EQ (LearnRequest::unpack (request.pack()), request);

    EXPECT_EQ (LearnRequest().pack(), 0u) << "none is the zero word";
    EXPECT_EQ (LearnRequest::unpack (0x1234567804ull), LearnRequest()) << "an unknown kind reads as none";
}

//==============================================================================
TEST_F (MidiSorting, AFourteenBitControllerTakesItsPairByTheCursorsRule)
{
    target.controllers = { { ControllerKind::fourteenBit, 2, 5 } };

    // The MSB alone: the LSB counts as 0; the 7-bit controllers on CC 5 hear it too, but no
    // controller is learned for it.
    EXPECT_EQ (sort ({ 0xb1, 5, 64 }), (Lines{ "pair 2/5=8192 taken", "value 2/5=64 taken" }));
    EXPECT_EQ (sort ({ 0xb1, 37, 1 }), (Lines{ "pair 2/5=8193 taken", "value 2/37=1 taken" }));
    EXPECT_EQ (sort ({ 0xb1, 37, 127 }), (Lines{ "pair 2/5=8319 taken", "value 2/37=127 taken" })) << "each LSB refines the last MSB";

    // Another channel has no MSB yet: its LSB changes nothing but is still not learned.
    target.controllers.push_back ({ ControllerKind::fourteenBit, 3, 5 });
    EXPECT_EQ (sort ({ 0xb2, 37, 9 }), (Lines{ "pair 3/5=-1 taken", "value 3/37=9 taken" }));

    // Nobody listens to CC 6's pair: a plain value, which may be learned as 7-bit.
    EXPECT_EQ (sort ({ 0xb1, 6, 1 }), Lines{ "value 2/6=1" });
}

TEST_F (MidiSorting, AnNrpnSequenceSelectsItsParameterAndCarriesTheValueByDataEntry)
{
    // No parameter selected: data entry is a plain control change.
    EXPECT_EQ (sort ({ 0xb0, 6, 10 }), Lines{ "value 1/6=10" });
    EXPECT_EQ (sort ({ 0xb0, 38, 10 }), Lines{ "value 1/38=10" });

    // 99 and 98 select parameter 2 * 128 + 3 = 259; before the selection is complete they
    // reach 7-bit controllers on their numbers, but never to be learned.
    EXPECT_EQ (sort ({ 0xb0, 99, 2 }), Lines{ "value 1/99=2 taken" });
    EXPECT_EQ (sort ({ 0xb0, 98, 3 }), Lines{ "value 1/98=3 taken" });
    EXPECT_EQ (sort ({ 0xb0, 38, 5 }), Lines{ "nrpn 1/259=-1" }) << "an LSB before the MSB changes nothing";
    EXPECT_EQ (sort ({ 0xb0, 6, 64 }), Lines{ "nrpn 1/259=8192" }) << "the MSB alone";
    EXPECT_EQ (sort ({ 0xb0, 38, 5 }), Lines{ "nrpn 1/259=8197" });
    EXPECT_EQ (sort ({ 0xb0, 38, 6 }), Lines{ "nrpn 1/259=8198" }) << "the MSB stays";
    EXPECT_EQ (sort ({ 0xb1, 6, 1 }), Lines{ "value 2/6=1" }) << "the selection is the channel's";

    // With a parameter selected, 99 and 98 are consumed; a new selection waits for its MSB.
    EXPECT_EQ (sort ({ 0xb0, 98, 4 }), Lines{});
    EXPECT_EQ (sort ({ 0xb0, 38, 1 }), Lines{ "nrpn 1/260=-1" });
    EXPECT_EQ (sort ({ 0xb0, 6, 127 }), Lines{ "nrpn 1/260=16256" });
    EXPECT_EQ (sort ({ 0xb0, 99, 127 }), Lines{});
    EXPECT_EQ (sort ({ 0xb0, 6, 0 }), Lines{ "nrpn 1/16260=0" });

    // The null parameter deselects.
    EXPECT_EQ (sort ({ 0xb0, 98, 127 }), Lines{});
    EXPECT_EQ (sort ({ 0xb0, 6, 7 }), Lines{ "value 1/6=7" });
    EXPECT_EQ (sort ({ 0xb0, 99, 0 }), Lines{ "value 1/99=0 taken" });

    // So does an RPN selection, and a reset.
    EXPECT_EQ (sort ({ 0xb0, 98, 0 }), Lines{ "value 1/98=0 taken" });
    EXPECT_EQ (sort ({ 0xb0, 6, 1 }), Lines{ "nrpn 1/0=128" });
    EXPECT_EQ (sort ({ 0xb0, 101, 0 }), Lines{ "value 1/101=0" });
    EXPECT_EQ (sort ({ 0xb0, 6, 1 }), Lines{ "value 1/6=1" });
    sort ({ 0xb0, 99, 0 });
    sort ({ 0xb0, 98, 0 });
    sorter.reset();
    EXPECT_EQ (sort ({ 0xb0, 6, 1 }), Lines{ "value 1/6=1" });
}

TEST_F (MidiSorting, CursorSourcesOnNrpnNumbersKeepTakingTheirMessages)
{
    target.sources[0] = cc7 (1, 99);
    target.sources[1] = pair (1, 6);

    EXPECT_EQ (sort ({ 0xb0, 99, 127 }), Lines{ move (0, 1.0) });
    EXPECT_EQ (sort ({ 0xb0, 98, 1 }), Lines{ "value 1/98=1 taken" }) << "half a selection";
    EXPECT_EQ (sort ({ 0xb0, 6, 64 }), Lines{ move (1, 8192.0 / 16383.0) }) << "no parameter was selected by the cursor's 99";
    EXPECT_EQ (sort ({ 0xb0, 38, 1 }), Lines{ move (1, 8193.0 / 16383.0) });
}
