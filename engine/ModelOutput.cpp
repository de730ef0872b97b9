// SPDX-License-Identifier: GPL-3.0-or-later
// The model's output at a tick and the interpolation's weights, and what moves them. The rest of
// the model is in Brisquell.cpp.
#include "engine/Brisquell.h"
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

bool Brisquell::needsOutput() const
{
    const juce::ScopedLock sl (lock);
    return needsOutputLocked();
}

int Brisquell::getSamplesPerRefresh (int sampleRate) const noexcept
{
    return juce::jmax (1, sampleRate / juce::jmax (1, refreshRate.load()));
}

void Brisquell::renderOutput (juce::MidiBuffer& buffer, int sampleOffset)
{
    const juce::ScopedLock sl (lock);

    // One walk to the tick's place in the buffer, then every message goes straight there.
    MidiTickWriter writer (buffer, sampleOffset);
    renderOutputLocked (writer);
}

void Brisquell::renderOutputLocked (MidiTickWriter& writer)
{
    if (audit && ! selectedScenes.isEmpty() && (scenesMoved || valuesChanged))
    {
        selectedScenes.getUnchecked (0)->sendValues (writer);
    }
    else
    {
        updateValuesLocked();

        // Controller::takeSendRequest, inlined: the lock is held for the whole tick.
        for (auto i = controllers.size(); i > 0; --i)
        {
            auto& controller = *controllers[i - 1];
            const auto isDue = ! valuesChanged || controller.sendPending || scenesMoved;

            // A tick that sends every controller answers every pending send too.
            controller.sendPending = false;

            if (! isDue)
                continue;

            writeControllerValue (writer, controller.kind, controller.channel, controller.ccNumber, controller.computeValue());
        }
    }

    scenesMoved = false;
    valuesChanged = false;
}

//==============================================================================
void Brisquell::invalidateWeights()
{
    weightsStale = true;
    ++sceneLooksVersion;

    // Every change of the lists comes here or through addController (a restore too): the
    // interpolation's room follows them there, not on the audio thread.
    interpolation.reserveFor (controllers.size(), scenes.size());
}

void Brisquell::ensureWeights() const
{
    if (! weightsStale && ! distanceSumStale)
        return;

    updateRawWeights (updateDistances());
    const auto total = weightSum;

    for (auto& s : scenes)
    {
        s->weight = total > 0.0 ? (double) (float) (s->rawWeight / total) : 0.0;
        s->weightStale = false;
    }

    weightsStale = false;
    ++weightsGeneration;
}

size_t Brisquell::updateDistances() const
{
    const auto c = cursor.getPosition();
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
    distanceSumStale = false;
    return numAtCursor;
}

void Brisquell::updateRawWeights (size_t numAtCursor) const
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

void Brisquell::updateValuesLocked()
{
    ensureWeights();
    interpolation.updateValues (controllers, scenes, weightsGeneration);
}

float Brisquell::getDistanceSum() const
{
    const juce::ScopedLock sl (lock);
    ensureWeights();
    return narrowToFloat (distanceSum);
}

float Brisquell::getWeightSum() const
{
    const juce::ScopedLock sl (lock);
    ensureWeights();
    return narrowToFloat (weightSum);
}

//==============================================================================
void Brisquell::cursorMoved()
{
    {
        const juce::ScopedLock sl (lock);
        distanceSumStale = true;

        if (! (audit && ! selectedScenes.isEmpty()))
            scenesMoved = true;

        for (auto& s : scenes)
            s->distanceStale = s->rawWeightStale = s->weightStale = true;

        invalidateWeights();
    }

    notifyChange (&cursor);
}

void Brisquell::sceneMoved()
{
    const juce::ScopedLock sl (lock);
    distanceSumStale = true;
    invalidateWeights();

    if (! audit)
        scenesMoved = true;
}

void Brisquell::markValuesChanged()
{
    const juce::ScopedLock sl (lock);
    valuesChanged = true;
}
} // namespace brisquell
