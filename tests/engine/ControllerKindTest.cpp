// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ControllerKind.h"
#include "EngineTestHelpers.h"
#include "engine/MidiTickWriter.h"

using namespace brisquell;
using namespace brisquell::test;

namespace
{
using Sent = std::vector<SentControlChange>;

/** A model without auto-key or auto-learn, with two scenes at (0, 0) and (100, 0) and the
    cursor on the first; nothing selected.
*/
struct KindSetUp
{
    KindSetUp()
    {
        model.setAutoKey (false);
        model.setAutoLearn (false);
        a = addSceneAt (model, 0, 0);
        b = addSceneAt (model, 100, 0);
        model.setSelectedScenes ({});
        tick (model);
    }

    Controller* add (ControllerKind kind, int number, int valueInA, int valueInB, int channel = 1)
    {
        auto* c = model.addController (number, channel, kind);
        c->setValueInScene (valueInA, *a);
        c->setValueInScene (valueInB, *b);
        return c;
    }

    void feed (std::initializer_list<std::array<int, 3>> messages)
    {
        for (auto m : messages)
            model.handleIncomingMidi (controlChange (m[0], m[1], m[2]));
    }

    Brisquell model;
    Scene* a = nullptr;
    Scene* b = nullptr;
};
} // namespace

//==============================================================================
TEST (ControllerKinds, RescalingKeepsTheEndsAndTheCentreAndBringsEverySevenBitValueBack)
{
    constexpr auto seven = ControllerKind::sevenBit, fourteen = ControllerKind::fourteenBit, nrpn = ControllerKind::nrpn;

    for (auto [low, high] : { std::pair{ 0, 0 }, { 64, 8192 }, { 127, 16383 }, { 1, 128 }, { 65, 8322 } })
    {
        EXPECT_EQ (rescaleValue (low, seven, fourteen), high) << low;
        EXPECT_EQ (rescaleValue (high, nrpn, seven), low) << high;
    }

    for (int v = 0, previous = -1; v <= 127; ++v)
    {
        const auto up = rescaleValue (v, seven, nrpn);
        EXPECT_GT (up, previous) << "monotonic at " << v;
        EXPECT_EQ (rescaleValue (up, nrpn, seven), v);
        previous = up;
    }

    // Out of range values are first clamped into the old kind's range; between the 14-bit
    // kinds nothing changes, and 7-bit to 7-bit keeps even what is out of range.
    EXPECT_EQ (rescaleValue (300, seven, fourteen), 16383);
    EXPECT_EQ (rescaleValue (-5, seven, fourteen), 0);
    EXPECT_EQ (rescaleValue (20000, fourteen, seven), 127);
    EXPECT_EQ (rescaleValue (12345, fourteen, nrpn), 12345);
    EXPECT_EQ (rescaleValue (300, seven, seven), 300);
}

TEST (ControllerKinds, EachKindGoesOutInItsFormAtTheTicksOffsetInOrder)
{
    KindSetUp s;
    s.add (ControllerKind::sevenBit, 7, 100, 0, 2);
    s.add (ControllerKind::fourteenBit, 1, 16383, 0, 3);
    s.add (ControllerKind::nrpn, 300, 8197, 0, 16);

    s.model.getCursor().setPosition (0, 0);
    EXPECT_EQ (tick (s.model, 5), (Sent{ { 16, 99, 2, 5 }, { 16, 98, 44, 5 }, { 16, 6, 64, 5 }, { 16, 38, 5, 5 }, { 3, 1, 127, 5 }, { 3, 33, 127, 5 }, { 2, 7, 100, 5 } }));

    // Only what changed goes out, in its whole form.
    s.model.getController (2)->setValueInScene (1, *s.a);
    EXPECT_EQ (tick (s.model), (Sent{ { 16, 99, 2, 0 }, { 16, 98, 44, 0 }, { 16, 6, 0, 0 }, { 16, 38, 1, 0 } }));

    // Halfway, each at its own resolution, rounded half to even as always.
    s.model.getCursor().setPosition (50, 0);
    const auto sent = tick (s.model);
    ASSERT_EQ (sent.size(), 7u);
    EXPECT_EQ (sent[4], (SentControlChange{ 3, 1, 64, 0 })) << "8192 (8191.5 rounded to even)";
    EXPECT_EQ (sent[5], (SentControlChange{ 3, 33, 0, 0 }));
    EXPECT_EQ (sent[6], (SentControlChange{ 2, 7, 50, 0 }));
}

TEST (ControllerKinds, AuditSendsTheStoredValuesInTheirForm)
{
    KindSetUp s;
    s.add (ControllerKind::fourteenBit, 31, 200, 9000);
    s.model.setAudit (true);
    s.model.setSelectedScenes ({ s.b });
    EXPECT_EQ (tick (s.model), (Sent{ { 1, 31, 70, 0 }, { 1, 63, 40, 0 } }));
}

TEST (ControllerKinds, TheTickWriterPlacesMessagesAsAddEventWould)
{
    // Events before, at and after the tick's offset: the tick's messages go after the ones at
    // its offset and before the later ones, in the order written.
    juce::MidiBuffer written, expected;

    for (auto* buffer : { &written, &expected })
        for (auto [number, offset] : { std::pair{ 1, 0 }, { 2, 4 }, { 3, 9 } })
            addControlChange (*buffer, 1, number, 0, offset);

    {
        // The messages are in the buffer once the writer has gone.
        MidiTickWriter writer (written, 4);
        writer.addControlChange (2, 10, 1);
        writer.addControlChange (17, 200, 300);
    }

    expected.addEvent (juce::MidiMessage::controllerEvent (2, 10, 1), 4);
    expected.addEvent (juce::MidiMessage::controllerEvent (16, 200 & 127, 300 & 127), 4);

    EXPECT_EQ (messagesIn (written), messagesIn (expected));
    EXPECT_EQ (written.data, expected.data) << "byte for byte";
}

TEST (ControllerKinds, ChangingTheKindRescalesEveryValueClampsTheNumberAndSendsTheNewForm)
{
    KindSetUp s;
    auto* c = s.add (ControllerKind::sevenBit, 74, 64, 127);
    RecordingListener listener (s.model);

    c->setKind (ControllerKind::fourteenBit);
    EXPECT_EQ (c->getKind(), ControllerKind::fourteenBit);
    EXPECT_EQ (c->getCcNumber(), 31) << "clamped into 0..31";
    EXPECT_EQ (s.a->getValueFor (*c), 8192);
    EXPECT_EQ (s.b->getValueFor (*c), 16383);
    EXPECT_EQ (c->getMaximumValue(), 16383);
    EXPECT_EQ (tick (s.model), (Sent{ { 1, 31, 64, 0 }, { 1, 63, 0, 0 } }));

    s.model.deliverPendingNotifications();
    EXPECT_EQ (listener.count (c), 1);

    c->setKind (ControllerKind::nrpn);
    EXPECT_EQ (s.b->getValueFor (*c), 16383) << "the same resolution";
    EXPECT_EQ (c->getCcNumber(), 74) << "the number the 14-bit kind clamped comes back";
    c->setCcNumber (20000);
    EXPECT_EQ (c->getCcNumber(), 16383);

    c->setKind (ControllerKind::sevenBit);
    EXPECT_EQ (c->getCcNumber(), 127);
    EXPECT_EQ (s.a->getValueFor (*c), 64);
    EXPECT_EQ (s.b->getValueFor (*c), 127);

    // A 7-bit controller keeps any number it is given, as it always did.
    c->setCcNumber (500);
    EXPECT_EQ (c->getCcNumber(), 500);

    // A kind switched and back keeps the number, unless it was changed in between.
    auto* d = s.model.addController (74, 1);
    d->setKind (ControllerKind::fourteenBit);
    d->setKind (ControllerKind::sevenBit);
    EXPECT_EQ (d->getCcNumber(), 74);
    d->setKind (ControllerKind::fourteenBit);
    d->setCcNumber (5);
    d->setKind (ControllerKind::sevenBit);
    EXPECT_EQ (d->getCcNumber(), 5);
}

TEST (ControllerKinds, FourteenBitAndNrpnControllersTakeTheirInputAtTheirResolution)
{
    KindSetUp s;
    auto* pair = s.add (ControllerKind::fourteenBit, 2, 0, 0, 5);
    auto* nrpn = s.add (ControllerKind::nrpn, 1000, 0, 0, 5);
    auto* plain = s.add (ControllerKind::sevenBit, 2, 0, 0, 5);
    s.model.setSelectedScenes ({ s.a });

    s.feed ({ { 5, 2, 100 }, { 5, 34, 3 } });
    EXPECT_EQ (s.a->getValueFor (*pair), 100 * 128 + 3);
    EXPECT_EQ (s.a->getValueFor (*plain), 100) << "the 7-bit controller on the MSB's number takes it too";

    s.feed ({ { 5, 99, 7 }, { 5, 98, 104 }, { 5, 6, 1 } });
    EXPECT_EQ (s.a->getValueFor (*nrpn), 128);
    s.feed ({ { 5, 38, 2 } });
    EXPECT_EQ (s.a->getValueFor (*nrpn), 130);
    EXPECT_EQ (s.model.getNumControllers(), 3) << "nothing was learned (auto-learn is off)";

    // Auto-key keys a scene at the cursor for a 14-bit value as for a 7-bit one.
    s.model.setSelectedScenes ({});
    s.model.setAutoKey (true);
    s.feed ({ { 5, 6, 2 } });
    EXPECT_EQ (s.model.getNumScenes(), 3);
    s.feed ({ { 5, 6, 3 } });
    EXPECT_EQ (s.model.getScene (2)->getValueFor (*nrpn), 384);
}

TEST (ControllerKinds, AutoLearnMakesAnNrpnControllerOfACompleteSequenceButNeverChangesAKind)
{
    KindSetUp s;
    s.model.setAutoLearn (true);
    s.model.setSelectedScenes ({ s.a });

    s.feed ({ { 3, 99, 1 }, { 3, 98, 2 } });
    EXPECT_EQ (s.model.getNumControllers(), 0) << "a selection alone is no value";

    s.feed ({ { 3, 6, 64 }, { 3, 38, 1 } });
    ASSERT_EQ (s.model.getNumControllers(), 1);
    auto* learned = s.model.getController (0);
    EXPECT_EQ (learned->getKind(), ControllerKind::nrpn);
    EXPECT_EQ (learned->getCcNumber(), 130);
    EXPECT_EQ (learned->getChannel(), 3);
    EXPECT_EQ (learned->getName(), "130");
    EXPECT_EQ (s.a->getValueFor (*learned), 8193);

    // A 14-bit pair for a learned 7-bit controller: it stays 7-bit and takes its MSB, and the
    // LSB's number is learned as a 7-bit controller of its own, as it always was.
    s.feed ({ { 3, 99, 127 }, { 3, 98, 127 }, { 3, 1, 10 }, { 3, 33, 20 } });
    ASSERT_EQ (s.model.getNumControllers(), 3);
    EXPECT_EQ (s.model.getController (1)->getKind(), ControllerKind::sevenBit);
    EXPECT_EQ (s.a->getValueFor (*s.model.getController (1)), 10);
    EXPECT_EQ (s.model.getController (2)->getCcNumber(), 33);
    EXPECT_EQ (s.a->getValueFor (*s.model.getController (2)), 20);
}

TEST (ControllerKinds, NewAndRandomValuesKeepToTheKind)
{
    KindSetUp s;
    auto* c = s.add (ControllerKind::nrpn, 16383, 0, 0);

    // "add controller" follows the last controller's kind, wrapping past its highest number.
    auto* next = s.model.addNextController();
    EXPECT_EQ (next->getKind(), ControllerKind::nrpn);
    EXPECT_EQ (next->getCcNumber(), 0);
    next->setKind (ControllerKind::fourteenBit);
    EXPECT_EQ (s.model.addNextController()->getCcNumber(), 1);

    c->setValueInScene (99999, *s.a);
    EXPECT_EQ (s.a->getValueFor (*c), 16383) << "clamped";

    s.model.setRandomSeed (1);
    bool isAboveSevenBits = false;

    for (int i = 0; i < 20; ++i)
    {
        s.model.randomiseScene (*s.b);
        const auto v = s.b->getValueFor (*c);
        EXPECT_TRUE (v >= 0 && v <= 16383) << v;
        isAboveSevenBits = isAboveSevenBits || v > 127;
    }

    EXPECT_TRUE (isAboveSevenBits);
}

TEST (ControllerKinds, TheDocumentCarriesAKindOnlyForFourteenBitControllers)
{
    KindSetUp s;
    s.add (ControllerKind::sevenBit, 7, 1, 2);
    s.add (ControllerKind::fourteenBit, 3, 8192, 16383);
    s.add (ControllerKind::nrpn, 4000, 5, 6);

    const auto xml = s.model.createStateXml ("state");
    const auto* controllers = xml->getChildByName ("controllers");
    EXPECT_FALSE (controllers->getChildElement (0)->hasAttribute ("kind"));
    EXPECT_EQ (controllers->getChildElement (1)->getStringAttribute ("kind"), "cc14");
    EXPECT_EQ (controllers->getChildElement (2)->getStringAttribute ("kind"), "nrpn");
    EXPECT_EQ (controllers->getChildElement (2)->getStringAttribute ("ccno"), "4000");

    Brisquell restored;
    restored.restoreStateXml (std::make_unique<juce::XmlElement> (*xml));
    EXPECT_EQ (restored.createStateXml ("state")->toString(), xml->toString());
    EXPECT_EQ (restored.getController (2)->getKind(), ControllerKind::nrpn);
}

TEST (ControllerKinds, KindsNumbersAndValuesADocumentCannotMeanHaveDefinedOutcomes)
{
    Brisquell model;
    model.restoreStateXml (juce::parseXML (R"(<state><controllers>)"
                                           R"(<controller ccno="40" channel="1" name="a" kind="NRPN"><value value="-3" scene="0"/></controller>)"
                                           R"(<controller ccno="40" channel="1" name="b" kind="cc14"><value value="70000" scene="0"/></controller>)"
                                           R"(<controller ccno="-1" channel="1" name="c" kind="nrpn"/>)"
                                           R"(<controller ccno="400" channel="1" name="d" kind="cc16"><value value="300" scene="0"/></controller>)"
                                           R"(</controllers><scenes><scene id="0" x="0" y="0"/></scenes></state>)"));

    ASSERT_EQ (model.getNumControllers(), 4);
    const auto* scene = model.getScene (0);

    EXPECT_EQ (model.getController (0)->getKind(), ControllerKind::nrpn) << "letter case does not matter";
    EXPECT_EQ (scene->getValueFor (*model.getController (0)), 0);
    EXPECT_EQ (model.getController (1)->getCcNumber(), 31);
    EXPECT_EQ (scene->getValueFor (*model.getController (1)), 16383);
    EXPECT_EQ (model.getController (2)->getCcNumber(), 0);

    // An unknown kind is 7-bit, with everything kept as an earlier reader kept it.
    EXPECT_EQ (model.getController (3)->getKind(), ControllerKind::sevenBit);
    EXPECT_EQ (model.getController (3)->getCcNumber(), 400);
    EXPECT_EQ (scene->getValueFor (*model.getController (3)), 300);
    EXPECT_EQ (model.getController (3)->getName(), "d");
}
