// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/BenchModels.h"

#include <benchmark/benchmark.h>

#include <array>

using namespace brisquell;

namespace
{
constexpr int numBenchControllers = 128;

// A model with 128 controllers and the given number of scenes over a 400 x 400 area, rendered
// once so that the measured ticks start from a settled model.
void fillModel (Brisquell& model, int numScenes)
{
    bench::fillModel (model, numBenchControllers, numScenes, 400);

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
