// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Records.h"

#include <array>
#include <memory>
#include <vector>

namespace brisquell
{

//==============================================================================
/** Finds the scene that a note-on or a program change recalls: the first scene in the model's
    list that holds the trigger. Rebuilt without allocating when asked after the triggers or the
    scene list changed (see invalidate). Guarded by the model's lock.
*/
class SceneTriggerLookup final
{
public:
    using SceneList = std::vector<std::unique_ptr<Scene>>;

    SceneTriggerLookup() { heads.fill (-1); }

    /** Marks the lookup out of date: a trigger was set, or the scene list changed. */
    void invalidate() noexcept { stale = true; }

    /** The index in the list of the scene the trigger recalls, or -1. */
    int find (const SceneTrigger& trigger, const SceneList& scenes) const noexcept;

    /** True when any scene of the list holds a trigger. */
    bool hasTriggers (const SceneList& scenes) const noexcept;

private:
    void rebuildIfStale (const SceneList& scenes) const noexcept;
    static int keyOf (const SceneTrigger& trigger) noexcept;

    static constexpr int numKeys = 2 * 16 * 128; // (note or program change) x channel x number

    mutable std::array<int, numKeys> heads{};
    mutable int numTriggers = 0;
    mutable bool stale = true;
};

} // namespace brisquell
