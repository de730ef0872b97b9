// SPDX-License-Identifier: GPL-3.0-or-later
// The cost of the heaviest block a musician can hand the plug-in: 10,000 incoming control
// changes over every channel and CC number (every one matching a controller), the cursor moved
// by the host, and the output of all 2,048 controllers interpolated over 500 scenes. Reported
// as the share of one core that processing in real time takes ("core_share", 1.0 = 100 %):
// the time of one processBlock divided by the time its 512 samples last at 44.1 kHz.
#include "plugin/BrisquellPlugInInterface.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace brisquell;

namespace
{
constexpr double stressSampleRate = 44100.0;
constexpr int stressBlockSize = 512;
constexpr int floodEventsPerBlock = 10000;
constexpr int numKeys = 16 * 128;
constexpr int numStressScenes = 500;

/** 500 scenes on a grid over the cursor's range and a controller for every (channel, CC
    number), each holding a value in valuesPerController scenes spread over the list (all 500
    for the dense case). One scene is selected, as after the musician keyed it, so the flood's
    values are stored there.
*/
void prepare (BrisquellPlugInInterface& processor, int valuesPerController)
{
    processor.setRateAndBufferSizeDetails (stressSampleRate, stressBlockSize);
    processor.prepareToPlay (stressSampleRate, stressBlockSize);

    auto& model = processor.getModel();
    model.setAutoKey (false);

    for (int i = 0; i < numStressScenes; ++i)
    {
        auto scene = std::make_unique<Scene> (model);
        scene->setPosition ((float) ((i % 23) * 200 / 23), (float) ((i / 23) * 200 / 23));
        model.addScene (std::move (scene));
    }

    const auto step = juce::jmax (1, numStressScenes / valuesPerController);

    for (int key = 0; key < numKeys; ++key)
    {
        auto* controller = model.addController (key % 128, key / 128 + 1);

        for (int v = 0; v < valuesPerController; ++v)
            controller->setValueInScene ((key + v * 37) % 128, *model.getScene ((key + v * step) % numStressScenes));
    }

    model.setSelectedScenes ({ model.getScene (numStressScenes - 1) });

    juce::MidiBuffer warmUp;
    juce::AudioBuffer<float> audio (0, stressBlockSize);
    processor.processBlock (audio, warmUp);
}

void fillFlood (juce::MidiBuffer& midi, int block)
{
    midi.clear();

    for (int i = 0; i < floodEventsPerBlock; ++i)
    {
        const auto key = (block * 331 + i) % numKeys;
        const juce::uint8 data[] = { (juce::uint8) (0xb0 | (key / 128)), (juce::uint8) (key % 128),
                                     (juce::uint8) ((block * 5 + i / numKeys * 13 + key) % 128) };
        midi.addEvent (data, 3, i * stressBlockSize / floodEventsPerBlock);
    }
}

/** One block of the flood: the host's cursor automation, then processBlock with the flood. */
void floodBlock (benchmark::State& state)
{
    BrisquellPlugInInterface processor;
    prepare (processor, (int) state.range (0));

    juce::AudioBuffer<float> audio (0, stressBlockSize);
    juce::MidiBuffer midi;
    midi.ensureSize (64 * floodEventsPerBlock);
    int block = 0;
    long long eventsOut = 0;

    for (auto _ : state)
    {
        state.PauseTiming();
        fillFlood (midi, block);
        state.ResumeTiming();

        const auto angle = (float) block * 0.05f;
        processor.getParameters()[0]->setValue (0.5f + 0.45f * std::cos (angle));
        processor.getParameters()[1]->setValue (0.5f + 0.45f * std::sin (angle));
        processor.processBlock (audio, midi);
        eventsOut += midi.getNumEvents();
        ++block;
    }

    const auto blockSeconds = (double) stressBlockSize / stressSampleRate;
    state.counters["core_share"] = benchmark::Counter ((double) state.iterations() * blockSeconds,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["events_out_per_block"] = (double) eventsOut / (double) juce::jmax<juce::int64> (1, state.iterations());
}
} // namespace

// The session of the stress test (20 values per controller), and every controller with a
// value in every scene (1,024,000 scene values), the heaviest state there is.
BENCHMARK (floodBlock)->Arg (20)->Arg (numStressScenes)->Unit (benchmark::kMillisecond)->UseRealTime();
