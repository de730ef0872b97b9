// SPDX-License-Identifier: GPL-3.0-or-later
// Glides that follow a hand: resent targets, retargets, a moving control, a sample-rate change,
// all at known sample times on a clock of 1000 samples a second, for both shapes. (The cursor's
// resolution is proven through the built binary, tests/host/CursorResolutionTest.cpp.)
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

/** A model on the clock at sample 0, gliding with the shape of the test's parameter. */
class GlideRetarget : public testing::TestWithParam<GlideShape>
{
protected:
    void SetUp() override
    {
        at (model, 0.0);
        model.setGlideShape (GetParam());
    }

    bool isSmooth() const { return GetParam() == GlideShape::smooth; }

    Brisquell model;
};

std::string nameOfShape (const testing::TestParamInfo<GlideShape>& shape)
{
    return shape.param == GlideShape::smooth ? "smooth" : "linear";
}
} // namespace

INSTANTIATE_TEST_SUITE_P (Shapes, GlideRetarget, testing::Values (GlideShape::linear, GlideShape::smooth), nameOfShape);

//==============================================================================
TEST_P (GlideRetarget, TheSameTargetAgainRestartsNothingWhicheverWayItComes)
{
    model.setGlideTime (1.0);
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
    EXPECT_EQ (model.getGlide().startTime, 600.0);

    model.advanceGlideTo (1599.0);
    EXPECT_TRUE (model.isGliding());
    model.advanceGlideTo (1600.0);
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (200.0f, 0.0f));
    EXPECT_FALSE (model.isGliding());
    EXPECT_EQ (started.startTime, 0.0);
}

TEST_P (GlideRetarget, ANewTargetContinuesPositionAndVelocityAndArrivesOneGlideTimeLater)
{
    // The first glide goes from (0, 0) to (200, 0) in 1000 samples; at 500 it is at (100, 0)
    // and the target becomes (200, 200). Linear: velocity (0.2, 0) per sample, so the bend is
    // (200, 0) - (100, 200); smooth: velocity (0.3, 0), bend (300, 0). Half way the bend's
    // shape is 1/8: the new glide's position 1000 samples after the retarget at 500 is this.
    const auto atHalfWay = isSmooth() ? juce::Point<float> (187.5f, 100.0f) : juce::Point<float> (162.5f, 75.0f);

    model.setGlideTime (1.0);
    model.setCursorX (1.0f);
    const auto first = model.getGlide();

    at (model, 500.0);
    model.setCursorY (1.0f);
    const auto second = model.getGlide();

    EXPECT_EQ (second.getPositionAt (500.0), first.getPositionAt (500.0));
    const auto v0 = first.getVelocityAt (500.0), v1 = second.getVelocityAt (500.0);
    EXPECT_NEAR (v1.x, v0.x, 1.0e-12);
    EXPECT_NEAR (v1.y, v0.y, 1.0e-12);

    // No stop on the way: the speed never drops to nothing before the arrival.
    for (double t = 500.0; t < 1499.0; t += 10.0)
        EXPECT_GT (second.getVelocityAt (t).getDistanceFromOrigin(), 0.0) << "at " << t;

    model.advanceGlideTo (1000.0);
    EXPECT_EQ (model.getCursor().getPosition(), atHalfWay);
    model.advanceGlideTo (1500.0);
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (200.0f, 200.0f));
    EXPECT_FALSE (model.isGliding());
}

TEST_P (GlideRetarget, BehindAMovingControlTheLagStaysWithinOneGlideTimeOfTravel)
{
    // A pitch-bend wheel moves the cursor from 0 to 200 over 2 s, a message every 5 ms; output
    // ticks every 5 ms place the cursor; the glide lasts 0.2 s. The wheel covers 20 units in one
    // glide time and 0.5 in one tick. The worst lag seen, to within a tenth:
    const auto measuredLag = isSmooth() ? 13.6f : 20.0f;

    model.setGlideTime (0.2);
    model.setCursorSource (0, { CursorSource::Kind::pitchBend, 1, 0 });
    float worstLag = 0.0f;

    for (int t = 0; t <= 2000; t += 5)
    {
        const auto value = (int) std::lround (16383.0 * t / 2000.0);
        pitchBend (model, value, (double) t);
        const auto wheel = (float) ((double) value / 16383.0 * 200.0);
        model.advanceGlideTo ((double) t);
        worstLag = juce::jmax (worstLag, wheel - model.getCursor().getPosition().x);
    }

    EXPECT_LE (worstLag, 20.0f + 0.5f);
    EXPECT_NEAR (worstLag, measuredLag, 0.1f);
    RecordProperty ("worstLag", juce::String (worstLag, 3).toStdString());

    // The wheel stopped at 2000 (200 units): the cursor is there one glide time later.
    model.advanceGlideTo (2199.0);
    EXPECT_TRUE (model.isGliding());
    model.advanceGlideTo (2200.0);
    EXPECT_EQ (model.getCursor().getPosition().x, 200.0f);
}

TEST_P (GlideRetarget, ASampleRateChangeMidGlideKeepsTheArrivalTimeInSeconds)
{
    model.setGlideTime (1.0);
    model.setCursorX (1.0f);
    model.advanceGlideTo (250.0);
    const auto before = model.getCursor().getPosition();

    // A quarter of a second at 1000 Hz, then the host runs at 2000 Hz: the remaining 0.75 s
    // are 1500 samples, so the glide arrives at sample 1750.
    model.setSampleClock (250.0, 1000.0);
    model.setSampleRate (2000.0);
    EXPECT_EQ (model.getGlide().getPositionAt (250.0), before);
    EXPECT_EQ (model.getGlide().getEndTime(), 1750.0);

    model.advanceGlideTo (1749.0);
    EXPECT_TRUE (model.isGliding());
    model.advanceGlideTo (1750.0);
    EXPECT_EQ (model.getCursor().getPosition().x, 200.0f);

    // The processor's clock says the same when the rate arrives with a block (it holds the
    // lock); a glide started afterwards counts the new rate's samples.
    model.setSampleClock (2000.0, 4000.0);
    model.setCursorX (0.0f);
    EXPECT_EQ (model.getGlide().length, 4000.0);
}
