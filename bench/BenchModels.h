// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Brisquell.h"

namespace brisquell::bench
{

/** Fills the model with controllers on channel 1 (CC 0, 1, ...) and scenes spread over an
    extent x extent square, each controller holding a value in every scene: the heaviest ordinary
    set-up. Auto-key is switched off and the selection emptied, so later values key nothing.
    Controllers of a 14-bit kind take the same values at their resolution, on numbers of their
    range.
*/
inline void fillModel (Brisquell& model, int numControllers, int numScenes, int extent, ControllerKind kind = ControllerKind::sevenBit)
{
    model.setAutoKey (false);

    for (int i = 0; i < numScenes; ++i)
    {
        auto scene = std::make_unique<Scene> (model);
        scene->setPosition ((float) ((i * 37) % extent), (float) ((i * 91) % extent));
        model.addScene (std::move (scene));
    }

    model.setSelectedScenes ({});

    for (int c = 0; c < numControllers; ++c)
    {
        auto* controller = model.addController (c % (getMaximumNumber (kind) + 1), 1, kind);

        for (int s = 0; s < numScenes; ++s)
            controller->setValueInScene (rescaleValue ((c + s * 7) % 128, ControllerKind::sevenBit, kind), *model.getScene (s));
    }
}

} // namespace brisquell::bench
