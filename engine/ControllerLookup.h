// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Records.h"

#include <array>
#include <memory>
#include <vector>

namespace brisquell
{

//==============================================================================
/** Finds the controllers that an incoming value is for: chains of the controllers' places in
    the list per (kind, channel, number modulo 128), so that a value walks only the controllers
    that may take it. An NRPN chain may hold other numbers with the same low bits; each place
    keeps its controller's number to tell them apart.

    The chains are laid out again at the next look-up after markStale (the controllers, their
    kinds, channels or numbers changed), without allocating once reserveFor made room for the
    list. Controllers outside the MIDI ranges (possible after a restore) never match. Lock held.
*/
class ControllerLookup final
{
public:
    using Controllers = std::vector<std::unique_ptr<Controller>>;

    ControllerLookup();

    void markStale() noexcept { stale = true; }

    /** Makes room for a list of that many controllers. */
    void reserveFor (size_t numControllers);

    /** Calls take (controller) for every controller of the kind, channel and number, in list
        order, and answers how many there were. take must not add or remove controllers.
    */
    template <typename Take>
    int forEachMatch (const Controllers& controllers, ControllerKind kind, int channel, int number, Take&& take)
    {
        if (stale)
            rebuild (controllers);

        if (channel < 1 || channel > 16 || number < 0 || number > getMaximumNumber (kind))
            return 0;

        int matched = 0;

        for (int index = heads[(size_t) keyOf (kind, channel, number)]; index >= 0;)
        {
            const auto place = (size_t) index;
            index = next[place];

            if (numbers[place] != number)
                continue;

            take (*controllers[place]);
            ++matched;
        }

        return matched;
    }

private:
    static constexpr int numKeys = 3 * 16 * 128;

    static int keyOf (ControllerKind kind, int channel, int number) noexcept
    {
        return ((int) kind * 16 + channel - 1) * 128 + (number & 127);
    }

    void rebuild (const Controllers& controllers);

    std::array<int, numKeys> heads{}, tails{}; // tails: rebuild's scratch, kept off the stack
    std::vector<int> next, numbers;
    bool stale = true;
};

} // namespace brisquell
