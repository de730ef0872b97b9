// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestHelpers.h"

#include <cmath>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
// The cursor at (0, 0) and scenes at distances 1, 2 and 3, holding 0, 64 and 127 for one
// controller.
struct ThreeScenes
{
    Brisquell model;
    Controller* controller = nullptr;

    ThreeScenes()
    {
        controller = model.addController (7, 1);
        const std::pair<juce::Point<float>, int> scenes[] = { { { 1, 0 }, 0 }, { { 0, 2 }, 64 }, { { 3, 0 }, 127 } };

        for (const auto& [position, value] : scenes)
            controller->setValueInScene (value, *addSceneAt (model, position.x, position.y));

        model.setSelectedScenes ({});
        tick (model);
    }

    std::vector<float> weights() const
    {
        return { model.getScene (0)->getWeight(), model.getScene (1)->getWeight(), model.getScene (2)->getWeight() };
    }
};

// The original blend, (D - d_i) / d_i, over the distances 1, 2 and 3 raised to p.
std::vector<float> blendOfPoweredDistances (int p)
{
    const double d[] = { 1.0, std::pow (2.0, p), std::pow (3.0, p) };
    const auto sum = d[0] + d[1] + d[2];
    const double raw[] = { (sum - d[0]) / d[0], (sum - d[1]) / d[1], (sum - d[2]) / d[2] };
    const auto total = raw[0] + raw[1] + raw[2];
    return { (float) (raw[0] / total), (float) (raw[1] / total), (float) (raw[2] / total) };
}
} // namespace

TEST (Sharpness, OneKeepsTheOriginalBlendBitForBit)
{
    ThreeScenes s;
    EXPECT_EQ (s.model.getSharpness(), 1);
    EXPECT_EQ (s.weights(), (std::vector<float>{ 0.625f, 0.25f, 0.125f }));
    EXPECT_EQ (s.controller->getValue(), 32); // 31.875

    // Through a sharper mix and back: the very same floats again.
    s.model.setSharpness (4);
    s.model.setSharpness (1);
    EXPECT_EQ (s.weights(), (std::vector<float>{ 0.625f, 0.25f, 0.125f }));
    EXPECT_EQ (s.controller->getValue(), 32);
}

TEST (Sharpness, TwoAndFourTakeTheBlendOverThePoweredDistances)
{
    ThreeScenes s;

    s.model.setSharpness (2);
    EXPECT_EQ (s.model.getSharpness(), 2);
    const auto squared = blendOfPoweredDistances (2);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_FLOAT_EQ (s.weights()[i], squared[i]) << i;
    EXPECT_FLOAT_EQ (s.weights()[0], 13.0f / (13.0f + 2.5f + 5.0f / 9.0f));
    EXPECT_EQ (s.controller->getValue(), 14); // 64 x 0.1557 + 127 x 0.0346 = 14.36

    s.model.setSharpness (4);
    const auto fourth = blendOfPoweredDistances (4);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_FLOAT_EQ (s.weights()[i], fourth[i]) << i;
    EXPECT_EQ (s.controller->getValue(), 3); // 64 x 0.0501 + 127 x 0.0021 = 3.47

    // Two scenes at 10 and 30: the original blend goes as 1 / d^2 (30^2 / (10^2 + 30^2)),
    // each sharper mix holds the nearer scene's sound longer: 1 / d^4, then 1 / d^8.
    Brisquell model;
    addSceneAt (model, 10, 0);
    addSceneAt (model, -30, 0);
    EXPECT_FLOAT_EQ (model.getScene (0)->getWeight(), 0.9f);
    model.setSharpness (2);
    EXPECT_FLOAT_EQ (model.getScene (0)->getWeight(), 81.0f / 82.0f);
    model.setSharpness (4);
    EXPECT_FLOAT_EQ (model.getScene (0)->getWeight(), 6561.0f / 6562.0f);
}

TEST (Sharpness, TheCursorOnScenesOrASingleSceneWeighsAsAlways)
{
    for (int p : { 1, 2, 4 })
    {
        ThreeScenes s;
        s.model.setSharpness (p);

        s.model.getCursor().setPosition (0, 2);
        EXPECT_EQ (s.weights(), (std::vector<float>{ 0.0f, 1.0f, 0.0f })) << p;
        EXPECT_EQ (s.controller->getValue(), 64) << p;

        s.model.getScene (0)->setPosition (0, 2);
        EXPECT_EQ (s.weights(), (std::vector<float>{ 0.5f, 0.5f, 0.0f })) << p;

        Brisquell single;
        single.setSharpness (p);
        addSceneAt (single, 40, 40);
        EXPECT_EQ (single.getScene (0)->getWeight(), 1.0f) << p;
    }

    // Distances whose fourth powers, or their ratios, leave the double range still weigh as the
    // ratios say: 2^8 to 1, and a near scene next to one that no longer counts at all.
    Brisquell far;
    far.setSharpness (4);
    addSceneAt (far, 1.0e38f, 0);
    addSceneAt (far, -2.0e38f, 0);
    EXPECT_FLOAT_EQ (far.getScene (0)->getWeight(), 256.0f / 257.0f);

    far.getScene (0)->setPosition (100.0f, 0.0f);
    far.getCursor().setPosition (100.0f, 1.0e-40f);
    EXPECT_EQ (far.getScene (0)->getWeight(), 1.0f);
    EXPECT_EQ (far.getScene (1)->getWeight(), 0.0f);
}

TEST (Sharpness, AChangeSendsEveryControllerAsACursorMoveDoesAndOtherValuesMeanOne)
{
    ThreeScenes s;
    s.model.addController (8, 1);
    tick (s.model);

    s.model.setSharpness (2);
    EXPECT_EQ (tick (s.model).size(), 2u);

    s.model.setSharpness (2);
    EXPECT_FALSE (s.model.needsOutput()) << "no change, nothing to send";

    for (int other : { 0, 3, -4, 5, 1000 })
    {
        s.model.setSharpness (other);
        EXPECT_EQ (s.model.getSharpness(), 1) << other;
        s.model.setSharpness (4);
    }

    // With audit on and a scene selected, what is heard does not change: nothing is sent.
    tick (s.model);
    s.model.setAudit (true);
    s.model.setSelectedScenes ({ s.model.getScene (1) });
    tick (s.model);
    s.model.setSharpness (2);
    EXPECT_FALSE (s.model.needsOutput());
}
