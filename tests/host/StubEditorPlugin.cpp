// SPDX-License-Identifier: GPL-3.0-or-later
// A VST 2.4 plug-in that has nothing but an editor, whose size it settles only as the editor
// opens: it answers 200 x 100 before effEditOpen and 320 x 240 after, as plug-ins that lay out
// their editor once they have the host's window do. The host tests load it to see what the
// bundled host makes of that.
#include <pluginterfaces/fst/fst.h>

#include <new>

namespace
{
struct StubEditor
{
    AEffect effect{};
    ERect rect{};
    bool isOpen = false;
};

VstIntPtr dispatch (AEffect* effect, int opcode, int, VstIntPtr, void* ptr, float)
{
    auto* stub = static_cast<StubEditor*> (effect->object);

    switch (opcode)
    {
        case effEditGetRect:
            stub->rect = { 0, 0, (short) (stub->isOpen ? 240 : 100), (short) (stub->isOpen ? 320 : 200) };
            *static_cast<ERect**> (ptr) = &stub->rect;
            return 1;

        case effEditOpen:
            stub->isOpen = true;
            return 1;

        case effEditClose:
            stub->isOpen = false;
            return 0;

        case effClose:
            delete stub;
            return 0;

        default:
            return 0;
    }
}

void processReplacing (AEffect*, float**, float**, int) {}
} // namespace

extern "C" __attribute__ ((visibility ("default"))) AEffect* VSTPluginMain (audioMasterCallback)
{
    auto* stub = new (std::nothrow) StubEditor();

    if (stub == nullptr)
        return nullptr;

    stub->effect.magic = kEffectMagic;
    stub->effect.dispatcher = dispatch;
    stub->effect.processReplacing = processReplacing;
    stub->effect.flags = effFlagsHasEditor;
    stub->effect.object = stub;
    return &stub->effect;
}
