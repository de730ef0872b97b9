// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Records.h"

namespace brisquell
{

//==============================================================================
/** The selected scenes, which incoming values are stored into, in the order they were chosen;
    audit, which plays the first of them on its own; and whether the selection came from a
    restored document. Guarded by the model's lock.
*/
class SceneSelection final
{
public:
    int size() const noexcept { return scenes.size(); }
    bool isEmpty() const noexcept { return scenes.isEmpty(); }

    /** The index-th selected scene, or none. */
    Scene* get (int index) const noexcept { return scenes[index]; }
    const juce::Array<Scene*>& getScenes() const noexcept { return scenes; }
    Scene* const* begin() const noexcept { return scenes.begin(); }
    Scene* const* end() const noexcept { return scenes.end(); }

    /** Selects the scenes given that isListed accepts, each once (a selection is a set), in the
        order given. Membership is decided by comparing pointers only, so a view may hand over a
        scene that has gone meanwhile. Keeps its storage.
    */
    template <typename IsListed>
    void choose (const juce::Array<Scene*>& newSelection, IsListed&& isListed)
    {
        scenes.clearQuick();

        for (auto* scene : newSelection)
            if (isListed (scene) && ! scenes.contains (scene))
                scenes.add (scene);
    }

    void remove (const Scene* scene) { scenes.removeAllInstancesOf (const_cast<Scene*> (scene)); }
    void clear() { scenes.clear(); }

    /** Audit: the first selected scene is heard on its own, its values sent as they are stored. */
    bool isAudit() const noexcept { return audit; }
    void setAudit (bool shouldAudit) noexcept { audit = shouldAudit; }

    /** The scene that audit plays: the first selected one while audit is on; none otherwise. */
    Scene* getAudited() const noexcept { return audit && ! scenes.isEmpty() ? scenes.getFirst() : nullptr; }

    /** Whether the selection is the one a restored document held, until the scene list changes. */
    bool isRestored() const noexcept { return restored; }
    void setRestored (bool isFromDocument) noexcept { restored = isFromDocument; }

private:
    juce::Array<Scene*> scenes;
    bool audit = false, restored = false;
};

} // namespace brisquell
