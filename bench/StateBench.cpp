// SPDX-License-Identifier: GPL-3.0-or-later
// Saving and restoring a big project through the processor, as a host does when it saves or
// reopens it: getStateInformation and setStateInformation on 500 scenes x 2,048 controllers,
// every controller with a value in every scene (1,024,000 scene values, a chunk of about 40 MB).
// Both ways must grow linearly with the document.
#include "bench/BenchModels.h"
#include "plugin/BrisquellPlugInInterface.h"

#include <benchmark/benchmark.h>

using namespace brisquell;

namespace
{
constexpr int stateScenes = 500;
constexpr int stateControllers = 2048;

void reportSize (benchmark::State& state, const juce::MemoryBlock& chunk)
{
    state.counters["chunk_MB"] = (double) chunk.getSize() / 1.0e6;
    state.counters["values"] = (double) stateScenes * stateControllers;
}

void BM_SaveBigProject (benchmark::State& state)
{
    BrisquellPlugInInterface processor;
    bench::fillModel (processor.getModel(), stateControllers, stateScenes, 200);
    juce::MemoryBlock chunk;

    for (auto _ : state)
    {
        processor.getStateInformation (chunk);
        benchmark::DoNotOptimize (chunk.getData());
    }

    reportSize (state, chunk);
}

void BM_RestoreBigProject (benchmark::State& state)
{
    juce::MemoryBlock chunk;

    {
        BrisquellPlugInInterface source;
        bench::fillModel (source.getModel(), stateControllers, stateScenes, 200);
        source.getStateInformation (chunk);
    }

    BrisquellPlugInInterface processor;

    for (auto _ : state)
    {
        processor.setStateInformation (chunk.getData(), (int) chunk.getSize());
        benchmark::DoNotOptimize (processor.getModel().getNumScenes());
    }

    if (processor.getModel().getNumScenes() != stateScenes)
        state.SkipWithError ("the chunk did not restore");

    reportSize (state, chunk);
}
} // namespace

BENCHMARK (BM_SaveBigProject)->Unit (benchmark::kMillisecond)->MinTime (2.0);
BENCHMARK (BM_RestoreBigProject)->Unit (benchmark::kMillisecond)->MinTime (2.0);
