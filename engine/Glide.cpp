// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Glide.h"

namespace brisquell
{

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
    return { (float) ((double) start.x + ((double) target.x - (double) start.x) * s),
             (float) ((double) start.y + ((double) target.y - (double) start.y) * s) };
}

double Glide::ease (double u, GlideShape glideShape) noexcept
{
    if (glideShape == GlideShape::smooth)
        return u * u * (3.0 - 2.0 * u);

    return u;
}

} // namespace brisquell
