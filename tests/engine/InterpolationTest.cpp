// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestHelpers.h"

#include <cmath>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
// The weights in the product form raw_i = P_i * Q_i / D, in long double, where the products of
// 40 distances neither overflow nor underflow: an independent check of the engine's form.
std::vector<long double> productFormWeights (Brisquell& model)
{
    const auto c = model.getCursor().getPosition();
    std::vector<long double> d;

    for (int i = 0; i < model.getNumScenes(); ++i)
    {
        const auto p = model.getScene (i)->getPosition();
        d.push_back (std::hypot ((long double) c.x - p.x, (long double) c.y - p.y));
    }

    long double total = 0, distanceSum = 0;
    std::vector<long double> raw (d.size());

    for (auto di : d)
        distanceSum += di;

    for (size_t i = 0; i < d.size(); ++i)
    {
        long double product = 1, others = 0;

        for (size_t j = 0; j < d.size(); ++j)
            if (j != i)
            {
                product *= d[j];
                others += d[j];
            }

        raw[i] = product * (others / distanceSum);
        total += raw[i];
    }

    for (auto& r : raw)
        r /= total;

    return raw;
}

// The controller's value before rounding, from the product-form weights.
long double exactValue (Brisquell& model, const Controller& controller)
{
    const auto weights = productFormWeights (model);
    long double sum = 0;

    for (int i = 0; i < model.getNumScenes(); ++i)
        if (const auto v = model.getScene (i)->getValueFor (controller); v >= 0)
            sum += weights[(size_t) i] * v;

    return sum;
}

void expectFollowsFormula (Brisquell& model, const Controller& controller)
{
    const auto weights = productFormWeights (model);

    for (int i = 0; i < model.getNumScenes(); ++i)
        EXPECT_NEAR (model.getScene (i)->getWeight(), (double) weights[(size_t) i], 1e-6) << "scene " << i;

    EXPECT_NEAR ((double) controller.getValue(), (double) exactValue (model, controller), 0.5001);
}
} // namespace

TEST (Interpolation, ThreeScenesWeighByInverseDistance)
{
    Brisquell model;
    auto* a = addSceneAt (model, 1, 0);
    auto* b = addSceneAt (model, 0, 2);
    auto* c = addSceneAt (model, 3, 0);
    auto* controller = model.addController (1, 1);
    controller->setValueInScene (0, *a);
    controller->setValueInScene (64, *b);
    controller->setValueInScene (127, *c);

    EXPECT_FLOAT_EQ (a->getRawWeight(), 5.0f);
    EXPECT_FLOAT_EQ (b->getRawWeight(), 2.0f);
    EXPECT_FLOAT_EQ (c->getRawWeight(), 1.0f);
    EXPECT_FLOAT_EQ (model.getWeightSum(), 8.0f);
    EXPECT_FLOAT_EQ (a->getWeight(), 0.625f);
    EXPECT_FLOAT_EQ (b->getWeight(), 0.25f);
    EXPECT_FLOAT_EQ (c->getWeight(), 0.125f);
    EXPECT_FLOAT_EQ (model.getDistanceSum(), 6.0f);
    EXPECT_EQ (controller->getValue(), 32); // 31.875
}

TEST (Interpolation, EquidistantScenesAverageWithHalvesToEvenAndMissingValuesPullToZero)
{
    Brisquell model;
    auto* left = addSceneAt (model, -10, 0);
    auto* right = addSceneAt (model, 10, 0);
    auto* halfUp = model.addController (1, 1);
    auto* halfDown = model.addController (2, 1);
    auto* oneSided = model.addController (3, 1);
    auto* empty = model.addController (4, 1);

    halfUp->setValueInScene (0, *left);
    halfUp->setValueInScene (127, *right); // 63.5
    halfDown->setValueInScene (0, *left);
    halfDown->setValueInScene (129, *right); // 64.5: values are not clamped
    oneSided->setValueInScene (100, *left);

    EXPECT_EQ (halfUp->getValue(), 64);
    EXPECT_EQ (halfDown->getValue(), 64);
    EXPECT_EQ (oneSided->getValue(), 50);
    EXPECT_EQ (empty->getValue(), 0);
}

TEST (Interpolation, CursorOnOneOfSeveralScenesGivesThatScenesValues)
{
    Brisquell model;
    addSceneAt (model, 0, 50);
    auto* on = addSceneAt (model, 30, 40);
    auto* far = addSceneAt (model, 200, 0);
    auto* held = model.addController (1, 1);
    auto* notHeld = model.addController (2, 1);
    held->setValueInScene (77, *on);
    held->setValueInScene (5, *far);
    notHeld->setValueInScene (120, *far);

    model.getCursor().setPosition (30, 40);

    EXPECT_FLOAT_EQ (on->getWeight(), 1.0f);
    EXPECT_EQ (held->getValue(), 77);
    EXPECT_EQ (notHeld->getValue(), 0);
}

TEST (Interpolation, RegressionDegenerateWeightsOfASingleScene)
{
    for (const auto cursorOnScene : { false, true })
    {
        Brisquell model;
        auto* only = addSceneAt (model, 40, 40);
        auto* held = model.addController (1, 1);
        auto* notHeld = model.addController (2, 1);
        held->setValueInScene (90, *only);
        model.getCursor().setPosition (cursorOnScene ? 40.0f : 0.0f, 0);

        EXPECT_FLOAT_EQ (only->getWeight(), 1.0f);
        EXPECT_EQ (held->getValue(), 90);
        EXPECT_EQ (notHeld->getValue(), 0);
    }
}

TEST (Interpolation, RegressionDegenerateWeightsWithTheCursorOnSeveralScenes)
{
    Brisquell model;
    auto* a = addSceneAt (model, 20, 20);
    auto* b = addSceneAt (model, 20, 20);
    auto* c = addSceneAt (model, 90, 0);
    auto* controller = model.addController (1, 1);
    controller->setValueInScene (10, *a);
    controller->setValueInScene (21, *b);
    controller->setValueInScene (127, *c);

    model.getCursor().setPosition (20, 20);

    EXPECT_FLOAT_EQ (a->getWeight(), 0.5f);
    EXPECT_FLOAT_EQ (b->getWeight(), 0.5f);
    EXPECT_FLOAT_EQ (c->getWeight(), 0.0f);
    EXPECT_EQ (controller->getValue(), 16); // 15.5 to even

    // Every scene at the cursor: all share, D is 0.
    c->setPosition (20, 20);
    EXPECT_NEAR (controller->getValue(), (10 + 21 + 127) / 3.0, 0.5);
}

TEST (Interpolation, RegressionDistanceProductsOverflowAndUnderflow)
{
    // 40 scenes hundreds of units away: the float products overflow. 30 scenes a thousandth of a
    // unit away: they underflow. Either way the weights must still follow the formula.
    for (const auto spread : { 300.0f, 0.001f })
    {
        Brisquell model;
        model.getCursor().setPosition (1000, 1000);
        auto* controller = model.addController (1, 1);
        const auto numScenes = spread > 1.0f ? 40 : 30;

        for (int i = 0; i < numScenes; ++i)
        {
            const auto angle = (float) i * 0.7f;
            auto* s = addSceneAt (model, 1000 + spread * (1.0f + (float) (i % 7)) * std::cos (angle), 1000 + spread * (1.0f + (float) (i % 5)) * std::sin (angle));
            controller->setValueInScene ((i * 37) % 128, *s);
        }

        float total = 0;

        for (int i = 0; i < numScenes; ++i)
            total += model.getScene (i)->getWeight();

        EXPECT_NEAR (total, 1.0f, 1e-5f) << "spread " << spread;
        expectFollowsFormula (model, *controller);
    }
}

TEST (Interpolation, ValuesFollowTheFormulaAfterMovesAndDeletesWithAuditOn)
{
    Brisquell model;
    auto* controller = model.addController (1, 1);
    std::vector<Scene*> scenes;

    for (int i = 0; i < 5; ++i)
    {
        scenes.push_back (addSceneAt (model, (float) (i * 60), (float) ((i * 45) % 100)));
        controller->setValueInScene (20 + i * 25, *scenes.back());
    }

    model.setAudit (true);
    model.setSelectedScenes ({ scenes[1] });
    expectFollowsFormula (model, *controller);

    model.setCursorX (0.9f);
    expectFollowsFormula (model, *controller);

    scenes[3]->setPosition (10, 190);
    expectFollowsFormula (model, *controller);

    model.deleteScene (scenes[0]);
    expectFollowsFormula (model, *controller);

    model.deleteScene (scenes[1]); // the selected one
    model.setCursorY (0.3f);
    expectFollowsFormula (model, *controller);
}

TEST (Interpolation, HostileNumbersGiveDefinedValues)
{
    Brisquell model;
    auto* a = addSceneAt (model, -10, 0);
    auto* b = addSceneAt (model, 10, 0);
    auto* controller = model.addController (1, 1);
    controller->setValueInScene (std::numeric_limits<int>::max(), *a);
    controller->setValueInScene (std::numeric_limits<int>::max(), *b);
    EXPECT_EQ (controller->getValue(), std::numeric_limits<int>::max()); // the float sum rounds above

    controller->setValueInScene (std::numeric_limits<int>::min(), *b);
    EXPECT_EQ (controller->getValue(), 0);

    // Non-finite positions are refused and cannot poison the weights.
    b->setPosition (std::numeric_limits<float>::quiet_NaN(), 0);
    model.getCursor().setPosition (std::numeric_limits<float>::infinity(), 0);
    EXPECT_EQ (b->getPosition(), juce::Point<float> (10, 0));
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (0, 0));
    EXPECT_FLOAT_EQ (a->getWeight(), 0.5f);

    // Extreme but finite positions still give weights that sum to one.
    b->setPosition (std::numeric_limits<float>::max(), -std::numeric_limits<float>::max());
    EXPECT_FLOAT_EQ (a->getWeight() + b->getWeight(), 1.0f);
    EXPECT_EQ (b->getDistance(), std::numeric_limits<float>::infinity()); // beyond the float range
    EXPECT_FALSE (std::isnan (model.getWeightSum()));
}

TEST (Interpolation, EveryControllerSumsItsValuesInItsOwnOrderBitForBit)
{
    // Controllers whose values lie in the scenes' order, ones whose values were stored out of
    // it, and ones that miss scenes: each value must be the float sum over the controller's
    // values, in its order, that the interpolation has always taken.
    Brisquell model;
    model.setAutoKey (false);
    juce::Random random (24);

    for (int i = 0; i < 37; ++i)
    {
        auto scene = std::make_unique<Scene> (model);
        scene->setPosition (random.nextFloat() * 200.0f, random.nextFloat() * 200.0f);
        model.addScene (std::move (scene));
    }

    for (int c = 0; c < 45; ++c)
    {
        auto* controller = model.addController (c, 1);

        for (int i = 0; i < model.getNumScenes(); ++i)
        {
            const auto s = c % 3 == 1 ? model.getNumScenes() - 1 - i : i; // every third backwards
            if (c % 3 != 2 || random.nextBool())                          // and every third sparse
                controller->setValueInScene (random.nextInt (128), *model.getScene (s));
        }
    }

    const auto expected = [] (const Controller& controller)
    {
        float sum = 0.0f;

        for (int i = 0; i < controller.getNumSceneValues(); ++i)
        {
            const auto* v = controller.getSceneValue (i);
            sum += v->getScene().getWeight() * (float) v->getValue();
        }

        return (int) std::nearbyint ((double) sum);
    };

    for (const auto position : { juce::Point<float> (3.0f, 190.0f), { 100.0f, 100.0f }, { 47.5f, 12.25f } })
    {
        model.getCursor().setPosition (position.x, position.y);
        juce::MidiBuffer tick;
        model.renderOutput (tick, 0);

        for (int c = 0; c < model.getNumControllers(); ++c)
            ASSERT_EQ (model.getController (c)->getValue(), expected (*model.getController (c))) << "controller " << c;

        // A value changed without a move is summed again too.
        model.getController (7)->getSceneValue (3)->setValue (100);
        EXPECT_EQ (model.getController (7)->getValue(), expected (*model.getController (7)));
    }
}
