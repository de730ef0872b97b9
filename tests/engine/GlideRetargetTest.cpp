// SPDX-License-Identifier: GPL-3.0-or-later
// Glides that follow a hand: resent targets, retargets, a moving control, a sample-rate change,
// all at known sample times on a clock of 1000 samples a second. (The cursor's resolution is
// proven through the built binary, tests/host/CursorResolutionTest.cpp.)
#include "EngineTestHelpers.h"

#include <cmath>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
constexpr double rate = 1000.0;

void at (Brisquell& model, double time)
{
    model.setSampleClock (time, rate);
}

void send (Brisquell& model, std::initializer_list<juce::uint8> bytes, double time)
{
    const std::vector<juce::uint8> data (bytes);
    model.handleIncomingMidi (data.data(), (int) data.size(), time);
}

void pitchBend (Brisquell& model, int value, double time)
{
    send (model, { 0xe0, (juce::uint8) (value & 0x7f), (juce::uint8) (value >> 7) }, time);
}

const char* nameOf (GlideShape shape)
{
    return shape == GlideShape::smooth ? "smooth" : "linear";
}
} // namespace

//==============================================================================
TEST (GlideRetarget, TheSameTargetAgainRestartsNothingWhicheverWayItComes)
{
    for (const auto shape : { GlideShape::linear, GlideShape::smooth })
    {
        Brisquell model;
        at (model, 0.0);
        model.setGlideTime (1.0);
        model.setGlideShape (shape);
        model.setCursorSource (0, { CursorSource::Kind::controlChange, 1, 16 });
        auto scene = std::make_unique<Scene> (model);
        scene->setPosition (100.0f, 0.0f);
        model.addScene (std::move (scene));
        model.setSceneTrigger (*model.getScene (0), { SceneTrigger::Kind::note, 1, 60 });

        // The trigger at 0, then the same trigger, a parameter and a source that ask for the
        // same place at 300, 500 and 700: the glide started at 0 arrives at 1000.
        send (model, { 0x90, 60, 100 }, 0.0);
        const auto started = model.getGlide();
        send (model, { 0x90, 60, 100 }, 300.0);
        at (model, 500.0);
        model.setCursorX (0.5f);
        model.setCursorY (0.0f);

        send (model, { 0xb0, 16, 127 }, 600.0); // another place: a new target
        send (model, { 0xb0, 16, 127 }, 700.0); // and the same again
        const auto retargeted = model.getGlide();
        EXPECT_EQ (retargeted.startTime, 600.0) << nameOf (shape);

        model.advanceGlideTo (1599.0);
        EXPECT_TRUE (model.isGliding()) << nameOf (shape);
        model.advanceGlideTo (1600.0);
        EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (200.0f, 0.0f)) << nameOf (shape);
        EXPECT_FALSE (model.isGliding());
        EXPECT_EQ (started.startTime, 0.0);
    }
}

TEST (GlideRetarget, ANewTargetContinuesPositionAndVelocityAndArrivesOneGlideTimeLater)
{
    struct Case
    {
        GlideShape shape;
        juce::Point<float> atHalfWay; // of the new glide, 1000 samples after the retarget at 500
    };

    // The first glide goes from (0, 0) to (200, 0) in 1000 samples; at 500 it is at (100, 0)
    // and the target becomes (200, 200). Linear: velocity (0.2, 0) per sample, so the bend is
    // (200, 0) - (100, 200); smooth: velocity (0.3, 0), bend (300, 0). Half way the bend's
    // shape is 1/8.
    for (const auto& c : { Case{ GlideShape::linear, { 162.5f, 75.0f } }, Case{ GlideShape::smooth, { 187.5f, 100.0f } } })
    {
        Brisquell model;
        at (model, 0.0);
        model.setGlideTime (1.0);
        model.setGlideShape (c.shape);
        model.setCursorX (1.0f);
        const auto first = model.getGlide();

        at (model, 500.0);
        model.setCursorY (1.0f);
        const auto second = model.getGlide();

        EXPECT_EQ (second.getPositionAt (500.0), first.getPositionAt (500.0)) << nameOf (c.shape);
        const auto v0 = first.getVelocityAt (500.0), v1 = second.getVelocityAt (500.0);
        EXPECT_NEAR (v1.x, v0.x, 1.0e-12) << nameOf (c.shape);
        EXPECT_NEAR (v1.y, v0.y, 1.0e-12) << nameOf (c.shape);

        // No stop on the way: the speed never drops to nothing before the arrival.
        for (double t = 500.0; t < 1499.0; t += 10.0)
            EXPECT_GT (second.getVelocityAt (t).getDistanceFromOrigin(), 0.0) << nameOf (c.shape) << " at " << t;

        model.advanceGlideTo (1000.0);
        EXPECT_EQ (model.getCursor().getPosition(), c.atHalfWay) << nameOf (c.shape);
        model.advanceGlideTo (1500.0);
        EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (200.0f, 200.0f)) << nameOf (c.shape);
        EXPECT_FALSE (model.isGliding());
    }
}

TEST (GlideRetarget, BehindAMovingControlTheLagStaysWithinOneGlideTimeOfTravelForBothShapes)
{
    // A pitch-bend wheel moves the cursor from 0 to 200 over 2 s, a message every 5 ms; output
    // ticks every 5 ms place the cursor; the glide lasts 0.2 s. The wheel covers 20 units in one
    // glide time and 0.5 in one tick.
    struct Case
    {
        GlideShape shape;
        float measuredLag; // the worst lag seen, to within a tenth
    };

    for (const auto& c : { Case{ GlideShape::linear, 20.0f }, Case{ GlideShape::smooth, 13.6f } })
    {
        Brisquell model;
        at (model, 0.0);
        model.setGlideTime (0.2);
        model.setGlideShape (c.shape);
        model.setCursorSource (0, { CursorSource::Kind::pitchBend, 1, 0 });

        float worstLag = 0.0f, wheel = 0.0f;

        for (int t = 0; t <= 2000; t += 5)
        {
            const auto value = (int) std::lround (16383.0 * t / 2000.0);
            pitchBend (model, value, (double) t);
            wheel = (float) ((double) value / 16383.0 * 200.0);
            model.advanceGlideTo ((double) t);
            worstLag = juce::jmax (worstLag, wheel - model.getCursor().getPosition().x);
        }

        EXPECT_LE (worstLag, 20.0f + 0.5f) << nameOf (c.shape);
        EXPECT_NEAR (worstLag, c.measuredLag, 0.1f) << nameOf (c.shape);
        RecordProperty (std::string ("worstLag_") + nameOf (c.shape), juce::String (worstLag, 3).toStdString());

        // The wheel stopped at 2000 (200 units): the cursor is there one glide time later.
        model.advanceGlideTo (2199.0);
        EXPECT_TRUE (model.isGliding()) << nameOf (c.shape);
        model.advanceGlideTo (2200.0);
        EXPECT_EQ (model.getCursor().getPosition().x, 200.0f) << nameOf (c.shape);
    }
}

TEST (GlideRetarget, ASampleRateChangeMidGlideKeepsTheArrivalTimeInSeconds)
{
    for (const auto shape : { GlideShape::linear, GlideShape::smooth })
    {
        Brisquell model;
        at (model, 0.0);
        model.setGlideTime (1.0);
        model.setGlideShape (shape);
        model.setCursorX (1.0f);
        model.advanceGlideTo (250.0);
        const auto before = model.getCursor().getPosition();

        // A quarter of a second at 1000 Hz, then the host runs at 2000 Hz: the remaining
        // 0.75 s are 1500 samples, so the glide arrives at sample 1750.
        model.setSampleClock (250.0, 1000.0);
        model.setSampleRate (2000.0);
        EXPECT_EQ (model.getGlide().getPositionAt (250.0), before) << nameOf (shape);
        EXPECT_EQ (model.getGlide().getEndTime(), 1750.0) << nameOf (shape);

        model.advanceGlideTo (1749.0);
        EXPECT_TRUE (model.isGliding()) << nameOf (shape);
        model.advanceGlideTo (1750.0);
        EXPECT_EQ (model.getCursor().getPosition().x, 200.0f) << nameOf (shape);

        // The processor's clock says the same when the rate arrives with a block (it holds the
        // lock); a glide started afterwards counts the new rate's samples.
        model.setSampleClock (2000.0, 4000.0);
        model.setCursorX (0.0f);
        EXPECT_EQ (model.getGlide().length, 4000.0) << nameOf (shape);
    }
}
