// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestHelpers.h"

using namespace brisquell;
using namespace brisquell::test;

namespace
{
void send (Brisquell& model, std::initializer_list<juce::uint8> bytes)
{
    const std::vector<juce::uint8> data (bytes);
    model.handleIncomingMidi (data.data(), (int) data.size());
}

constexpr CursorSource cc7 (int channel, int number) { return { CursorSource::Kind::controlChange, channel, number }; }
constexpr SceneTrigger note (int channel, int number) { return { SceneTrigger::Kind::note, channel, number }; }
constexpr SceneTrigger program (int channel, int number) { return { SceneTrigger::Kind::programChange, channel, number }; }
} // namespace

//==============================================================================
TEST (CursorSources, EveryValueOfASourcePutsTheCursorWhereTheParameterWould)
{
    Brisquell byMidi, byParameter;
    byMidi.setCursorSource (0, cc7 (1, 16));
    byMidi.setCursorSource (1, { CursorSource::Kind::pitchBend, 2, 0 });

    for (int value = 0; value < 128; ++value)
    {
        send (byMidi, { 0xb0, 16, (juce::uint8) value });
        byParameter.setCursorX ((float) value / 127.0f);
        ASSERT_EQ (byMidi.getCursor().getPosition().x, byParameter.getCursor().getPosition().x) << value;
        ASSERT_EQ (byMidi.getCursorX(), byParameter.getCursorX()) << value;
    }

    for (int value = 0; value < 16384; value += 7)
    {
        send (byMidi, { 0xe1, (juce::uint8) (value & 0x7f), (juce::uint8) (value >> 7) });
        byParameter.setCursorY ((float) value / 16383.0f);
        ASSERT_EQ (byMidi.getCursor().getPosition().y, byParameter.getCursor().getPosition().y) << value;
    }

    EXPECT_EQ (byMidi.getCursor().getPosition(), juce::Point<float> (200, (float) (16380.0f / 16383.0f * 200.0)));
}

TEST (CursorSources, ASourceMessageIsNeverStoredNorLearnedAsAController)
{
    Brisquell model;
    model.setAutoLearn (true);
    model.setAutoKey (true);
    model.setCursorSource (0, cc7 (1, 16));

    send (model, { 0xb0, 16, 64 });
    EXPECT_EQ (model.getNumControllers(), 0);
    EXPECT_EQ (model.getNumScenes(), 0) << "nor does it key a scene";

    send (model, { 0xb1, 16, 64 });
    EXPECT_EQ (model.getNumControllers(), 1) << "the same number on another channel is a controller";
}

TEST (CursorSources, InvalidSourcesAreNoneAndForgettingClearsBoth)
{
    Brisquell model;

    for (auto bad : { CursorSource{ CursorSource::Kind::controlChange, 0, 1 }, CursorSource{ CursorSource::Kind::controlChange, 17, 1 }, CursorSource{ CursorSource::Kind::controlChange, 1, 120 }, CursorSource{ CursorSource::Kind::controlChangePair, 1, 32 }, CursorSource{ CursorSource::Kind::controlChange, 1, -1 } })
    {
        model.setCursorSource (0, bad);
        EXPECT_EQ (model.getCursorSource (0).kind, CursorSource::Kind::none);
    }

    model.setCursorSource (0, cc7 (1, 1));
    model.setCursorSource (1, cc7 (1, 2));
    model.setCursorSource (2, cc7 (1, 3));
    EXPECT_EQ (model.getCursorSource (2), CursorSource()) << "there are two axes";
    EXPECT_TRUE (model.usesExactTiming());

    model.forgetCursorSources();
    EXPECT_EQ (model.getCursorSource (0), CursorSource());
    EXPECT_EQ (model.getCursorSource (1), CursorSource());
    EXPECT_FALSE (model.usesExactTiming());
}

//==============================================================================
TEST (SceneTriggers, ANoteOrProgramChangeRecallsTheFirstSceneThatHoldsIt)
{
    Brisquell model;
    auto* a = addSceneAt (model, 10, 20);
    auto* b = addSceneAt (model, 150, 160);
    auto* c = addSceneAt (model, 190, 0);
    model.setSceneTrigger (*a, note (1, 60));
    model.setSceneTrigger (*b, note (1, 60));
    model.setSceneTrigger (*c, program (2, 5));

    send (model, { 0x90, 60, 100 });
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (10, 20)) << "a, first in the list";

    send (model, { 0xc1, 5 });
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (190, 0));

    send (model, { 0x91, 60, 100 });
    send (model, { 0xc0, 5 });
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (190, 0)) << "other channels recall nothing";

    model.deleteScene (a);
    send (model, { 0x90, 60, 1 });
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (150, 160)) << "b now comes first";
    EXPECT_EQ (model.getCursorX(), 0.75f);
}

TEST (SceneTriggers, ARecallGlidesWhenTheGlideIsOn)
{
    Brisquell model;
    model.setSampleClock (0.0, 1000.0);
    model.setGlideTime (2.0);
    auto* scene = addSceneAt (model, 100, 200);
    model.setSceneTrigger (*scene, program (1, 0));

    model.handleIncomingMidi (std::array<juce::uint8, 2>{ 0xc0, 0 }.data(), 2, 1000.0);
    EXPECT_EQ (model.getGlide().startTime, 1000.0) << "the message's own time";
    EXPECT_EQ (model.getGlide().target, juce::Point<float> (100, 200));

    model.advanceGlideTo (2000.0);
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (50, 100));
}

TEST (SceneTriggers, TriggersOfScenesOutsideTheModelOrInvalidOnesAreNotKept)
{
    Brisquell model, other;
    auto* scene = addSceneAt (model, 0, 0);
    auto* foreign = addSceneAt (other, 0, 0);

    model.setSceneTrigger (*foreign, note (1, 1));
    EXPECT_EQ (other.getSceneTrigger (*foreign), SceneTrigger());
    EXPECT_EQ (model.getSceneTrigger (*foreign), SceneTrigger());

    for (auto bad : { SceneTrigger{ SceneTrigger::Kind::note, 0, 1 }, SceneTrigger{ SceneTrigger::Kind::note, 1, 128 }, SceneTrigger{ SceneTrigger::Kind::programChange, 1, -1 }, SceneTrigger{ SceneTrigger::Kind::none, 1, 1 } })
    {
        model.setSceneTrigger (*scene, bad);
        EXPECT_EQ (scene->getTrigger(), SceneTrigger());
    }

    EXPECT_FALSE (model.usesExactTiming());
    model.setSceneTrigger (*scene, note (16, 127));
    EXPECT_EQ (scene->getTrigger(), note (16, 127));
    EXPECT_TRUE (model.usesExactTiming());
}

//==============================================================================
TEST (LearnRequests, AreMetByTheNextSuitableMessageAndReportedToTheListeners)
{
    Brisquell model;
    RecordingListener listener (model);
    model.setAutoLearn (true);

    model.requestLearn (LearnRequest::cursor (1));
    EXPECT_TRUE (model.usesExactTiming());
    model.deliverPendingNotifications();
    EXPECT_EQ (listener.count (model.getMidiControlSubject()), 1);

    send (model, { 0x90, 60, 100 });
    EXPECT_EQ (model.getLearnRequest(), LearnRequest::cursor (1)) << "a note is no cursor source";

    send (model, { 0xb3, 1, 127 });
    EXPECT_EQ (model.getLearnRequest(), LearnRequest());
    EXPECT_EQ (model.getCursorSource (1), cc7 (4, 1));
    EXPECT_EQ (model.getCursor().getPosition().y, 200.0f) << "the learned message moves the cursor too";
    EXPECT_EQ (model.getNumControllers(), 0) << "and is not learned as a controller";

    model.deliverPendingNotifications();
    EXPECT_EQ (listener.count (model.getMidiControlSubject()), 2);
}

TEST (LearnRequests, ATriggerIsLearnedForItsSceneAndDroppedWithIt)
{
    Brisquell model;
    auto* first = addSceneAt (model, 0, 0);
    auto* second = addSceneAt (model, 200, 200);

    model.requestLearn (LearnRequest::trigger (second->getSerial()));
    send (model, { 0x95, 36, 1 });
    EXPECT_EQ (second->getTrigger(), note (6, 36));
    EXPECT_EQ (first->getTrigger(), SceneTrigger());
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (200, 200)) << "it recalls the scene at once";

    // A scene deleted while its request waits: the request goes, the message does nothing.
    const auto firstSerial = first->getSerial();
    model.requestLearn (LearnRequest::trigger (firstSerial));
    model.deleteScene (first);
    send (model, { 0xc0, 3 });
    EXPECT_EQ (model.getLearnRequest(), LearnRequest());
    EXPECT_EQ (second->getTrigger(), note (6, 36));
    EXPECT_GT (addSceneAt (model, 1, 1)->getSerial(), firstSerial) << "serials are never reused";
}

TEST (LearnRequests, ALaterRequestReplacesTheWaitingOneAndNoneCancels)
{
    Brisquell model;
    model.requestLearn (LearnRequest::cursor (0));
    model.requestLearn (LearnRequest::cursor (1));
    send (model, { 0xe0, 0, 0 });
    EXPECT_EQ (model.getCursorSource (0), CursorSource());
    EXPECT_EQ (model.getCursorSource (1).kind, CursorSource::Kind::pitchBend);

    model.requestLearn (LearnRequest::cursor (0));
    model.requestLearn ({});
    send (model, { 0xb0, 1, 1 });
    EXPECT_EQ (model.getCursorSource (0), CursorSource());
}

TEST (LearnRequests, RestoringADocumentDropsTheWaitingRequest)
{
    Brisquell model;
    model.requestLearn (LearnRequest::cursor (0));
    model.restoreStateXml (juce::parseXML ("<brisquell/>"));
    EXPECT_EQ (model.getLearnRequest(), LearnRequest());
}
