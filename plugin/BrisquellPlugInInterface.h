// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Brisquell.h"
#include "engine/MidiBlockRunner.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <limits>

namespace brisquell
{

//==============================================================================
/** A cursor position as the cursor parameters' text shows it: a whole position as the whole
    number ("100"), any other with up to three decimals and no trailing zeros ("66.6", "100.104").
*/
juce::String formatCursorPosition (float position);

//==============================================================================
/** The plug-in's audio processor: it owns the morph model and adds the timing of MIDI output
    on the host's sample clock, the two host parameters that move the cursor ("cursor X" and
    "cursor Y") and the state chunk. It processes no audio and has no audio buses.

    Threads and locking
    -------------------
    processBlock runs on the host's audio thread and only try-locks the model. When another
    thread is briefly inside the model, the block's messages that the model can use go into a
    preallocated stash, with the sample times they arrived at, and the block writes no output;
    the next block that gets the lock hands the stash to the model, in order, before its own
    input. So the audio thread never waits, and no input is lost.

    Host parameter calls can come on any thread, the audio thread included. A cursor move
    whose thread finds the model busy is parked in an atomic and applied by the next block, by
    the next parameter call or by a timer on the message thread, whichever comes first; the
    parameter's value answers the parked value meanwhile. Reading a value or its text never
    waits for the model.

    Chunks are packed and parsed without the model's lock; the model takes it for the short
    moments it reads or replaces its state.
*/
class BrisquellPlugInInterface final : public juce::AudioProcessor,
                                       private juce::Timer,
                                       private MidiBlockRunner::Owner
{
public:
    BrisquellPlugInInterface();
    ~BrisquellPlugInInterface() override;

    /** The morph model that this processor owns for its whole life. Any thread. */
    Brisquell& getModel() noexcept { return model; }
    const Brisquell& getModel() const noexcept { return model; }

    /** The sample time (samples since construction) at which the next output tick is due, and
        the sample time of the next block's first sample. Audio thread; for tests.
    */
    double getNextOutputTime() const noexcept { return blocks.getNextOutputTime(); }
    double getElapsedSamples() const noexcept { return blocks.getElapsedSamples(); }

    /** The number of messages the stash can hold while the model is busy. */
    static constexpr int stashCapacity = MidiBlockRunner::stashCapacity;

    //==============================================================================
    const juce::String getName() const override;

    /** Tells the model the host's sample rate (see Brisquell::setSampleRate), so that a running
        glide keeps its time in seconds; the sample clock runs on across suspends and sample-rate
        changes. Not on the audio thread.
    */
    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;

    /** Runs the block through the model (see MidiBlockRunner, which holds the tick rule): hands
        its incoming MIDI to the model, clears the MIDI buffer and writes the due control changes
        at the output ticks that fall inside the block. With MIDI through on, every incoming
        message the model did not use stays in the buffer at its offset, merged in time order
        with the output. Then tells the host of performed cursor moves where the audio thread
        does. Audio thread; allocates nothing once the buffers have room.
    */
    void processBlock (juce::AudioBuffer<float>& audio, juce::MidiBuffer& midi) override;

    /** processBlock's work for a caller that must never wait nor allocate, such as a JACK
        process callback. The output is written into `spare` and then swapped into `midi`, so
        that the caller owns both buffers and their room: `room` is the bytes both buffers'
        storage holds (what they were sized to with ensureSize), and a tick whose messages might
        not fit into the room left (see getLargestTickBytes) is left out and counted; its values
        go out with the next tick that has room. Where processBlock would wait for the model (it
        is busy and the stash is full), the messages that do not fit into the stash are dropped
        and counted instead. Audio thread; allocates nothing.
    */
    void processBlockWithoutWaiting (juce::MidiBuffer& midi, juce::MidiBuffer& spare, size_t room, int numSamples);

    /** How many output ticks processBlockWithoutWaiting has left out for want of room. Any
        thread.
    */
    juce::uint64 getNumDroppedOutputTicks() const noexcept { return blocks.getNumDroppedOutputTicks(); }

    /** The MIDI buffer room, in bytes, that the largest tick of the model's current project
        takes: every controller's value in its kind's messages. Any thread; locks the model.
    */
    size_t getLargestTickBytes() const;

    /** The room one outgoing message takes in a MIDI buffer. */
    static constexpr size_t bytesPerOutputMessage = MidiBlockRunner::bytesPerOutputMessage;

    /** How many incoming messages that the model would have used (control changes, note-ons,
        program changes, pitch bend) processBlockWithoutWaiting has dropped so far. Any thread.
    */
    juce::uint64 getNumDroppedControlChanges() const noexcept { return blocks.getNumDroppedControlChanges(); }

    /** How many messages MIDI through had no reserved room for and did not pass (see
        MidiThrough); the room grows with prepareToPlay's block size. Any thread.
    */
    juce::uint64 getNumDroppedPassedMessages() const noexcept { return blocks.getNumDroppedPassedMessages(); }

    /** Double precision is not offered. A host that calls it anyway gets nothing processed and
        nothing passed through: the MIDI buffer is cleared. Audio thread.
    */
    void processBlock (juce::AudioBuffer<double>& audio, juce::MidiBuffer& midi) override;

    /** Non-zero, so that hosts keep calling the plug-in while their transport is stopped: the
        cursor can move at any time, and its control changes must go out.
    */
    double getTailLengthSeconds() const override;

    bool acceptsMidi() const override;
    bool producesMidi() const override;

    /** A new editor bound to this processor, or none when it cannot be allocated.
        Message thread.
    */
    juce::AudioProcessorEditor* createEditor() override;

    /** Told by the editor as it goes. Message thread. */
    void editorClosed() noexcept { editorOpen.store (false); }
    bool hasEditor() const override;

    //==============================================================================
    /** One program, "Brisquellum", which is the whole state: choosing it or renaming it does
        nothing.
    */
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    //==============================================================================
    /** Writes the state chunk (see plugin/StateChunk.h). A program chunk is the same whole
        state. Any thread except the audio thread.
    */
    void getStateInformation (juce::MemoryBlock& destination) override;

    /** Restores the state from a chunk; a chunk that is short, wrong or unreadable leaves the
        model unchanged. A chunk that carries the cursor drops the host's cursor moves still
        parked from before, so that getParameter answers the restored position. Restoring a program chunk restores the whole state, so that a host
        recalling a program gets back what it saved. Any thread except the audio thread.
    */
    void setStateInformation (const void* data, int sizeInBytes) override;
    void setCurrentProgramStateInformation (const void* data, int sizeInBytes) override;

private:
    //==============================================================================
    /** One of the two host parameters that move the cursor: "cursor X" (index 0, ID "cursorX")
        and "cursor Y" (index 1, ID "cursorY"). The value is the cursor's position on that axis,
        0..1 over the model's cursor range; the text is the position in pane units (pixels at
        the pane's zoom 1; see formatCursorPosition: "100" for 0.5, "66.6" for 0.333), so that
        hosts show what a user can compare with the pane. Every format's client reaches
        the parameters through the processor's parameter list (getParameters()); the plain
        range 0..200 is for clients that show plain values (LV2).

        Any thread, the audio thread included: the value and the texts never wait for the model
        and setting the value waits only on the message thread.
    */
    class CursorParameter final : public juce::RangedAudioParameter
    {
    public:
        CursorParameter (BrisquellPlugInInterface& owner, int axis);

        /** The value last set, or the cursor's position on the axis over the range when it
            moved some other way (a parked move's value while one is pending); always 0..1.
        */
        float getValue() const override;

        /** Moves the cursor to the value's position (see Brisquell::setCursorX). */
        void setValue (float newValue) override;

        float getDefaultValue() const override;

        /** The position the value moves the cursor to, in pane units ("100" for 0.5 on a range
            of 200, "66.6" for 0.333); empty for a value that moves it nowhere (not finite).
        */
        juce::String getText (float value, int maximumStringLength) const override;

        /** The value for a position typed in pane units, as getText writes it (a sign, digits,
            a decimal point), limited to 0..1; text that is no such number gives the current
            value, so that it changes nothing.
        */
        float getValueForText (const juce::String& text) const override;

        const juce::NormalisableRange<float>& getNormalisableRange() const override { return range; }

    private:
        BrisquellPlugInInterface& processor;
        const int axis;
        const int extent;
        const juce::NormalisableRange<float> range;

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CursorParameter)
    };

    //==============================================================================
    void timerCallback() override;

    /** Tells the host of the cursor moves performed since the last call, as edits of the cursor
        parameters with their gestures (see CursorPerformance), at the time in seconds (the
        millisecond counter's, whichever thread calls). The message thread, or the audio thread
        where reportsFromTheAudioThread() says so.
    */
    void reportPerformedCursorMoves (double nowSeconds);

    /** Whether the edits go to the host from the audio thread rather than the message thread. */
    bool reportsFromTheAudioThread() const noexcept;

    /** Applies the cursor moves parked since the last block (see MidiBlockRunner::Owner). */
    void blockStartsLocked() override { applyParkedCursorMovesLocked(); }

    /** The cursor parameters' value and its setter: see CursorParameter. Any thread. */
    float getCursorValue (int axis) const noexcept;
    void setCursorValue (int axis, float newValue);

    /** Applies parked cursor moves; waits for the model's lock only when allowed to (never on
        the audio thread). Any thread.
    */
    void applyParkedCursorMoves (bool mayWait);
    void applyParkedCursorMovesLocked();

    /** The host's rate as a whole number for the output interval, truncated toward zero;
        44100 when the host gave none that is usable.
    */
    int getIntegerSampleRate() const noexcept;
    static int toIntegerSampleRate (double rate) noexcept;

    //==============================================================================
    Brisquell model;
    MidiBlockRunner blocks{ model, *this };

    // Audio thread only: the buffer the block's output is written into while its input is
    // still being read.
    juce::MidiBuffer output;

    // Whether an editor is open (the message thread is then the host's), and whether a thread
    // is taking the performed cursor moves.
    std::atomic<bool> editorOpen{ false };
    std::atomic_flag reporting = ATOMIC_FLAG_INIT;

    // Cursor moves parked by threads that found the model busy (bit 0: x, bit 1: y).
    std::array<std::atomic<float>, 2> parkedCursor{ { { 0.0f }, { 0.0f } } };
    std::atomic<int> parkedMask{ 0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BrisquellPlugInInterface)
};

} // namespace brisquell
