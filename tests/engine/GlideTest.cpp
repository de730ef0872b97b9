// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestHelpers.h"

#include <cmath>
#include <limits>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
Glide glideFrom00To200x100 (GlideShape shape)
{
    return Glide::fromRest ({ 0.0f, 0.0f }, { 200.0f, 100.0f }, 1000.0, 4000.0, shape);
}

/** A model whose clock runs at 1000 samples a second, so a glide of 1 s lasts 1000 samples. */
void startClock (Brisquell& model, double glideSeconds, GlideShape shape = GlideShape::linear)
{
    model.setSampleClock (0.0, 1000.0);
    model.setGlideTime (glideSeconds);
    model.setGlideShape (shape);
}

juce::Point<float> cursorOf (const Brisquell& model)
{
    return model.getCursor().getPosition();
}
} // namespace

//==============================================================================
TEST (GlidePath, LinearAndSmoothPositionsAtKnownSampleTimes)
{
    struct Case
    {
        double time;
        juce::Point<float> linear, smooth;
    };

    // The smooth shape covers 3u^2 - 2u^3 of the way: 0.15625 at a quarter, 0.84375 at three.
    for (const auto& c : { Case{ 0.0, { 0, 0 }, { 0, 0 } },
                           Case{ 1000.0, { 0, 0 }, { 0, 0 } },
                           Case{ 2000.0, { 50, 25 }, { 31.25f, 15.625f } },
                           Case{ 3000.0, { 100, 50 }, { 100, 50 } },
                           Case{ 4000.0, { 150, 75 }, { 168.75f, 84.375f } },
                           Case{ 5000.0, { 200, 100 }, { 200, 100 } },
                           Case{ 1.0e12, { 200, 100 }, { 200, 100 } } })
    {
        EXPECT_EQ (glideFrom00To200x100 (GlideShape::linear).getPositionAt (c.time), c.linear) << c.time;
        EXPECT_EQ (glideFrom00To200x100 (GlideShape::smooth).getPositionAt (c.time), c.smooth) << c.time;
    }

    auto stopped = glideFrom00To200x100 (GlideShape::smooth);
    stopped.isRunning = false;
    EXPECT_EQ (stopped.getPositionAt (2000.0), stopped.target) << "a glide that does not run is at its target";

    // The smooth shape leaves and arrives at rest, and is symmetric about the middle.
    EXPECT_EQ (Glide::ease (0.0, GlideShape::smooth), 0.0);
    EXPECT_EQ (Glide::ease (1.0, GlideShape::smooth), 1.0);
    EXPECT_NEAR (Glide::ease (0.3, GlideShape::smooth) + Glide::ease (0.7, GlideShape::smooth), 1.0, 1.0e-12);
    EXPECT_LT (Glide::ease (0.01, GlideShape::smooth), 0.01);
}

//==============================================================================
TEST (CursorGlide, WithTheGlideOffTheCursorJumpsAsBefore)
{
    Brisquell model;
    model.setCursorX (0.5f);
    model.setCursorY (0.25f);

    EXPECT_EQ (cursorOf (model), juce::Point<float> (100, 50));
    EXPECT_EQ (model.getCursorTarget(), juce::Point<float> (100, 50));
    EXPECT_FALSE (model.isGliding());
    EXPECT_FALSE (model.usesExactTiming());
    EXPECT_EQ (model.getGlideTime(), 0.0);
    EXPECT_EQ (model.getGlideShape(), GlideShape::linear);
}

TEST (CursorGlide, AParameterStartsAGlideThatAdvancesWithTheSampleClock)
{
    Brisquell model;
    startClock (model, 1.0);
    EXPECT_TRUE (model.usesExactTiming());

    model.setCursorX (1.0f);
    EXPECT_TRUE (model.isGliding());
    EXPECT_EQ (cursorOf (model), juce::Point<float> (0, 0)) << "it has not moved yet";
    EXPECT_EQ (model.getCursorX(), 1.0f) << "the parameter answers the target";
    EXPECT_EQ (model.getCursorTarget(), juce::Point<float> (200, 0));

    model.advanceGlideTo (250.0);
    EXPECT_EQ (cursorOf (model), juce::Point<float> (50, 0));
    EXPECT_TRUE (model.needsOutput()) << "a step along the glide is a move";
    EXPECT_EQ (model.getCursorX(), 1.0f);

    model.advanceGlideTo (1000.0);
    EXPECT_EQ (cursorOf (model), juce::Point<float> (200, 0));
    EXPECT_FALSE (model.isGliding());
}

TEST (CursorGlide, TheGlideTakesTheHostsSampleRateAndItsShape)
{
    Brisquell model;
    model.setSampleClock (48000.0, 48000.0);
    model.setGlideTime (0.5);
    model.setGlideShape (GlideShape::smooth);
    model.setCursorY (1.0f);

    const auto glide = model.getGlide();
    EXPECT_EQ (glide.length, 24000.0);
    EXPECT_EQ (glide.startTime, 48000.0);
    EXPECT_EQ (glide.shape, GlideShape::smooth);

    model.advanceGlideTo (48000.0 + 6000.0);
    EXPECT_EQ (cursorOf (model), juce::Point<float> (0, 31.25f));
}

TEST (CursorGlide, ADirectMoveEndsTheGlideAndBecomesTheTarget)
{
    Brisquell model;
    startClock (model, 1.0);
    model.setCursorX (1.0f);
    model.advanceGlideTo (100.0);

    model.getCursor().setPosition (30.0f, 40.0f);
    EXPECT_FALSE (model.isGliding());
    EXPECT_EQ (model.getCursorTarget(), juce::Point<float> (30, 40));
    EXPECT_EQ (model.getCursorX(), 0.15f);

    model.advanceGlideTo (5000.0);
    EXPECT_EQ (cursorOf (model), juce::Point<float> (30, 40)) << "nothing runs any more";
}

TEST (CursorGlide, ATargetWhereTheCursorRestsStartsNothingAndZeroAfterwardsJumps)
{
    Brisquell model;
    startClock (model, 1.0);
    model.setCursorX (0.0f);
    EXPECT_FALSE (model.isGliding());

    model.setCursorX (0.5f);
    model.advanceGlideTo (500.0);
    ASSERT_EQ (cursorOf (model), juce::Point<float> (50, 0));

    // Switched off mid-glide: the next target is jumped to and ends the glide.
    model.setGlideTime (0.0);
    model.setCursorY (1.0f);
    EXPECT_FALSE (model.isGliding());
    EXPECT_EQ (cursorOf (model), juce::Point<float> (100, 200));
}

TEST (CursorGlide, GlideTimesAreLimitedToZeroToSixtySeconds)
{
    Brisquell model;
    const auto infinity = std::numeric_limits<double>::infinity();

    for (auto [given, kept] : { std::pair{ -1.0, 0.0 }, { 0.25, 0.25 }, { 60.0, 60.0 }, { 61.0, 60.0 }, { 1.0e300, 60.0 }, { infinity, 60.0 }, { -infinity, 0.0 }, { std::nan (""), 0.0 } })
    {
        model.setGlideTime (given);
        EXPECT_EQ (model.getGlideTime(), kept) << given;
    }
}

TEST (CursorGlide, ClockTimesAndRatesThatAreNoNumbersAreIgnored)
{
    Brisquell model;
    model.setSampleClock (100.0, 1000.0);
    model.setSampleClock (std::nan (""), -5.0);
    model.setSampleClock (std::numeric_limits<double>::infinity(), 0.0);
    model.setGlideTime (1.0);
    model.setCursorX (1.0f);

    EXPECT_EQ (model.getSampleTime(), 100.0);
    EXPECT_EQ (model.getGlide().length, 1000.0);
}

TEST (CursorGlide, RestoringADocumentEndsTheGlideWhereTheCursorIs)
{
    Brisquell model;
    startClock (model, 1.0);
    model.setCursorX (1.0f);
    model.advanceGlideTo (250.0);

    model.restoreStateXml (juce::parseXML ("<brisquell><controllers/><scenes/></brisquell>"));

    EXPECT_FALSE (model.isGliding());
    EXPECT_EQ (cursorOf (model), juce::Point<float> (50, 0));
    EXPECT_EQ (model.getCursorTarget(), juce::Point<float> (50, 0));
    EXPECT_EQ (model.getGlideTime(), 0.0) << "a document without glide settings has the glide off";
}

TEST (CursorGlide, ARestoredSessionPutsCursorAndTargetWhereTheProjectLeftThem)
{
    Brisquell model;
    startClock (model, 1.0);
    model.setCursorX (1.0f);
    ASSERT_TRUE (model.isGliding());

    // Regression: the target was taken before the session moved the cursor, so the parameters
    // answered the old target and the next block glided there.
    auto document = juce::parseXML ("<brisquell><scenes><scene x=\"0\" y=\"0\"/></scenes>"
                                    "<cursorcontrol glide=\"1\" shape=\"linear\"/><session cursorx=\"40\" cursory=\"20\"/></brisquell>");
    ASSERT_NE (document, nullptr);
    model.restoreStateXml (std::move (document));

    EXPECT_FALSE (model.isGliding());
    EXPECT_EQ (cursorOf (model), juce::Point<float> (40, 20));
    EXPECT_EQ (model.getCursorTarget(), juce::Point<float> (40, 20));
    EXPECT_EQ (model.getCursorX(), 0.2f);
    EXPECT_EQ (model.getCursorY(), 0.1f);
}
