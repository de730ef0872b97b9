#include "engine/Brisquell.h"

#include <gtest/gtest.h>

using namespace brisquell;

namespace
{
Scene* addSceneAt (Brisquell& model, float x, float y)
{
    auto scene = std::make_unique<Scene> (model);
    scene->setPosition (x, y);
    auto* raw = scene.get();
    model.addScene (std::move (scene));
    return raw;
}
} // namespace

TEST (Interpolation, ThreeScenesWeighByInverseDistance)
{
    Brisquell model;
    auto* a = addSceneAt (model, 1, 0);
    auto* b = addSceneAt (model, 0, 2);
    auto* c = addSceneAt (model, 3, 0);
    auto* controller = model.addController (1, 1);
    controller->setValueInScene (0, *a);
    controller->setValueInScene (64, *b);
    controller->setValueInScene (127, *c);

    EXPECT_FLOAT_EQ (a->getWeight(), 0.625f);
    EXPECT_FLOAT_EQ (b->getWeight(), 0.25f);
    EXPECT_FLOAT_EQ (c->getWeight(), 0.125f);
    EXPECT_FLOAT_EQ (model.getDistanceSum(), 6.0f);
    EXPECT_EQ (controller->getValue(), 32);
}
