// SPDX-License-Identifier: GPL-3.0-or-later
// The model's cursor target, glide, MIDI cursor sources, scene triggers and learn requests: what
// lets a controller play the morph. The rest of the model is in Brisquell.cpp.
#include "engine/Brisquell.h"

#include <cmath>

namespace brisquell
{

namespace
{
bool isFinite (juce::Point<float> p) noexcept
{
    return std::isfinite (p.x) && std::isfinite (p.y);
}

} // namespace

//==============================================================================
juce::Point<float> Brisquell::getCursorTarget() const noexcept
{
    return { cursorTargetX.load(), cursorTargetY.load() };
}

juce::Point<float> Brisquell::clampToCursorRange (juce::Point<float> position) noexcept
{
    return { juce::jlimit (0.0f, (float) cursorExtent, position.x), juce::jlimit (0.0f, (float) cursorExtent, position.y) };
}

void Brisquell::storeCursorTarget (juce::Point<float> target) noexcept
{
    // The parameters answer what set the target; an axis that moved some other way answers
    // its position over the range.
    if (cursorTargetX.exchange (target.x) != target.x)
        cursorValueX.store (target.x / (float) cursorExtent);

    if (cursorTargetY.exchange (target.y) != target.y)
        cursorValueY.store (target.y / (float) cursorExtent);
}

void Brisquell::setCursorTarget (juce::Point<float> target)
{
    if (! isFinite (target))
        return;

    target = clampToCursorRange (target);
    const juce::ScopedLock sl (lock);
    const auto length = clock.samplesIn (glideTime);

    // Off (or shorter than a sample): the cursor jumps, as a direct move, which also ends a glide
    // that still runs from an earlier setting.
    if (! (length >= 1.0))
    {
        cursor.setPosition (target.x, target.y);
        return;
    }

    // The target it glides to or rests at already: whichever way it came again, nothing restarts.
    if (target == getCursorTarget() && (glide.isRunning || cursor.getPosition() == target))
        return;

    // From where the cursor is at this moment, with the motion it has: on its way, when a glide
    // runs; at rest otherwise.
    const auto now = clock.getTime();

    if (! glide.isRunning && cursor.getPosition() == target)
    {
        storeCursorTarget (target);
        return;
    }

    glide = glide.isRunning ? glide.retarget (now, target, length, glideShape)
                            : Glide::fromRest (cursor.getPosition(), target, now, length, glideShape);
    storeCursorTarget (target);
    notifyChange (&cursor);
}

std::optional<float> Brisquell::cursorCoordinateFor (float value, int extent) noexcept
{
    const auto scaled = (float) extent * value;

    // NaN or infinity, or a value that gives no finite position, would move the cursor nowhere
    // meaningful; anything else beyond the range goes to its edge.
    if (! std::isfinite (scaled))
        return std::nullopt;

    // A value that misses a whole position only by the float's own rounding (0.3 gives
    // 60.0000038) means that position: a few millionths of a unit, far below any source's step.
    const auto whole = std::round (scaled);
    const auto position = std::abs (scaled - whole) <= juce::jmax (1.0f, std::abs (whole)) * 0x1p-22f ? whole : scaled;
    return juce::jlimit (0.0f, (float) extent, position);
}

void Brisquell::setCursorAxisTarget (int axis, float parameterValue)
{
    const auto range = getCursorRange();

    if (const auto coordinate = cursorCoordinateFor (parameterValue, axis == 0 ? range.x : range.y))
    {
        const juce::ScopedLock sl (lock);
        auto target = getCursorTarget();
        (axis == 0 ? target.x : target.y) = *coordinate;
        setCursorTarget (target);

        // Read back as written (within the range), however the position rounds.
        (axis == 0 ? cursorValueX : cursorValueY).store (juce::jlimit (0.0f, 1.0f, parameterValue));
    }
}

void Brisquell::setCursorX (float value)
{
    setCursorAxisTarget (0, value);
}

void Brisquell::setCursorY (float value)
{
    setCursorAxisTarget (1, value);
}

float Brisquell::getCursorX() const
{
    return cursorValueX.load();
}

float Brisquell::getCursorY() const
{
    return cursorValueY.load();
}

void Brisquell::cursorPlaced()
{
    {
        const juce::ScopedLock sl (lock);
        glide.isRunning = false;

        // Nothing places the cursor outside the range, which the host's parameters span.
        const auto position = cursor.getPosition();

        if (const auto kept = clampToCursorRange (position); kept != position)
            cursor.storePositionQuietly (kept);

        storeCursorTarget (cursor.getPosition());
    }

    cursorMoved();
}

//==============================================================================
double Brisquell::getGlideTime() const
{
    const juce::ScopedLock sl (lock);
    return glideTime;
}

void Brisquell::setGlideTime (double seconds)
{
    {
        const juce::ScopedLock sl (lock);
        glideTime = toGlideTime (seconds);
    }

    notifyChange (notifier.getMidiControlSubject());
}

GlideShape Brisquell::getGlideShape() const
{
    const juce::ScopedLock sl (lock);
    return glideShape;
}

void Brisquell::setGlideShape (GlideShape shape)
{
    {
        const juce::ScopedLock sl (lock);
        glideShape = shape == GlideShape::smooth ? GlideShape::smooth : GlideShape::linear;
    }

    notifyChange (notifier.getMidiControlSubject());
}

Glide Brisquell::getGlide() const
{
    const juce::ScopedLock sl (lock);
    return glide;
}

double Brisquell::getSampleTime() const
{
    return clock.getTime();
}

bool Brisquell::isGliding() const
{
    const juce::ScopedLock sl (lock);
    return isGlidingLocked();
}

void Brisquell::setSampleClock (double newSampleTime, double newSampleRate) noexcept
{
    if (std::isfinite (newSampleTime))
        clock.setTime (newSampleTime);

    // A new rate needs the lock for the running glide; a caller that holds it (the processor's
    // block) or finds it free changes it now, otherwise the next call or setSampleRate does.
    if (newSampleRate > 0.0 && std::isfinite (newSampleRate) && newSampleRate != clock.getSampleRate())
    {
        const juce::ScopedTryLock tryLock (lock);

        if (tryLock.isLocked())
            changeSampleRateLocked (newSampleRate);
    }
}

void Brisquell::setSampleRate (double newSampleRate)
{
    if (! (newSampleRate > 0.0 && std::isfinite (newSampleRate)))
        return;

    const juce::ScopedLock sl (lock);
    changeSampleRateLocked (newSampleRate);
}

void Brisquell::changeSampleRateLocked (double newSampleRate) noexcept
{
    const auto oldRate = clock.getSampleRate();

    if (newSampleRate == oldRate)
        return;

    // The samples up to the clock ran at the old rate; what remains of a glide takes as long
    // in seconds at the new one.
    glide.rescale (clock.getTime(), newSampleRate / oldRate);
    clock.setSampleRate (newSampleRate);
}

void Brisquell::advanceGlideTo (double time)
{
    const juce::ScopedLock sl (lock);
    advanceGlideToLocked (time);
}

void Brisquell::advanceGlideToLocked (double time)
{
    if (! glide.isRunning)
        return;

    const auto position = clampToCursorRange (glide.getPositionAt (time));

    if (time >= glide.getEndTime())
    {
        glide.isRunning = false;
        notifyChange (&cursor);
    }

    if (position != cursor.getPosition())
        cursor.moveAlongGlide (position);
}

bool Brisquell::usesExactTiming() const
{
    const juce::ScopedLock sl (lock);
    return usesExactTimingLocked();
}

bool Brisquell::usesExactTimingLocked() const
{
    return glideTime > 0.0 || glide.isRunning || triggerLookup.hasTriggers (lists.scenes()) || learnRequest.load() != 0
           || cursorSources[0].kind != CursorSource::Kind::none || cursorSources[1].kind != CursorSource::Kind::none;
}

//==============================================================================
CursorSource Brisquell::getCursorSource (int axis) const
{
    const juce::ScopedLock sl (lock);
    return juce::isPositiveAndBelow (axis, 2) ? cursorSources[(size_t) axis] : CursorSource();
}

void Brisquell::setCursorSource (int axis, CursorSource source)
{
    if (! juce::isPositiveAndBelow (axis, 2))
        return;

    {
        const juce::ScopedLock sl (lock);
        cursorSources[(size_t) axis] = source.isValid() ? source : CursorSource();
    }

    notifyChange (notifier.getMidiControlSubject());
}

void Brisquell::forgetCursorSources()
{
    {
        const juce::ScopedLock sl (lock);
        cursorSources = {};
    }

    notifyChange (notifier.getMidiControlSubject());
}

SceneTrigger Brisquell::getSceneTrigger (const Scene& scene) const
{
    const juce::ScopedLock sl (lock);
    return &scene.getModel() == this ? scene.getTrigger() : SceneTrigger();
}

void Brisquell::setSceneTrigger (Scene& scene, SceneTrigger trigger)
{
    {
        const juce::ScopedLock sl (lock);

        if (&scene.getModel() != this || ! scene.isListed())
            return;

        scene.setTriggerLocked (trigger.isValid() ? trigger : SceneTrigger());
        triggerLookup.invalidate();
    }

    notifyChange (notifier.getMidiControlSubject());
}

//==============================================================================
void Brisquell::requestLearn (LearnRequest request) noexcept
{
    learnRequest.store (request.pack());
    notifyChange (notifier.getMidiControlSubject());
}

LearnRequest Brisquell::getLearnRequest() const noexcept
{
    return LearnRequest::unpack (learnRequest.load());
}

bool Brisquell::takeLearnRequest (LearnRequest request) noexcept
{
    // The editor may have replaced or cancelled the request meanwhile: only the one still
    // waiting is met.
    auto expected = request.pack();
    return learnRequest.compare_exchange_strong (expected, 0);
}

bool Brisquell::learnCursorSource (LearnRequest request, CursorSource source)
{
    if (! request.isCursor() || ! takeLearnRequest (request))
        return false;

    setCursorSource (request.getAxis(), source);
    return true;
}

bool Brisquell::learnSceneTrigger (LearnRequest request, SceneTrigger trigger)
{
    if (request.kind != LearnRequest::Kind::trigger || ! takeLearnRequest (request))
        return false;

    const juce::ScopedLock sl (lock);

    for (auto& scene : lists.scenes())
    {
        if (scene->getSerial() == request.sceneSerial)
        {
            setSceneTrigger (*scene, trigger);
            return true;
        }
    }

    // The scene went while the request waited: the request goes with it.
    notifyChange (notifier.getMidiControlSubject());
    return false;
}

void Brisquell::moveCursorAxis (int axis, float parameterValue)
{
    setCursorAxisTarget (axis, parameterValue);
}

bool Brisquell::recallScene (SceneTrigger trigger)
{
    if (! trigger.isValid())
        return false;

    const juce::ScopedLock sl (lock);

    const auto index = triggerLookup.find (trigger, lists.scenes());

    if (index < 0)
        return false;

    setCursorTarget (lists.scenes()[(size_t) index]->getPosition());
    return true;
}

} // namespace brisquell
