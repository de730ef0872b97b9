// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RecordLists.h"

#include <algorithm>

namespace brisquell
{

namespace
{
template <typename Record>
int indexIn (const std::vector<std::unique_ptr<Record>>& list, const Record* record) noexcept
{
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].get() == record)
            return (int) i;

    return -1;
}

template <typename Record>
std::unique_ptr<Record> takeFrom (std::vector<std::unique_ptr<Record>>& list, const Record* record)
{
    const auto index = indexIn (list, record);

    if (index < 0)
        return {};

    auto taken = std::move (list[(size_t) index]);
    list.erase (list.begin() + index);
    return taken;
}
} // namespace

Controller* RecordLists::controllerAt (int index) const noexcept
{
    return juce::isPositiveAndBelow (index, controllerList.size()) ? controllerList[(size_t) index].get() : nullptr;
}

Scene* RecordLists::sceneAt (int index) const noexcept
{
    return juce::isPositiveAndBelow (index, sceneList.size()) ? sceneList[(size_t) index].get() : nullptr;
}

int RecordLists::indexOf (const Controller* controller) const noexcept
{
    return indexIn (controllerList, controller);
}

int RecordLists::indexOf (const Scene* scene) const noexcept
{
    return indexIn (sceneList, scene);
}

std::unique_ptr<Controller> RecordLists::take (const Controller* controller)
{
    return takeFrom (controllerList, controller);
}

std::unique_ptr<Scene> RecordLists::take (const Scene* scene)
{
    return takeFrom (sceneList, scene);
}

void RecordLists::swapWith (ControllerList& otherControllers, SceneList& otherScenes) noexcept
{
    std::swap (controllerList, otherControllers);
    std::swap (sceneList, otherScenes);
}

void RecordLists::clear()
{
    for (auto& controller : controllerList)
        controller->releaseValues();

    while (! sceneList.empty())
        sceneList.pop_back();

    while (! controllerList.empty())
        controllerList.pop_back();
}

} // namespace brisquell
