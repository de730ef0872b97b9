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

int triggerKey (const SceneTrigger& trigger) noexcept
{
    return (trigger.kind == SceneTrigger::Kind::note ? 0 : 16 * 128) + (trigger.channel - 1) * 128 + trigger.number;
}
} // namespace

//==============================================================================
juce::Point<float> Brisquell::getCursorTarget() const noexcept
{
    return { cursorTargetX.load(), cursorTargetY.load() };
}

void Brisquell::storeCursorTarget (juce::Point<float> target) noexcept
{
    cursorTargetX.store (target.x);
    cursorTargetY.store (target.y);
}

void Brisquell::setCursorTarget (juce::Point<float> target)
{
    if (! isFinite (target))
        return;

    const juce::ScopedLock sl (lock);
    const auto length = std::round (glideTime * clockRate.load());

    // Off (or shorter than a sample): the cursor jumps, as a direct move, which also ends a glide
    // that still runs from an earlier setting.
    if (! (length >= 1.0))
    {
        cursor.setPosition (target.x, target.y);
        return;
    }

    // From where the cursor is at this moment: on its way, when a glide runs.
    const auto now = clockTime.load();
    const auto from = glide.isRunning ? glide.getPositionAt (now) : cursor.getPosition();
    storeCursorTarget (target);

    if (! glide.isRunning && from == target)
        return;

    glide = { from, target, now, length, glideShape, true };
    notifyChange (&cursor);
}

void Brisquell::setCursorAxisTarget (int axis, float parameterValue)
{
    const auto range = getCursorRange();

    if (const auto coordinate = cursorCoordinateFor (parameterValue, axis == 0 ? range.x : range.y))
    {
        const juce::ScopedLock sl (lock);
        auto target = getCursorTarget();
        (axis == 0 ? target.x : target.y) = (float) *coordinate;
        setCursorTarget (target);
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
    return cursorTargetX.load() / (float) getCursorRange().x;
}

float Brisquell::getCursorY() const
{
    return cursorTargetY.load() / (float) getCursorRange().y;
}

void Brisquell::cursorPlaced()
{
    {
        const juce::ScopedLock sl (lock);
        glide.isRunning = false;
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

    notifyChange (&midiControlSubject);
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

    notifyChange (&midiControlSubject);
}

Glide Brisquell::getGlide() const
{
    const juce::ScopedLock sl (lock);
    return glide;
}

double Brisquell::getSampleTime() const
{
    return clockTime.load();
}

bool Brisquell::isGliding() const
{
    const juce::ScopedLock sl (lock);
    return glide.isRunning;
}

void Brisquell::setSampleClock (double newSampleTime, double newSampleRate) noexcept
{
    if (std::isfinite (newSampleTime))
        clockTime.store (newSampleTime);

    if (newSampleRate > 0.0 && std::isfinite (newSampleRate))
        clockRate.store (newSampleRate);
}

void Brisquell::advanceGlideTo (double time)
{
    const juce::ScopedLock sl (lock);

    if (! glide.isRunning)
        return;

    const auto position = glide.getPositionAt (time);

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

    if (triggerLookupStale)
        rebuildTriggerLookup();

    return glideTime > 0.0 || glide.isRunning || numTriggers > 0 || learnRequest.load() != 0
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

    notifyChange (&midiControlSubject);
}

void Brisquell::forgetCursorSources()
{
    {
        const juce::ScopedLock sl (lock);
        cursorSources = {};
    }

    notifyChange (&midiControlSubject);
}

SceneTrigger Brisquell::getSceneTrigger (const Scene& scene) const
{
    const juce::ScopedLock sl (lock);
    return &scene.model == this ? scene.trigger : SceneTrigger();
}

void Brisquell::setSceneTrigger (Scene& scene, SceneTrigger trigger)
{
    {
        const juce::ScopedLock sl (lock);

        if (&scene.model != this || ! scene.listed)
            return;

        scene.trigger = trigger.isValid() ? trigger : SceneTrigger();
        triggerLookupStale = true;
    }

    notifyChange (&midiControlSubject);
}

void Brisquell::rebuildTriggerLookup() const
{
    triggerHeads.fill (-1);
    numTriggers = 0;

    for (size_t i = 0; i < scenes.size(); ++i)
    {
        const auto& trigger = scenes[i]->trigger;

        if (! trigger.isValid())
            continue;

        // The first scene in the list answers a trigger that several hold.
        if (auto& head = triggerHeads[(size_t) triggerKey (trigger)]; head < 0)
            head = (int) i;

        ++numTriggers;
    }

    triggerLookupStale = false;
}

//==============================================================================
void Brisquell::requestLearn (LearnRequest request) noexcept
{
    learnRequest.store (request.pack());
    notifyChange (&midiControlSubject);
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

    for (auto& scene : scenes)
    {
        if (scene->serial == request.sceneSerial)
        {
            setSceneTrigger (*scene, trigger);
            return true;
        }
    }

    // The scene went while the request waited: the request goes with it.
    notifyChange (&midiControlSubject);
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

    if (triggerLookupStale)
        rebuildTriggerLookup();

    const auto index = triggerHeads[(size_t) triggerKey (trigger)];

    if (index < 0)
        return false;

    setCursorTarget (scenes[(size_t) index]->getPosition());
    return true;
}

} // namespace brisquell
