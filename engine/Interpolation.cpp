// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Interpolation.h"
#include "engine/Rounding.h"

namespace brisquell
{

void Interpolation::updateValues (const Controllers& controllers, const Scenes& scenes, juce::uint64 generation)
{
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
        column[k][lane] = 0.0f;

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

        column[slot][lane] = (float) v->getValue();
        lastSlot = slot;
    }

    inLane[index] = isInOrder;
}

void Interpolation::takeWeights (const Scenes& scenes)
{
    // Each weight is a float kept in a double (see Brisquell::ensureWeights): exact as a float.
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
