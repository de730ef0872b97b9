// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/BenchModels.h"
#include "plugin/BrisquellPlugInInterface.h"

#include <benchmark/benchmark.h>

#include <ctime>

using namespace brisquell;

namespace
{
constexpr double benchSampleRate = 48000.0;
constexpr int benchBlockSize = 128;

/** A processor at 48 kHz in 128-sample blocks; with content, 128 controllers on channel 1
    (CC 0..127), each holding a value in every one of the scenes spread over the pane.
*/
void prepare (BrisquellPlugInInterface& processor, int numControllers, int numScenes, ControllerKind kind)
{
    processor.setRateAndBufferSizeDetails (benchSampleRate, benchBlockSize);
    processor.prepareToPlay (benchSampleRate, benchBlockSize);

    bench::fillModel (processor.getModel(), numControllers, numScenes, 200, kind);
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
    return (double) now.tv_sec + (double) now.tv_nsec * 1.0e-9;
}

/** The share of one core the blocks took against the audio time they stand for, and the
    messages each block sent.
*/
void reportCoreShare (benchmark::State& state, double cpuSeconds, size_t numSent)
{
    const auto audioSeconds = (double) state.iterations() * benchBlockSize / benchSampleRate;
    state.counters["core%"] = audioSeconds > 0.0 ? 100.0 * cpuSeconds / audioSeconds : 0.0;
    state.counters["msgs/block"] = benchmark::Counter ((double) numSent, benchmark::Counter::kAvgIterations);
}

/** processBlock with both cursor parameters changing every block, reported as the share of one
    core that a second of audio takes ("core%": CPU time of this thread over the audio time).
    With a glide time, every change starts a new glide from where the cursor is, so a glide runs
    through every block and is sampled at every output tick.
*/
void processBlocks (benchmark::State& state, int numControllers, int numScenes, double glideSeconds = 0.0, ControllerKind kind = ControllerKind::sevenBit, int notesPassing = 0)
{
    BrisquellPlugInInterface processor;
    prepare (processor, numControllers, numScenes, kind);
    processor.getModel().setGlideTime (glideSeconds);
    processor.getModel().setMidiThrough (notesPassing > 0);

    juce::AudioBuffer<float> audio (0, benchBlockSize);
    juce::MidiBuffer midi;
    midi.ensureSize (8192);
    int step = 0;
    size_t numSent = 0;

    // Notes on, two samples apart, that pass through with "pass other MIDI through"; copied into
    // each block's buffer as a host's client writes its events, in order.
    juce::MidiBuffer notes;

    for (int i = 0; i < notesPassing; ++i)
        notes.addEvent (juce::MidiMessage::noteOn (1 + i % 16, 60, (juce::uint8) 100), (i * 2) % benchBlockSize);

    const auto cpuStart = threadCpuSeconds();

    for (auto _ : state)
    {
        // A slow circle around the pane: new values for both parameters in every block.
        const auto angle = (float) (step++ % 4800) * juce::MathConstants<float>::twoPi / 4800.0f;
        processor.getParameters()[0]->setValue (0.5f + 0.4f * std::cos (angle));
        processor.getParameters()[1]->setValue (0.5f + 0.4f * std::sin (angle));

        midi.clear();
        midi.data.addArray (notes.data);

        processor.processBlock (audio, midi);
        numSent += (size_t) midi.getNumEvents();
        benchmark::DoNotOptimize (midi);
    }

    reportCoreShare (state, threadCpuSeconds() - cpuStart, numSent);
}

void BM_ProcessBlockEmpty (benchmark::State& state)
{
    processBlocks (state, 0, 0);
}

void BM_ProcessBlock128ControllersBy32Scenes (benchmark::State& state)
{
    processBlocks (state, 128, 32);
}

void BM_ProcessBlock128ControllersBy32ScenesGliding (benchmark::State& state)
{
    processBlocks (state, 128, 32, 0.5);
}

/** A pitch-bend wheel drives x through a glide of 0.2 s: a new wheel value at the start of every
    block, so that each block retargets the running glide (exact timing, a tick at every output
    time), while "cursor Y" is resent unchanged before every block as an automation lane does.
*/
void BM_ProcessBlock128ControllersBy32ScenesSourceGliding (benchmark::State& state)
{
    BrisquellPlugInInterface processor;
    prepare (processor, 128, 32, ControllerKind::sevenBit);
    processor.getModel().setGlideTime (0.2);
    processor.getModel().setCursorSource (0, { CursorSource::Kind::pitchBend, 1, 0 });

    juce::AudioBuffer<float> audio (0, benchBlockSize);
    juce::MidiBuffer midi;
    midi.ensureSize (8192);
    int step = 0;
    size_t numSent = 0;

    const auto cpuStart = threadCpuSeconds();

    for (auto _ : state)
    {
        // Up and down the wheel's range every 10 s.
        const auto phase = step++ % 7500;
        const auto value = (phase < 3750 ? phase : 7500 - phase) * 16383 / 3750;
        const juce::uint8 bend[] = { 0xe0, (juce::uint8) (value & 0x7f), (juce::uint8) (value >> 7) };

        midi.clear();
        midi.addEvent (bend, 3, 0);
        processor.getParameters()[1]->setValue (0.25f);
        processor.processBlock (audio, midi);
        numSent += (size_t) midi.getNumEvents();
        benchmark::DoNotOptimize (midi);
    }

    reportCoreShare (state, threadCpuSeconds() - cpuStart, numSent);
}

/** The same with every controller an NRPN: four messages per value. */
void BM_ProcessBlock128NrpnControllersBy32Scenes (benchmark::State& state)
{
    processBlocks (state, 128, 32, 0.0, ControllerKind::nrpn);
}

void BM_ProcessBlock128FourteenBitControllersBy32Scenes (benchmark::State& state)
{
    processBlocks (state, 128, 32, 0.0, ControllerKind::fourteenBit);
}
/** The 7-bit block with "pass other MIDI through" on and 64 notes a block passing. */
void BM_ProcessBlock128ControllersBy32ScenesPassing64Notes (benchmark::State& state)
{
    processBlocks (state, 128, 32, 0.0, ControllerKind::sevenBit, 64);
}
} // namespace

BENCHMARK (BM_ProcessBlockEmpty);
BENCHMARK (BM_ProcessBlock128ControllersBy32ScenesPassing64Notes);
BENCHMARK (BM_ProcessBlock128ControllersBy32Scenes);
BENCHMARK (BM_ProcessBlock128ControllersBy32ScenesGliding);
BENCHMARK (BM_ProcessBlock128ControllersBy32ScenesSourceGliding);
BENCHMARK (BM_ProcessBlock128NrpnControllersBy32Scenes);
BENCHMARK (BM_ProcessBlock128FourteenBitControllersBy32Scenes);
