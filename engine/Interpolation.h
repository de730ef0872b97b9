// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Records.h"

#include <memory>
#include <vector>

namespace brisquell
{

//==============================================================================
/** Every controller's interpolated value, worked out for all controllers at once from the
    scenes' weights: the sum over the controller's scene values of weight x value, in float, in
    the order the controller holds its values, rounded half to even (see Controller::getValue).

    The values are laid out for that loop: sixteen controllers side by side, scene after
    scene, so that one pass over the scenes sums sixteen controllers at a time with every
    scene's weight read once. A controller whose values lie in the scenes' order (one per scene at most, the
    usual case) takes its lane there; a scene it holds no value in counts as 0, which adds
    nothing to the sum (weights are never negative, and a float sum that starts at +0 never
    becomes -0), so the sum is the one its own loop gives, bit for bit. Any other controller
    (values stored out of the scenes' order, or a restored duplicate) is summed by its own loop.

    The layout follows the lists: it is laid out again when the controllers or the scenes
    changed, and a controller's lane is filled again when its values changed (every change of a
    controller's values or links marks the controller stale, see Controller::markChanged).
    Values are worked out again for all controllers when the weights changed (a cursor move),
    otherwise only for the stale ones. Lock held; allocates only when the lists grew.
*/
class Interpolation final
{
public:
    using Controllers = std::vector<std::unique_ptr<Controller>>;
    using Scenes = std::vector<std::unique_ptr<Scene>>;

    /** The scenes' weights are worked out again before they are next read (the cursor, a
        scene, the scene list or the sharpness changed). Lock held.
    */
    void invalidateWeights() noexcept { weightsStale = true; }

    /** Works the scenes' distances from the cursor and their weights out, when invalidated, into
        the scenes' caches (see Brisquell::getSharpness for the mix). Lock held.
    */
    void ensureWeights (const Scenes& scenes, juce::Point<float> cursor, int sharpness);

    /** A count that changes whenever the weights were worked out again. Lock held. */
    juce::uint64 getWeightsGeneration() const noexcept { return weightsGeneration; }

    /** The sum of the scenes' distances and of their raw weights, as last worked out. */
    double getDistanceSum() const noexcept { return distanceSum; }
    double getWeightSum() const noexcept { return weightSum; }

    /** Brings every listed controller's value up to date for the scenes' current weights (the
        caller has brought the weights up to date). Lock held.
    */
    void updateValues (const Controllers& controllers, const Scenes& scenes);

    /** Makes room for the layout of lists of that size, so that laying them out later (on the
        audio thread) allocates nothing. Called by whoever changes the lists; lock held.
    */
    void reserveFor (size_t numControllers, size_t numScenes);

private:
    // Sixteen controllers side by side: four independent sums of four, which keeps the
    // processor's adders busy where one chain of sums would wait on each addition.
    using Quad = float __attribute__ ((vector_size (4 * sizeof (float))));
    static constexpr size_t quadsPerBlock = 4, lanesPerBlock = 4 * quadsPerBlock;

    struct Lanes
    {
        Quad quads[quadsPerBlock];

        // A lane is set through its quad: clang binds no reference to a vector's element.
        void set (size_t lane, float value) noexcept { quads[lane / 4][lane % 4] = value; }
        float operator[] (size_t lane) const noexcept { return quads[lane / 4][lane % 4]; }
    };

    size_t updateDistances (const Scenes& scenes, juce::Point<float> cursor); // answers how many lie at it
    void updateRawWeights (const Scenes& scenes, size_t numAtCursor, int sharpness);
    bool isLaidOutFor (const Controllers& controllers, const Scenes& scenes) const noexcept;
    void layOut (const Controllers& controllers, const Scenes& scenes);
    void fillLane (Controller& controller, size_t index);
    void takeWeights (const Scenes& scenes);
    void computeBlock (const Controllers& controllers, size_t block, juce::uint64 generation);
    void computeOne (Controller& controller, size_t index, juce::uint64 generation);

    std::vector<Lanes> matrix; // block b, scene k at b * numScenes + k
    std::vector<float> weights;
    std::vector<const Controller*> laidControllers;
    std::vector<const Scene*> laidScenes;
    std::vector<bool> inLane;
    bool weightsStale = true;
    double distanceSum = 0.0, weightSum = 0.0;
    juce::uint64 weightsGeneration = 1;
    juce::uint64 computedGeneration = 0;
    bool isLaidOut = false;
};

} // namespace brisquell
