// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Brisquell.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace brisquell::fuzzing
{

/** A float of any bit pattern: NaNs, infinities and denormals among them. */
float floatFromBits (std::uint32_t bits);

/** What the editor, the pane and the scenes' menus do to the model on the message thread,
    decoded from the fuzzer's bytes: modes, scenes and their looks, the cursor, the selection,
    controllers, the pane's view, learn requests, sources, triggers and glide settings.
*/
class ModelEdits final
{
public:
    ModelEdits (FuzzedDataProvider& input, Brisquell& modelToEdit) : in (input), model (modelToEdit) {}

    /** One edit, chosen by the next bytes. */
    void edit();

private:
    void editModes (int choice);
    void editScene (int choice);
    void editController (int choice);
    void editPlaying();
    void setPaneView();

    Scene* pickScene();
    Controller* pickController();
    float anyPosition();
    CursorSource anySource();
    juce::String anyName();

    FuzzedDataProvider& in;
    Brisquell& model;
};

} // namespace brisquell::fuzzing
