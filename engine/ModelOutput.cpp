// SPDX-License-Identifier: GPL-3.0-or-later
// The model's output at a tick and the interpolation's weights, and what moves them. The rest of
// the model is in Brisquell.cpp.
#include "engine/Brisquell.h"
#include "engine/Rounding.h"

namespace brisquell
{

bool Brisquell::needsOutput() const
{
    const juce::ScopedLock sl (lock);
    return needsOutputLocked();
}

int Brisquell::getSamplesPerRefresh (int sampleRate) const noexcept
{
    return clock.getSamplesPerRefresh (sampleRate);
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
    if (auto* audited = selection.getAudited(); audited != nullptr && (scenesMoved || valuesChanged))
    {
        audited->sendValues (writer);
    }
    else
    {
        updateValuesLocked();

        // The lock is held for the whole tick.
        const auto sendAll = ! valuesChanged || scenesMoved;

        const auto& controllers = lists.controllers();

        for (auto i = controllers.size(); i > 0; --i)
            controllers[i - 1]->writeAtTick (writer, sendAll);
    }

    scenesMoved = false;
    valuesChanged = false;
}

//==============================================================================
void Brisquell::invalidateWeights()
{
    interpolation.invalidateWeights();
    ++sceneLooksVersion;

    // Every change of the lists comes here or through addController (a restore too): the
    // interpolation's room follows them there, not on the audio thread.
    interpolation.reserveFor (lists.controllers().size(), lists.scenes().size());
    lookup.reserveFor (lists.controllers().size());
}

void Brisquell::ensureWeights() const
{
    interpolation.ensureWeights (lists.scenes(), cursor.getPosition(), sharpness);
}

void Brisquell::updateValuesLocked()
{
    ensureWeights();
    interpolation.updateValues (lists.controllers(), lists.scenes());
}

float Brisquell::getDistanceSum() const
{
    const juce::ScopedLock sl (lock);
    ensureWeights();
    return narrowToFloat (interpolation.getDistanceSum());
}

float Brisquell::getWeightSum() const
{
    const juce::ScopedLock sl (lock);
    ensureWeights();
    return narrowToFloat (interpolation.getWeightSum());
}

//==============================================================================
void Brisquell::cursorMoved()
{
    {
        const juce::ScopedLock sl (lock);

        if (selection.getAudited() == nullptr)
            scenesMoved = true;

        for (auto& s : lists.scenes())
            s->markStale();

        invalidateWeights();
    }

    notifyChange (&cursor);
}

void Brisquell::sceneMoved()
{
    const juce::ScopedLock sl (lock);
    invalidateWeights();

    if (! selection.isAudit())
        scenesMoved = true;
}

void Brisquell::markValuesChanged()
{
    const juce::ScopedLock sl (lock);
    valuesChanged = true;
}
} // namespace brisquell
