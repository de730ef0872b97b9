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

    A glide that starts from rest follows its shape alone. One that takes over from a glide on
    its way (see retarget) also carries the motion it inherited, as a bend: the term
    bend * u (1 - u)^2, which is 0 at both ends, leaves the velocity continuous at the start and
    still arrives at the target at the end.
*/
struct Glide final
{
    juce::Point<float> start, target;
    double startTime = 0.0; // sample time at which it left `start`
    double length = 0.0;    // in samples, above 0 while it runs
    GlideShape shape = GlideShape::linear;
    bool isRunning = false;
    juce::Point<double> bend; // in model units; 0 for a glide from rest

    /** A glide from `from` at rest to the target over `length` samples, from the sample time. */
    static Glide fromRest (juce::Point<float> from, juce::Point<float> target, double startTime, double length, GlideShape shape) noexcept;

    /** The glide that takes over from this running one at the sample time, towards a new target
        over `length` samples: it starts where this one is then, with the velocity it has then,
        and arrives at the new target `length` samples later. The smooth shape arrives at rest;
        the linear shape arrives at the even pace of the straight way there (from rest the two
        are exactly fromRest's).
    */
    Glide retarget (double sampleTime, juce::Point<float> newTarget, double newLength, GlideShape newShape) const noexcept;

    /** The same glide on a sample clock that now runs `ratio` times as fast, from the sample
        time on: the share of the way covered stays, and what remains takes as long in seconds
        (the whole glide never less than a sample).
    */
    void rescale (double sampleTime, double ratio) noexcept;

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

    /** The velocity at the sample time, in model units per sample: 0 whenever it is not
        running, before its start and from its end on.
    */
    juce::Point<double> getVelocityAt (double sampleTime) const noexcept;

    /** The eased share of the way for a share of the time (both 0..1): u itself, or for the
        smooth shape 3u^2 - 2u^3, which starts and ends at rest.
    */
    static double ease (double u, GlideShape shape) noexcept;

    /** The derivative of ease over u. */
    static double easeSlope (double u, GlideShape shape) noexcept;
};

} // namespace brisquell
