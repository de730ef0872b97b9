// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Records.h"

#include <memory>
#include <vector>

namespace brisquell
{

//==============================================================================
/** The model's controllers and scenes, each list in the order the user sees it. The model owns
    them and alone adds to and takes from them; every other part reads them. Guarded by the
    model's lock.
*/
class RecordLists final
{
public:
    using ControllerList = std::vector<std::unique_ptr<Controller>>;
    using SceneList = std::vector<std::unique_ptr<Scene>>;

    RecordLists() = default;
    ~RecordLists() { clear(); }

    const ControllerList& controllers() const noexcept { return controllerList; }
    const SceneList& scenes() const noexcept { return sceneList; }

    /** The index-th record, or none when out of range. */
    Controller* controllerAt (int index) const noexcept;
    Scene* sceneAt (int index) const noexcept;

    /** The record's place in its list, or -1. */
    int indexOf (const Controller* controller) const noexcept;
    int indexOf (const Scene* scene) const noexcept;

    /** Appends the record at the list's end. */
    void add (std::unique_ptr<Controller> controller) { controllerList.push_back (std::move (controller)); }
    void add (std::unique_ptr<Scene> scene) { sceneList.push_back (std::move (scene)); }

    /** Takes the record out of its list and hands it over; none when it is not there. */
    std::unique_ptr<Controller> take (const Controller* controller);
    std::unique_ptr<Scene> take (const Scene* scene);

    /** Trades both lists for the ones given (a restore puts its records in this way). */
    void swapWith (ControllerList& otherControllers, SceneList& otherScenes) noexcept;

    /** Destroys every record. The scenes destroy the values; the controllers let go of theirs
        first, so that no value searches its controller's list for itself.
    */
    void clear();

private:
    ControllerList controllerList;
    SceneList sceneList;

    JUCE_DECLARE_NON_COPYABLE (RecordLists)
};

} // namespace brisquell
