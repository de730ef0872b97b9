// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Brisquell.h"

namespace brisquell::test
{

/** Positions a new scene and hands it to the model, which then selects it alone. */
inline Scene* addSceneAt (Brisquell& model, float x, float y)
{
    auto scene = std::make_unique<Scene> (model);
    scene->setPosition (x, y);
    auto* added = scene.get();
    model.addScene (std::move (scene));
    return added;
}

} // namespace brisquell::test
