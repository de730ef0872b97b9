// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestHelpers.h"

#include <cmath>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
// Two scenes and three controllers (CC 1..3 on channel 1), all values stored, no output pending.
struct MorphSetUp
{
    MorphSetUp()
    {
        a = addSceneAt (model, 0, 0);
        b = addSceneAt (model, 100, 0);

        for (int cc = 1; cc <= 3; ++cc)
        {
            controllers.push_back (model.addController (cc, 1));
            controllers.back()->setValueInScene (cc * 10, *a);
        }

        controllers[0]->setValueInScene (100, *b);
        controllers[1]->setValueInScene (120, *b);
        model.setSelectedScenes ({});
        tick (model);
    }

    std::vector<int> sentCcNumbers()
    {
        std::vector<int> result;

        for (auto& m : tick (model, 7))
        {
            EXPECT_EQ (m.sampleOffset, 7);
            result.push_back (m.ccNumber);
        }

        return result;
    }

    Brisquell model;
    Scene* a = nullptr;
    Scene* b = nullptr;
    std::vector<Controller*> controllers;
};
} // namespace

TEST (OutputTick, SamplesPerRefreshIsTheIntegerIntervalAndAtLeastOne)
{
    Brisquell model;
    EXPECT_EQ (model.getSamplesPerRefresh (44100), 220);
    model.setRefreshRate (5000);
    EXPECT_EQ (model.getSamplesPerRefresh (44100), 8);
    model.setRefreshRate (200);
    EXPECT_EQ (model.getSamplesPerRefresh (100), 1);
    EXPECT_EQ (model.getSamplesPerRefresh (0), 1);
    model.setRefreshRate (0);
    EXPECT_EQ (model.getRefreshRate(), 1);
}

TEST (OutputTick, AfterAMoveEveryControllerGoesOutOnceInReverseOrder)
{
    MorphSetUp s;
    s.model.getCursor().setPosition (50, 0);

    const auto sent = tick (s.model, 3);
    EXPECT_EQ (sent, (std::vector<SentControlChange> { { 1, 3, 15, 3 }, { 1, 2, 70, 3 }, { 1, 1, 55, 3 } }));
    EXPECT_TRUE (tick (s.model).empty());

    // A scene move counts too, with the values' own pending sends cleared along the way.
    s.controllers[0]->setValueInScene (90, *s.a);
    s.b->setPosition (100, 0);
    EXPECT_EQ (s.sentCcNumbers(), (std::vector<int> { 3, 2, 1 }));
    EXPECT_TRUE (tick (s.model).empty());
}

TEST (OutputTick, AfterValueChangesOnlyThePendingControllersGoOut)
{
    MorphSetUp s;
    s.controllers[0]->setValueInScene (1, *s.a);
    s.controllers[2]->setValueInScene (2, *s.b);
    EXPECT_EQ (s.sentCcNumbers(), (std::vector<int> { 3, 1 }));

    // An incoming value for the selected scene is a value change as well.
    s.model.setSelectedScenes ({ s.b });
    s.model.handleIncomingMidi (controlChange (1, 2, 64));
    EXPECT_EQ (s.sentCcNumbers(), (std::vector<int> { 2 }));
    EXPECT_TRUE (tick (s.model).empty());
}

TEST (OutputTick, DeletingAScenePendsNoOutputButTheNextValuesReflectIt)
{
    MorphSetUp s;
    s.model.deleteScene (s.b);
    EXPECT_FALSE (s.model.needsOutput());

    s.model.getCursor().setPosition (70, 0);
    const auto sent = tick (s.model);
    ASSERT_EQ (sent.size(), 3u);
    EXPECT_EQ (sent[2].value, 10); // only scene a is left
}

TEST (OutputTick, AuditSendsTheFirstSelectedScenesStoredValues)
{
    MorphSetUp s;
    s.model.setAudit (true);
    s.model.setSelectedScenes ({ s.b, s.a });
    EXPECT_EQ (tick (s.model), (std::vector<SentControlChange> { { 1, 2, 120, 0 }, { 1, 1, 100, 0 } }));

    // Moving the cursor or a scene in audit mode sends nothing.
    s.model.setCursorX (0.3f);
    s.a->setPosition (5, 5);
    EXPECT_FALSE (s.model.needsOutput());

    // A value change sends only that controller's stored value.
    s.controllers[0]->setValueInScene (33, *s.b);
    EXPECT_EQ (tick (s.model), (std::vector<SentControlChange> { { 1, 1, 33, 0 } }));

    // Selecting a single scene re-sends it; selecting two does not.
    s.model.setSelectedScenes ({ s.a, s.b });
    EXPECT_FALSE (s.model.needsOutput());
    s.model.setSelectedScenes ({ s.a });
    EXPECT_EQ (s.sentCcNumbers(), (std::vector<int> { 3, 2, 1 }));

    // Switching audit off sends every interpolated value at the next tick.
    s.model.setAudit (false);
    const auto expected = [&]
    {
        std::vector<SentControlChange> e;
        for (int i = 2; i >= 0; --i)
            e.push_back ({ 1, i + 1, s.controllers[(size_t) i]->getValue(), 0 });
        return e;
    }();
    EXPECT_EQ (tick (s.model), expected);
}

TEST (OutputTick, CursorParametersKeepTheirFractionsStayInTheRangeAndRefuseNonFiniteValues)
{
    Brisquell model;
    model.setCursorX (0.0025f); // 0.5, not rounded
    EXPECT_FLOAT_EQ (model.getCursor().getPosition().x, 0.5f);
    model.setCursorX (0.5f);
    model.setCursorY (1.5f);
    EXPECT_EQ (model.getCursorX(), 0.5f);
    EXPECT_EQ (model.getCursorY(), 1.0f) << "the range's end";
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (100, 200));

    model.setCursorY (std::nanf (""));
    model.setCursorX (std::numeric_limits<float>::infinity());
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (100, 200));

    model.setCursorX (-1.0e30f);
    EXPECT_EQ (model.getCursor().getPosition().x, 0.0f);
}
