// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ControllerLookup.h"

namespace brisquell
{

ControllerLookup::ControllerLookup()
{
    heads.fill (-1);
}

void ControllerLookup::reserveFor (size_t numControllers)
{
    // Lists that grow one at a time (a controller learned) reserve in steps.
    for (auto* list : { &next, &numbers })
        if (numControllers > list->capacity())
            list->reserve (juce::jmax (numControllers, list->capacity() * 2));
}

void ControllerLookup::rebuild (const Controllers& controllers)
{
    heads.fill (-1);
    tails.fill (-1);
    next.assign (controllers.size(), -1);
    numbers.assign (controllers.size(), -1);

    for (size_t i = 0; i < controllers.size(); ++i)
    {
        const auto& c = *controllers[i];
        const auto kind = c.getKind();
        const auto channel = c.getChannel();
        const auto number = c.getCcNumber();

        if (channel < 1 || channel > 16 || number < 0 || number > getMaximumNumber (kind))
            continue;

        const auto key = (size_t) keyOf (kind, channel, number);

        if (tails[key] < 0)
            heads[key] = (int) i;
        else
            next[(size_t) tails[key]] = (int) i;

        tails[key] = (int) i;
        numbers[i] = number;
    }

    stale = false;
}

} // namespace brisquell
