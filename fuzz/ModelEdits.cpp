// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/ModelEdits.h"

#include <cstring>
#include <vector>

namespace brisquell::fuzzing
{

float floatFromBits (std::uint32_t bits)
{
    float value;
    std::memcpy (&value, &bits, sizeof (value));
    return value;
}

void ModelEdits::edit()
{
    const auto choice = in.ConsumeIntegralInRange (0, 22);

    if (choice == 21)
        editPlaying();
    else if ((choice >= 8 && choice <= 12) || choice == 22)
        editController (choice);
    else if ((choice >= 3 && choice <= 5) || choice == 7 || (choice >= 15 && choice <= 20))
        editScene (choice);
    else
        editModes (choice);
}

void ModelEdits::editModes (int choice)
{
    switch (choice)
    {
        case 0:
            model.setAutoLearn (in.ConsumeBool());
            break;
        case 1:
            model.setAutoKey (in.ConsumeBool());
            break;
        case 2:
            model.setAudit (in.ConsumeBool());
            break;
        case 6:
            model.getCursor().setPosition (anyPosition(), anyPosition());
            break;
        case 13:
            setPaneView();
            break;
        default:
            model.addNextController();
            break;
    }
}

void ModelEdits::editScene (int choice)
{
    switch (choice)
    {
        case 3:
            model.keySceneAtCursor();
            break;
        case 4:
            if (auto* scene = pickScene())
                model.deleteScene (scene);
            break;
        case 5:
            if (auto* scene = pickScene())
                scene->setPosition (anyPosition(), anyPosition());
            break;

        case 7:
        {
            juce::Array<Scene*> selection;
            const auto count = in.ConsumeIntegralInRange (0, 4);

            for (int i = 0; i < count; ++i)
                if (auto* scene = pickScene())
                    selection.add (scene);

            model.setSelectedScenes (selection);
            break;
        }

        // The scene's menu and the pane's.
        case 15:
            if (auto* scene = pickScene())
                scene->setName (anyName());
            break;
        case 16:
            if (auto* scene = pickScene())
                scene->setColour (juce::Colour (in.ConsumeIntegral<juce::uint32>()));
            break;
        case 17:
            if (auto* scene = pickScene())
                model.duplicateScene (*scene);
            break;
        case 18:
            if (auto* scene = pickScene())
                model.randomiseScene (*scene);
            break;
        case 19:
            model.setRandomSeed (in.ConsumeIntegral<juce::int64>());
            model.keyRandomSceneAtCursor();
            break;
        default:
            model.setSharpness (in.ConsumeBool() ? in.PickValueInArray ({ 1, 2, 4 }) : in.ConsumeIntegral<int>());
            break;
    }
}

void ModelEdits::editController (int choice)
{
    auto* controller = pickController();

    if (controller == nullptr)
        return;

    switch (choice)
    {
        case 8:
            controller->setValue (in.ConsumeIntegral<int>());
            break;
        case 9:
            controller->setCcNumber (in.ConsumeIntegral<int>());
            break;
        case 10:
            controller->setChannel (in.ConsumeIntegral<int>());
            break;
        case 11:
            model.removeController (controller);
            break;
        case 12:
            controller->setName (anyName());
            break;
        default:
            controller->setKind ((ControllerKind) in.ConsumeIntegralInRange (0, 2));
            break;
    }
}

void ModelEdits::setPaneView()
{
    // The view the editor leaves when it closes.
    PaneView view;

    if (in.ConsumeBool())
        view.xOffset = in.ConsumeIntegral<int>();
    if (in.ConsumeBool())
        view.yOffset = in.ConsumeIntegral<int>();
    if (in.ConsumeBool())
        view.xZoom = floatFromBits (in.ConsumeIntegral<std::uint32_t>());
    if (in.ConsumeBool())
        view.yZoom = in.ConsumeFloatingPointInRange (0.1f, 10.0f);

    model.setMorphPaneState (view);
}

// What the pane's and the scenes' menus do for playing from a controller.
void ModelEdits::editPlaying()
{
    switch (in.ConsumeIntegralInRange (0, 7))
    {
        case 0:
            model.requestLearn (LearnRequest::cursor (in.ConsumeIntegralInRange (0, 1)));
            break;
        case 1:
            if (auto* scene = pickScene())
                model.requestLearn (LearnRequest::trigger (scene->getSerial()));
            break;
        case 2:
            model.requestLearn (LearnRequest::unpack (in.ConsumeIntegral<std::uint64_t>()));
            break;
        case 3:
            model.setCursorSource (in.ConsumeIntegralInRange (-1, 2), anySource());
            break;
        case 4:
            model.forgetCursorSources();
            break;
        case 5:
            if (auto* scene = pickScene())
                model.setSceneTrigger (*scene, { (SceneTrigger::Kind) in.ConsumeIntegralInRange (0, 2), in.ConsumeIntegralInRange (0, 17), in.ConsumeIntegralInRange (-1, 128) });
            break;
        case 6:
            model.setGlideTime (in.ConsumeBool() ? in.ConsumeFloatingPointInRange (0.0, 2.0) : in.ConsumeFloatingPoint<double>());
            break;
        default:
            model.setGlideShape (in.ConsumeBool() ? GlideShape::smooth : GlideShape::linear);
            break;
    }
}

//==============================================================================
Scene* ModelEdits::pickScene()
{
    const auto count = model.getNumScenes();
    return count > 0 ? model.getScene (in.ConsumeIntegralInRange (0, count - 1)) : nullptr;
}

Controller* ModelEdits::pickController()
{
    const auto count = model.getNumControllers();
    return count > 0 ? model.getController (in.ConsumeIntegralInRange (0, count - 1)) : nullptr;
}

float ModelEdits::anyPosition()
{
    return in.ConsumeBool() ? (float) in.ConsumeIntegralInRange (-1000, 1000)
                            : floatFromBits (in.ConsumeIntegral<std::uint32_t>());
}

CursorSource ModelEdits::anySource()
{
    return { (CursorSource::Kind) in.ConsumeIntegralInRange (0, 3),
             in.ConsumeBool() ? in.ConsumeIntegralInRange (1, 16) : in.ConsumeIntegral<int>(),
             in.ConsumeBool() ? in.ConsumeIntegralInRange (0, 127) : in.ConsumeIntegral<int>() };
}

// Any name the rename fields can hand over, lone surrogates and code points beyond Unicode from
// a paste included (the framework's strings carry up to 21 bits).
juce::String ModelEdits::anyName()
{
    std::vector<juce::juce_wchar> name ((size_t) in.ConsumeIntegralInRange (0, 40), 0);

    for (auto& c : name)
        c = (juce::juce_wchar) in.ConsumeIntegralInRange<std::uint32_t> (1, 0x1fffff);

    name.push_back (0);
    return juce::String (juce::CharPointer_UTF32 (name.data()));
}

} // namespace brisquell::fuzzing
