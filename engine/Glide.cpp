// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Glide.h"

namespace brisquell
{

namespace
{
// The bend's shape u (1 - u)^2 and its slope: 0 at both ends, slope 1 at the start and 0 at the
// end, so it adds velocity at the start only.
double bendShape (double u) noexcept
{
    return u * (1.0 - u) * (1.0 - u);
}

double bendSlope (double u) noexcept
{
    return (1.0 - u) * (1.0 - 3.0 * u);
}
} // namespace

Glide Glide::fromRest (juce::Point<float> from, juce::Point<float> to, double time, double samples, GlideShape glideShape) noexcept
{
    return { from, to, time, samples, glideShape, true, {} };
}

Glide Glide::retarget (double sampleTime, juce::Point<float> newTarget, double newLength, GlideShape newShape) const noexcept
{
    const auto from = getPositionAt (sampleTime);
    auto next = fromRest (from, newTarget, sampleTime, newLength, newShape);

    if (! isRunning || sampleTime >= getEndTime())
        return next;

    // What the new glide must add to its own shape's start velocity to keep the velocity it
    // inherits: the smooth shape starts at rest, the linear one at the straight way's pace.
    const auto inherited = getVelocityAt (sampleTime) * newLength;
    next.bend = inherited;

    if (newShape == GlideShape::linear)
        next.bend -= juce::Point<double> ((double) newTarget.x - (double) from.x, (double) newTarget.y - (double) from.y);

    return next;
}

void Glide::rescale (double sampleTime, double ratio) noexcept
{
    if (! isRunning || ! (ratio > 0.0) || ratio == 1.0 || sampleTime >= getEndTime())
        return;

    // Never shorter than a sample, as a glide that starts is.
    const auto u = juce::jmax (0.0, (sampleTime - startTime) / length);
    length = juce::jmax (1.0, length * ratio);
    startTime = sampleTime - u * length;
}

double Glide::getProgressAt (double sampleTime) const noexcept
{
    if (! isRunning || ! (length > 0.0) || sampleTime >= getEndTime())
        return 1.0;

    if (sampleTime <= startTime)
        return 0.0;

    return (sampleTime - startTime) / length;
}

juce::Point<float> Glide::getPositionAt (double sampleTime) const noexcept
{
    const auto u = getProgressAt (sampleTime);

    if (u >= 1.0)
        return target;

    const auto s = ease (u, shape);
    const auto b = bendShape (u);
    return { (float) ((double) start.x + ((double) target.x - (double) start.x) * s + bend.x * b),
             (float) ((double) start.y + ((double) target.y - (double) start.y) * s + bend.y * b) };
}

juce::Point<double> Glide::getVelocityAt (double sampleTime) const noexcept
{
    if (! isRunning || ! (length > 0.0) || sampleTime < startTime || sampleTime >= getEndTime())
        return {};

    const auto u = (sampleTime - startTime) / length;
    const auto s = easeSlope (u, shape);
    const auto b = bendSlope (u);
    return { (((double) target.x - (double) start.x) * s + bend.x * b) / length,
             (((double) target.y - (double) start.y) * s + bend.y * b) / length };
}

double Glide::ease (double u, GlideShape glideShape) noexcept
{
    if (glideShape == GlideShape::smooth)
        return u * u * (3.0 - 2.0 * u);

    return u;
}

double Glide::easeSlope (double u, GlideShape glideShape) noexcept
{
    if (glideShape == GlideShape::smooth)
        return 6.0 * u * (1.0 - u);

    return 1.0;
}

} // namespace brisquell
