#include "engine/Brisquell.h"

#include <benchmark/benchmark.h>

#include <array>

using namespace brisquell;

namespace
{
constexpr int numBenchControllers = 128;

// A model with 128 controllers on channel 1 (CC 0..127) and the given number of scenes spread over
// the pane, each controller holding a value in every scene: the heaviest ordinary set-up.
void fillModel (Brisquell& model, int numScenes)
{
    model.setAutoKey (false);

    for (int i = 0; i < numScenes; ++i)
    {
        auto scene = std::make_unique<Scene> (model);
        scene->setPosition ((float) ((i * 37) % 400), (float) ((i * 91) % 400));
        model.addScene (std::move (scene));
    }

    model.setSelectedScenes ({});

    for (int c = 0; c < numBenchControllers; ++c)
    {
        auto* controller = model.addController (c, 1);

        for (int s = 0; s < numScenes; ++s)
            controller->setValueInScene ((c + s * 7) % 128, *model.getScene (s));
    }

    juce::MidiBuffer warmUp;
    model.renderOutput (warmUp, 0);
}

// One output tick after a cursor move: the move itself (it invalidates every scene) and the
// renderOutput that recomputes the weights and all 128 values and writes 128 messages.
void outputTickAfterCursorMove (benchmark::State& state)
{
    Brisquell model;
    fillModel (model, (int) state.range (0));

    juce::MidiBuffer buffer;
    buffer.ensureSize (4096);
    bool flip = false;

    for (auto _ : state)
    {
        buffer.clear();
        model.setCursorX (flip ? 0.25f : 0.75f);
        flip = ! flip;
        model.renderOutput (buffer, 17);
        benchmark::DoNotOptimize (buffer.data.getRawDataPointer());
    }

    state.counters["events"] = (double) buffer.getNumEvents();
}

// The floor: appending the same 128 control changes to a MidiBuffer and nothing else. The
// buffer is cleared each iteration and keeps its allocation, as the processor's output buffer does.
void appendControlChangesOnly (benchmark::State& state)
{
    std::array<std::array<juce::uint8, 3>, numBenchControllers> messages {};

    for (int c = 0; c < numBenchControllers; ++c)
        messages[(size_t) c] = { (juce::uint8) 0xB0, (juce::uint8) (numBenchControllers - 1 - c), (juce::uint8) (c % 128) };

    juce::MidiBuffer buffer;
    buffer.ensureSize (4096);

    for (auto _ : state)
    {
        buffer.clear();

        for (auto& m : messages)
            buffer.addEvent (m.data(), 3, 17);

        benchmark::DoNotOptimize (buffer.data.getRawDataPointer());
    }

    state.counters["events"] = (double) buffer.getNumEvents();
}
} // namespace

BENCHMARK (appendControlChangesOnly);
BENCHMARK (outputTickAfterCursorMove)->ArgName ("scenes")->Arg (10)->Arg (32)->Arg (100)->Arg (1000);
