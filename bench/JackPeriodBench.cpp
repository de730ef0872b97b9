// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/BenchModels.h"
#include "jack/MidiPeriod.h"

#include <benchmark/benchmark.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <cmath>
#include <ctime>
#include <vector>

using namespace brisquell;

namespace
{
constexpr double periodRate = 48000.0;
constexpr int periodFrames = 128;

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
    return (double) now.tv_sec + (double) now.tv_nsec * 1.0e-9;
}

/** A JACK MIDI port buffer outside any server, as large as jackd2's. */
std::vector<char> makePortBuffer()
{
    std::vector<char> buffer (65536);
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    jack_midi_reset_buffer (buffer.data());
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
    return buffer;
}

/** The app's process callback work (jack/MidiPeriod) at 48 kHz in 128-frame periods, on
    128 controllers x 32 scenes, with the cursor moving every period and a control change
    arriving in every 16th; "core%" is the CPU time of this thread over the audio time.
*/
void BM_JackPeriod128ControllersBy32Scenes (benchmark::State& state)
{
    BrisquellPlugInInterface processor;
    jack::MidiPeriod period (processor);
    period.prepare (periodRate, periodFrames);
    bench::fillModel (processor.getModel(), 128, 32, 200);

    auto input = makePortBuffer();
    auto output = makePortBuffer();
    const unsigned char controlChange[]{ 0xb0, 7, 0 };
    int step = 0;
    size_t numSent = 0;

    const auto cpuStart = threadCpuSeconds();

    for (auto _ : state)
    {
        const auto angle = (float) (step % 4800) * juce::MathConstants<float>::twoPi / 4800.0f;
        processor.getParameters()[0]->setValue (0.5f + 0.4f * std::cos (angle));
        processor.getParameters()[1]->setValue (0.5f + 0.4f * std::sin (angle));

        jack_midi_clear_buffer (input.data());

        if (step++ % 16 == 0)
            jack_midi_event_write (input.data(), 17, controlChange, 3);

        period.process (input.data(), output.data(), periodFrames);
        numSent += jack_midi_get_event_count (output.data());
        benchmark::DoNotOptimize (output.data());
    }

    const auto cpuSeconds = threadCpuSeconds() - cpuStart;

    const auto audioSeconds = (double) state.iterations() * periodFrames / periodRate;
    state.counters["core%"] = audioSeconds > 0.0 ? 100.0 * cpuSeconds / audioSeconds : 0.0;
    state.counters["CC/period"] = benchmark::Counter ((double) numSent, benchmark::Counter::kAvgIterations);
    state.counters["lost"] = (double) period.getNumLostOutputEvents();
}
/** The heaviest period the app is sized for: 2,048 NRPN controllers (8,192 messages a tick)
    x 8 scenes at 5,000 ticks a second, in 2,048-frame periods at 48 kHz (227 or 228 ticks), with
    a glide restarted in every period so that every tick sends every controller. The output port
    takes what fits (about 2,700 events); "lost" counts the rest, "dropped" the ticks the buffers
    had no room for (none once sized).
*/
void BM_JackPeriod2048NrpnControllersAt5000Hz (benchmark::State& state)
{
    constexpr int frames = 2048;
    BrisquellPlugInInterface processor;
    jack::MidiPeriod period (processor);
    bench::fillModel (processor.getModel(), 2048, 8, 200, ControllerKind::nrpn);
    processor.getModel().setRefreshRate (5000);
    processor.getModel().setGlideTime (10.0);
    period.prepare (periodRate, frames);

    auto input = makePortBuffer();
    auto output = makePortBuffer();
    int step = 0;

    const auto cpuStart = threadCpuSeconds();

    for (auto _ : state)
    {
        processor.getParameters()[step % 2]->setValue ((float) (step % 10) / 10.0f);
        ++step;
        jack_midi_clear_buffer (input.data());
        period.process (input.data(), output.data(), frames);
        benchmark::DoNotOptimize (output.data());
    }

    const auto cpuSeconds = threadCpuSeconds() - cpuStart;
    const auto audioSeconds = (double) state.iterations() * frames / periodRate;
    state.counters["core%"] = audioSeconds > 0.0 ? 100.0 * cpuSeconds / audioSeconds : 0.0;
    state.counters["lost"] = benchmark::Counter ((double) period.getNumLostOutputEvents(), benchmark::Counter::kAvgIterations);
    state.counters["dropped"] = (double) processor.getNumDroppedOutputTicks();
}
} // namespace

BENCHMARK (BM_JackPeriod128ControllersBy32Scenes);
BENCHMARK (BM_JackPeriod2048NrpnControllersAt5000Hz)->Unit (benchmark::kMillisecond);
