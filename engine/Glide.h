// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_graphics/juce_graphics.h>

namespace brisquell
{

//==============================================================================
/** How a glide moves between its ends: at an even pace, or easing in and out. */
enum class GlideShape
{
    linear,
    smooth
};

//==============================================================================
/** The cursor's travel from where it was to a new target, on the host's sample clock. Its
    position is a function of the absolute sample time alone, so wherever blocks begin and end,
    the same time gives the same position.
*/
struct Glide final
{
    juce::Point<float> start, target;
    double startTime = 0.0; // sample time at which it left `start`
    double length = 0.0;    // in samples, above 0 while it runs
    GlideShape shape = GlideShape::linear;
    bool isRunning = false;

    /** The sample time at which it reaches the target. */
    double getEndTime() const noexcept { return startTime + length; }

    /** The share of the way covered at the sample time, 0..1: before the start 0, from the end
        on 1.
    */
    double getProgressAt (double sampleTime) const noexcept;

    /** The position at the sample time: the start before it begins, the target (exactly) from
        its end on and whenever it is not running.
    */
    juce::Point<float> getPositionAt (double sampleTime) const noexcept;

    /** The eased share of the way for a share of the time (both 0..1): u itself, or for the
        smooth shape 3u^2 - 2u^3, which starts and ends at rest.
    */
    static double ease (double u, GlideShape shape) noexcept;
};

} // namespace brisquell
