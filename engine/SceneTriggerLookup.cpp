// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SceneTriggerLookup.h"

namespace brisquell
{

int SceneTriggerLookup::keyOf (const SceneTrigger& trigger) noexcept
{
    return (trigger.kind == SceneTrigger::Kind::note ? 0 : 16 * 128) + (trigger.channel - 1) * 128 + trigger.number;
}

int SceneTriggerLookup::find (const SceneTrigger& trigger, const SceneList& scenes) const noexcept
{
    if (! trigger.isValid())
        return -1;

    rebuildIfStale (scenes);
    return heads[(size_t) keyOf (trigger)];
}

bool SceneTriggerLookup::hasTriggers (const SceneList& scenes) const noexcept
{
    rebuildIfStale (scenes);
    return numTriggers > 0;
}

void SceneTriggerLookup::rebuildIfStale (const SceneList& scenes) const noexcept
{
    if (! stale)
        return;

    heads.fill (-1);
    numTriggers = 0;

    for (size_t i = 0; i < scenes.size(); ++i)
    {
        const auto trigger = scenes[i]->getTrigger();

        if (! trigger.isValid())
            continue;

        // The first scene in the list answers a trigger that several hold.
        if (auto& head = heads[(size_t) keyOf (trigger)]; head < 0)
            head = (int) i;

        ++numTriggers;
    }

    stale = false;
}

} // namespace brisquell
