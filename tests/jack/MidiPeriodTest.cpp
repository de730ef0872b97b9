// SPDX-License-Identifier: GPL-3.0-or-later
#include "jack/MidiPeriod.h"

#include "bench/BenchModels.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <thread>
#include <tuple>
#include <vector>

using namespace brisquell;

namespace
{
/** A JACK MIDI port buffer outside any server, as large as jackd2's (32 KiB). */
struct PortBuffer
{
    PortBuffer()
    {
        // A full buffer is what one test is about; libjack would say so on stderr each time.
        jack_set_error_function ([] (const char*) {});
        JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
        jack_midi_reset_buffer (data.data());
        JUCE_END_IGNORE_WARNINGS_GCC_LIKE
    }

    void* get() { return data.data(); }

    std::vector<std::array<unsigned char, 3>> events()
    {
        std::vector<std::array<unsigned char, 3>> result;

        for (jack_nframes_t i = 0; i < jack_midi_get_event_count (get()); ++i)
        {
            jack_midi_event_t event{};
            jack_midi_event_get (&event, get(), i);
            result.push_back ({ event.buffer[0], event.buffer[1], event.buffer[2] });
        }

        return result;
    }

    std::vector<jack_nframes_t> frames()
    {
        std::vector<jack_nframes_t> result;

        for (jack_nframes_t i = 0; i < jack_midi_get_event_count (get()); ++i)
        {
            jack_midi_event_t event{};
            jack_midi_event_get (&event, get(), i);
            result.push_back (event.time);
        }

        return result;
    }

    std::vector<char> data = std::vector<char> (65536);
};

void writeControlChange (PortBuffer& buffer, jack_nframes_t frame, int number, int value)
{
    const unsigned char bytes[]{ 0xb0, (unsigned char) number, (unsigned char) value };
    jack_midi_event_write (buffer.get(), frame, bytes, 3);
}

struct Period
{
    Period() { period.prepare (48000.0, 128); }

    /** One period with what the input holds; the input is emptied for the next. */
    void run (jack_nframes_t numFrames = 128)
    {
        period.process (input.get(), output.get(), numFrames);
        jack_midi_clear_buffer (input.get());
    }

    BrisquellPlugInInterface processor;
    jack::MidiPeriod period{ processor };
    PortBuffer input, output;
};
} // namespace

TEST (MidiPeriod, ControlChangesGoInAndOutAtTheirFrames)
{
    Period p;
    writeControlChange (p.input, 100, 7, 0); // learns, keys a scene: sends 0
    p.run();
    EXPECT_EQ (p.output.events(), (std::vector<std::array<unsigned char, 3>>{ { 0xb0, 7, 0 } }));

    // While values keep arriving, ticks fall every 240 frames of JACK's clock: 240 is frame 112
    // of the second period, 480 frame 96 of the fourth.
    std::vector<jack_nframes_t> times;

    for (jack_nframes_t block = 1; block < 8; ++block)
    {
        writeControlChange (p.input, 3, 7, (int) block);
        p.run();

        for (auto frame : p.output.frames())
            times.push_back (block * 128 + frame);
    }

    EXPECT_EQ (times, (std::vector<jack_nframes_t>{ 240, 480, 720, 960 }));
    EXPECT_EQ (p.processor.getElapsedSamples(), 8 * 128.0);
}

TEST (MidiPeriod, SourcesTriggersAndGlidesPlayTheCursorFromTheirFrames)
{
    // CC 7 is 0 at scene A (0, 0) and 127 at scene B (200, 0); C4 recalls B, pitch bend drives x.
    Period p;
    auto& model = p.processor.getModel();
    model.setAutoKey (false);
    auto* controller = model.addController (7, 1);

    for (auto x : { 0.0f, 200.0f })
    {
        auto scene = std::make_unique<Scene> (model);
        scene->setPosition (x, 0.0f);
        auto* added = scene.get();
        model.addScene (std::move (scene));
        controller->setValueInScene (x > 0.0f ? 127 : 0, *added);
    }

    model.setSceneTrigger (*model.getScene (1), { SceneTrigger::Kind::note, 1, 60 });
    model.setCursorSource (0, { CursorSource::Kind::pitchBend, 1, 0 });

    // What the periods send, at JACK's absolute frame times.
    std::vector<std::pair<jack_nframes_t, int>> sent;
    jack_nframes_t periodStart = 0;

    const auto run = [&] (int numPeriods)
    {
        for (int i = 0; i < numPeriods; ++i, periodStart += 128)
        {
            p.run();

            for (size_t e = 0; e < p.output.frames().size(); ++e)
                sent.push_back ({ periodStart + p.output.frames()[e], p.output.events()[e][2] });
        }
    };

    run (3);
    const unsigned char noteOn[]{ 0x90, 60, 100 }, bendDown[]{ 0xe0, 0, 0 };
    jack_midi_event_write (p.input.get(), 50, noteOn, 3);
    run (1);

    // Then back over 240 frames (5 ms) from the pitch bend's frame, 612: the tick at 674 finds
    // it at x 148 (CC 7 113), the one at 914 arrived.
    model.setGlideTime (0.005);
    jack_midi_event_write (p.input.get(), 100, bendDown, 3);
    run (4);

    EXPECT_EQ (sent, (std::vector<std::pair<jack_nframes_t, int>>{ { 0, 0 }, { 434, 127 }, { 674, 113 }, { 914, 0 } }));
}

TEST (MidiPeriod, OutputBeyondThePortsRoomIsCountedAsLost)
{
    Period p;
    bench::fillModel (p.processor.getModel(), 3000, 2, 200);

    p.run();
    const auto numSent = p.output.events().size();

    // A jackd2 port buffer holds 2,727 three-byte events.
    EXPECT_LT (numSent, 3000u);
    EXPECT_GT (numSent, 2000u);
    EXPECT_EQ (p.period.getNumLostOutputEvents(), 3000u - numSent);
}

TEST (MidiPeriod, NeverWaitsForABusyModel)
{
    Period p;
    writeControlChange (p.input, 0, 7, 0);
    p.run();

    std::atomic<bool> holding{ false }, release{ false };
    std::thread other ([&]
                       {
                           const juce::ScopedLock lock (p.processor.getModel().getLock());
                           holding = true;

                           while (! release)
                               std::this_thread::yield(); });

    while (! holding)
        std::this_thread::yield();

    // 30 periods of full input buffers: more than the processor's stash holds, and every one
    // of them returns while the model stays busy.
    for (int block = 0; block < 30; ++block)
    {
        for (int i = 0; i < 2727; ++i)
            writeControlChange (p.input, 0, 7, (block + i) % 128);

        p.run();
        EXPECT_TRUE (p.output.events().empty());
    }

    release = true;
    other.join();

    EXPECT_EQ (p.processor.getNumDroppedControlChanges(), 30u * 2727u - (juce::uint64) BrisquellPlugInInterface::stashCapacity);

    // The stashed input goes to the model with the next period.
    writeControlChange (p.input, 0, 7, 42);
    p.run();
    EXPECT_EQ (p.output.events(), (std::vector<std::array<unsigned char, 3>>{ { 0xb0, 7, 42 } }));
}

// The process callback's steady work: a control change in every period, the cursor moving
// every period, 128 controllers x 32 scenes sent; not one heap allocation on the way.
TEST (MidiPeriod, SteadyPeriodsAllocateNothing)
{
    if (! test::isCountingAllocations())
        GTEST_SKIP() << "sanitizers own the allocator in this build";

    Period p;
    bench::fillModel (p.processor.getModel(), 128, 32, 200);
    writeControlChange (p.input, 0, 7, 0);
    p.run();

    {
        const test::AllocationCounter counter; // it sees what it is there to see
        delete new int (3);
        ASSERT_EQ (counter.count(), 1);
    }

    long numAllocations = 0;
    size_t numSent = 0;

    for (int block = 0; block < 200; ++block)
    {
        p.processor.getParameters()[block % 2]->setValue ((float) (block % 100) / 100.0f);
        writeControlChange (p.input, (jack_nframes_t) (block % 128), 7, block % 128);

        {
            const test::AllocationCounter counter;
            p.run();
            numAllocations += counter.count();
        }

        numSent += jack_midi_get_event_count (p.output.get());
    }

    EXPECT_EQ (numAllocations, 0);
    EXPECT_GT (numSent, 50u * 128u);
}

// The heaviest periods: 2,048 NRPN controllers (8,192 messages a tick) sent in every tick of a
// glide at 5,000 ticks a second, in periods of 2,048 frames (228 ticks). Restored as a host
// restores a project, into buffers sized for an empty one, the periods leave out the ticks that
// do not fit and count them; once the buffers follow the project, every tick fits. Neither way
// allocates.
TEST (MidiPeriod, LargestPeriodsAllocateNothing)
{
    if (! test::isCountingAllocations())
        GTEST_SKIP() << "sanitizers own the allocator in this build";

    juce::MemoryBlock project;
    {
        BrisquellPlugInInterface source;
        bench::fillModel (source.getModel(), 2048, 8, 200, ControllerKind::nrpn);
        source.getModel().setRefreshRate (5000);
        source.getModel().setGlideTime (10.0);
        source.getStateInformation (project);
    }

    constexpr jack_nframes_t frames = 2048;
    Period p;
    p.period.prepare (48000.0, (int) frames);
    p.processor.setStateInformation (project.getData(), (int) project.getSize());
    ASSERT_EQ (p.processor.getModel().getNumControllers(), 2048);

    struct Run
    {
        long numAllocations = 0;
        juce::uint64 numDroppedTicks = 0, numLost = 0;
        size_t numSent = 0;
    };

    int step = 0;
    const auto runPeriods = [&]
    {
        Run run;
        const auto droppedBefore = p.processor.getNumDroppedOutputTicks();
        const auto lostBefore = p.period.getNumLostOutputEvents();

        for (int i = 0; i < 6; ++i, ++step)
        {
            // A new glide target in every period keeps every tick sending every controller.
            p.processor.getParameters()[step % 2]->setValue ((float) (step % 10) / 10.0f);

            {
                const test::AllocationCounter counter;
                p.run (frames);
                run.numAllocations += counter.count();
            }

            run.numSent += jack_midi_get_event_count (p.output.get());
        }

        run.numDroppedTicks = p.processor.getNumDroppedOutputTicks() - droppedBefore;
        run.numLost = p.period.getNumLostOutputEvents() - lostBefore;
        return run;
    };

    const auto undersized = runPeriods();
    EXPECT_EQ (undersized.numAllocations, 0);
    EXPECT_GT (undersized.numDroppedTicks, 6u * 200u);
    EXPECT_EQ (p.period.getNumDroppedInputEvents(), 0u);

    // What the app's timer does: the buffers follow the project, the next period takes them.
    EXPECT_TRUE (p.period.updateRoom());
    EXPECT_GE (p.period.getRoom(), 228u * 8192u * BrisquellPlugInInterface::bytesPerOutputMessage);
    EXPECT_FALSE (p.period.updateRoom());

    const auto sized = runPeriods();
    EXPECT_EQ (sized.numAllocations, 0);
    EXPECT_EQ (sized.numDroppedTicks, 0u);

    // Each period's 227 or 228 ticks (9 frames apart) fill the output port; the rest is counted
    // as lost there.
    EXPECT_GT (sized.numSent, 6u * 2000u);
    EXPECT_GE (sized.numSent + sized.numLost, 6u * 227u * 8192u);
    EXPECT_LE (sized.numSent + sized.numLost, 6u * 228u * 8192u);
}

// A new sample rate or period size (what the JACK callbacks hand over) takes effect at the next
// period: the refresh interval follows the rate (200 ticks a second: 240, 480 and 220 frames),
// and the periods after it allocate nothing.
TEST (MidiPeriod, FollowsANewRateAndPeriodSize)
{
    Period p;
    // Learned, then a first new value: the model's own first-time work is done.
    writeControlChange (p.input, 0, 7, 0);
    p.run();
    writeControlChange (p.input, 0, 7, 1);
    p.run();

    jack_nframes_t now = 256;
    int value = 1;

    for (const auto& [rate, frames, interval] : { std::tuple{ 48000.0, 128, 240u }, { 96000.0, 256, 480u }, { 44100.0, 64, 220u } })
    {
        p.period.prepare (rate, frames);
        std::vector<jack_nframes_t> times;
        long numAllocations = 0;

        // A value in every period (shorter than the interval) keeps output pending: ticks fall
        // one interval apart.
        for (int i = 0; i < 40; ++i, now += (jack_nframes_t) frames)
        {
            writeControlChange (p.input, 0, 7, ++value % 128);

            {
                const test::AllocationCounter counter;
                p.run ((jack_nframes_t) frames);
                numAllocations += counter.count();
            }

            for (auto frame : p.output.frames())
                times.push_back (now + frame);
        }

        ASSERT_GT (times.size(), 4u) << rate;

        for (size_t i = 2; i < times.size(); ++i)
            EXPECT_EQ (times[i] - times[i - 1], interval) << rate;

        EXPECT_TRUE (numAllocations == 0 || ! test::isCountingAllocations()) << rate << ": " << numAllocations;
    }

    EXPECT_EQ (p.period.getNumHeldPeriods(), 0u);
}

TEST (MidiPeriod, MidiThroughPassesWhatThePluginDoesNotUseAtItsFrames)
{
    Period p;
    p.processor.getModel().setMidiThrough (true);
    const unsigned char noteOn[]{ 0x90, 64, 100 }, noteOff[]{ 0x80, 64, 0 };
    jack_midi_event_write (p.input.get(), 5, noteOn, 3);
    writeControlChange (p.input, 20, 7, 90); // learned: used, not passed
    jack_midi_event_write (p.input.get(), 90, noteOff, 3);
    p.run();

    // The block's input takes effect at its start, so the learned value's tick falls at frame 0.
    EXPECT_EQ (p.output.events(), (std::vector<std::array<unsigned char, 3>>{ { 0xb0, 7, 90 }, { 0x90, 64, 100 }, { 0x80, 64, 0 } }));
    EXPECT_EQ (p.output.frames(), (std::vector<jack_nframes_t>{ 0, 5, 90 }));
}

// A period with a burst of a thousand notes and MIDI through on: nothing is allocated on the
// process thread, and every note goes out or is counted as dropped.
TEST (MidiPeriod, MidiThroughPassesABurstWithoutAllocating)
{
    if (! test::isCountingAllocations())
        GTEST_SKIP() << "sanitizers own the allocator in this build";

    Period p;
    p.processor.getModel().setMidiThrough (true);
    long numAllocations = 0;
    size_t numOut = 0;

    for (int period = 0; period < 3; ++period)
    {
        for (int i = 0; i < 1000; ++i)
        {
            const unsigned char note[]{ (unsigned char) (i % 2 == 0 ? 0x90 : 0x80), (unsigned char) (36 + i % 48), 90 };
            jack_midi_event_write (p.input.get(), (jack_nframes_t) (i / 8), note, 3);
        }

        {
            const test::AllocationCounter counter;
            p.run();
            numAllocations += counter.count();
        }

        numOut += p.output.events().size();
        const auto dropped = p.period.getNumDroppedInputEvents() + p.processor.getNumDroppedPassedMessages();
        EXPECT_EQ (numOut + dropped, 1000u * (size_t) (period + 1)) << period;
    }

    EXPECT_EQ (numAllocations, 0);
}
