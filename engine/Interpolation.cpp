// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Interpolation.h"
#include "engine/Rounding.h"

#include <cmath>
#include <limits>

namespace brisquell
{

namespace
{
// x^p for the sharpnesses above 1, multiplied out: exact where pow need not be, and quick.
double raisedToSharpness (double x, int p) noexcept
{
    const auto squared = x * x;
    return p == 2 ? squared : squared * squared;
}
} // namespace

void Interpolation::ensureWeights (const Scenes& scenes, juce::Point<float> cursor, int sharpness)
{
    if (! weightsStale)
        return;

    updateRawWeights (scenes, updateDistances (scenes, cursor), sharpness);
    const auto total = weightSum;

    for (auto& s : scenes)
    {
        s->weight = total > 0.0 ? (double) (float) (s->rawWeight / total) : 0.0;
        s->weightStale = false;
    }

    weightsStale = false;
    ++weightsGeneration;
}

size_t Interpolation::updateDistances (const Scenes& scenes, juce::Point<float> c)
{
    size_t numAtCursor = 0;

    for (auto& s : scenes)
    {
        if (s->distanceStale)
        {
            const auto p = s->getPosition();
            const auto dx = (double) c.x - (double) p.x;
            const auto dy = (double) c.y - (double) p.y;
            s->distance = std::sqrt (dx * dx + dy * dy);
            s->distanceStale = false;
        }

        if (s->distance == 0.0)
            ++numAtCursor;
    }

    double sum = 0.0;

    for (auto& s : scenes)
        sum += s->distance;

    distanceSum = sum;
    return numAtCursor;
}

void Interpolation::updateRawWeights (const Scenes& scenes, size_t numAtCursor, int sharpness)
{
    const auto n = scenes.size();
    const auto sum = distanceSum;

    // At sharpness 1, weight_i is proportional to (D - d_i) / d_i, the same weights as the
    // product form P_i * Q_i / D, without its overflow. A sharper mix takes the same blend over
    // the distances raised to p: weight_i proportional to (S - d_i^p) / d_i^p, S the sum of all
    // d^p. Divided by S and scaled by the nearest distance, that is (nearest / d_i)^p - 1 / E,
    // E the sum of all (d / nearest)^p: ratios of at most 1, so nothing overflows, and E going
    // beyond the double range only leaves out a term too small to count. A single scene takes
    // the whole weight, and scenes that lie exactly at the cursor share it equally.
    auto nearest = std::numeric_limits<double>::max();
    double floor = 0.0;

    if (sharpness != 1 && n > 1 && numAtCursor == 0)
    {
        for (auto& s : scenes)
            nearest = juce::jmin (nearest, s->distance);

        double scaledSum = 0.0;

        for (auto& s : scenes)
            scaledSum += raisedToSharpness (s->distance / nearest, sharpness);

        floor = 1.0 / scaledSum;
    }

    double total = 0.0;

    for (auto& s : scenes)
    {
        if (n == 1)
            s->rawWeight = 1.0;
        else if (numAtCursor > 0)
            s->rawWeight = s->distance == 0.0 ? 1.0 : 0.0;
        else if (sharpness == 1)
            s->rawWeight = (sum - s->distance) / s->distance;
        else
            s->rawWeight = juce::jmax (0.0, raisedToSharpness (nearest / s->distance, sharpness) - floor);

        if (! std::isfinite (s->rawWeight))
            s->rawWeight = 0.0;

        s->rawWeightStale = false;
        total += s->rawWeight;
    }

    weightSum = total;
}

void Interpolation::updateValues (const Controllers& controllers, const Scenes& scenes)
{
    const auto generation = weightsGeneration;

    if (! isLaidOutFor (controllers, scenes))
        layOut (controllers, scenes);

    if (generation != computedGeneration)
    {
        // New weights: every controller's value, a block of them at a time.
        takeWeights (scenes);

        for (size_t i = 0; i < controllers.size(); ++i)
            if (controllers[i]->valueStale)
                fillLane (*controllers[i], i);

        for (size_t block = 0; block * lanesPerBlock < controllers.size(); ++block)
            computeBlock (controllers, block, generation);

        computedGeneration = generation;
        return;
    }

    // The same weights: only the controllers whose values changed.
    for (size_t i = 0; i < controllers.size(); ++i)
    {
        auto& controller = *controllers[i];

        if (controller.valueStale)
        {
            fillLane (controller, i);
            computeOne (controller, i, generation);
        }
    }
}

void Interpolation::reserveFor (size_t numControllers, size_t numScenes)
{
    const auto numBlocks = (numControllers + lanesPerBlock - 1) / lanesPerBlock;

    // Lists that grow one at a time (a scene keyed, a controller learned) reserve in steps.
    const auto grow = [] (auto& list, size_t needed)
    {
        if (needed > list.capacity())
            list.reserve (juce::jmax (needed, list.capacity() * 2));
    };

    grow (matrix, numBlocks * numScenes);
    grow (weights, numScenes);
    grow (laidScenes, numScenes);
    grow (laidControllers, numControllers);
    grow (inLane, numControllers);
}

bool Interpolation::isLaidOutFor (const Controllers& controllers, const Scenes& scenes) const noexcept
{
    if (! isLaidOut || controllers.size() != laidControllers.size() || scenes.size() != laidScenes.size())
        return false;

    for (size_t i = 0; i < controllers.size(); ++i)
        if (controllers[i].get() != laidControllers[i])
            return false;

    for (size_t k = 0; k < scenes.size(); ++k)
        if (scenes[k].get() != laidScenes[k])
            return false;

    return true;
}

void Interpolation::layOut (const Controllers& controllers, const Scenes& scenes)
{
    laidScenes.resize (scenes.size());
    laidControllers.resize (controllers.size());
    inLane.assign (controllers.size(), false);

    for (size_t k = 0; k < scenes.size(); ++k)
    {
        laidScenes[k] = scenes[k].get();
        scenes[k]->mixSlot = (int) k;
    }

    const auto numBlocks = (controllers.size() + lanesPerBlock - 1) / lanesPerBlock;
    matrix.assign (numBlocks * scenes.size(), Lanes{});
    weights.resize (scenes.size());

    for (size_t i = 0; i < controllers.size(); ++i)
    {
        laidControllers[i] = controllers[i].get();
        fillLane (*controllers[i], i);
    }

    // Every value is worked out again.
    computedGeneration = 0;
    isLaidOut = true;
}

void Interpolation::fillLane (Controller& controller, size_t index)
{
    const auto numScenes = laidScenes.size();
    auto* column = matrix.data() + (index / lanesPerBlock) * numScenes;
    const auto lane = (int) (index % lanesPerBlock);

    for (size_t k = 0; k < numScenes; ++k)
        column[k].set (lane, 0.0f);

    // The lane holds the controller's values only when they lie in the scenes' order, so that
    // the lane's sum takes them in the order the controller's own loop does.
    int lastSlot = -1;
    bool isInOrder = true;

    for (const auto* v : controller.values)
    {
        const auto slot = v->getScene().mixSlot;

        if (v->first != v || slot <= lastSlot || slot >= (int) numScenes || laidScenes[(size_t) slot] != &v->getScene())
        {
            isInOrder = false;
            break;
        }

        column[slot].set (lane, (float) v->getValue());
        lastSlot = slot;
    }

    inLane[index] = isInOrder;
}

void Interpolation::takeWeights (const Scenes& scenes)
{
    // Each weight is a float kept in a double (see ensureWeights): exact as a float.
    for (size_t k = 0; k < scenes.size(); ++k)
        weights[k] = (float) scenes[k]->weight;
}

void Interpolation::computeBlock (const Controllers& controllers, size_t block, juce::uint64 generation)
{
    const auto numScenes = weights.size();
    const auto* column = matrix.data() + block * numScenes;
    Quad sum0{}, sum1{}, sum2{}, sum3{};

    // One product and one sum per value, each rounded to float, as the controller's own loop.
    for (size_t k = 0; k < numScenes; ++k)
    {
        const auto weight = weights[k];
        const auto& quads = column[k].quads;
        const Quad product0 = weight * quads[0], product1 = weight * quads[1];
        const Quad product2 = weight * quads[2], product3 = weight * quads[3];
        sum0 += product0;
        sum1 += product1;
        sum2 += product2;
        sum3 += product3;
    }

    const Lanes sum{ { sum0, sum1, sum2, sum3 } };

    const auto first = block * lanesPerBlock;

    for (size_t j = 0; j < lanesPerBlock && first + j < controllers.size(); ++j)
    {
        auto& controller = *controllers[first + j];

        if (inLane[first + j])
        {
            controller.cachedValue = roundHalfEven (sum[j]);
            controller.valueStale = false;
            controller.cachedGeneration = generation;
        }
        else
        {
            controller.computeValue();
        }
    }
}

void Interpolation::computeOne (Controller& controller, size_t index, juce::uint64 generation)
{
    if (! inLane[index])
    {
        controller.computeValue();
        return;
    }

    const auto numScenes = weights.size();
    const auto* column = matrix.data() + (index / lanesPerBlock) * numScenes;
    const auto lane = index % lanesPerBlock;
    float sum = 0.0f;

    for (size_t k = 0; k < numScenes; ++k)
    {
        const auto product = weights[k] * column[k][lane];
        sum += product;
    }

    controller.cachedValue = roundHalfEven (sum);
    controller.valueStale = false;
    controller.cachedGeneration = generation;
}

} // namespace brisquell
