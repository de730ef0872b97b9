#pragma once

#include "engine/Brisquell.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>

namespace brisquell
{

//==============================================================================
/** The plug-in's audio processor: it owns the morph model and adds the timing of MIDI output
    on the host's sample clock, the two host parameters that move the cursor ("cursor X" and
    "cursor Y") and the state chunk. It processes no audio and has no audio buses.

    Threads and locking
    -------------------
    processBlock runs on the host's audio thread and only try-locks the model. When another
    thread is briefly inside the model, the block's control changes go into a preallocated
    stash and the block writes no output; the next block that gets the lock hands the stash to
    the model before its own input. So the audio thread never waits, and no input is lost.

    Host parameter calls can come on any thread, the audio thread included. A cursor move
    whose thread finds the model busy is parked in an atomic and applied by the next block, by
    the next parameter call or by a timer on the message thread, whichever comes first;
    getParameter answers the parked value meanwhile.

    Chunks are packed and parsed without the model's lock; the model takes it for the short
    moments it reads or replaces its state.
*/
class BrisquellPlugInInterface final : public juce::AudioProcessor,
                                       private juce::Timer
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
    double getNextOutputTime() const noexcept { return nextOutputTime; }
    double getElapsedSamples() const noexcept { return elapsedSamples; }

    /** The number of control changes the stash can hold while the model is busy. */
    static constexpr int stashCapacity = 65536;

    //==============================================================================
    const juce::String getName() const override;

    /** Does nothing: the sample clock runs on across suspends and sample-rate changes. */
    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;

    /** Hands the block's incoming control changes to the model, clears the MIDI buffer and
        writes the due control changes at the output ticks that fall inside the block. Incoming
        MIDI is never passed through. Audio thread; allocates nothing once the buffer has room.
    */
    void processBlock (juce::AudioBuffer<float>& audio, juce::MidiBuffer& midi) override;

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
    bool hasEditor() const override;

    //==============================================================================
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

    /** Texts built from a literal prefix, the index in decimal and ")". Any thread. */
    const juce::String getInputChannelName (int channelIndex) const override;
    const juce::String getOutputChannelName (int channelIndex) const override;
    bool isInputChannelStereoPair (int index) const override;
    bool isOutputChannelStereoPair (int index) const override;

    /** The two host parameters: 0 is "cursor X", 1 is "cursor Y", both 0..1 over the model's
        cursor range. Other indices answer empty text or 0 and change nothing. Any thread,
        the audio thread included: these never wait for the model.
    */
    int getNumParameters() override;
    const juce::String getParameterName (int parameterIndex) override;
    juce::String getParameterName (int parameterIndex, int maximumStringLength) override;
    float getParameter (int parameterIndex) override;
    void setParameter (int parameterIndex, float newValue) override;
    const juce::String getParameterText (int parameterIndex) override;
    juce::String getParameterText (int parameterIndex, int maximumStringLength) override;

    JUCE_END_IGNORE_WARNINGS_GCC_LIKE

    //==============================================================================
    /** There are no programs; the program calls answer "getProgramName(" + index + ")" and
        otherwise do nothing.
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
    void timerCallback() override;

    /** The block's work once the model's lock is held: parked moves, stashed and new input,
        then the output ticks. Audio thread.
    */
    void runBlock (juce::MidiBuffer& midi, int numSamples);

    /** Copies the block's control changes into the stash; false (and nothing copied) when they
        do not all fit. Audio thread; allocates nothing.
    */
    bool stashControlChanges (const juce::MidiBuffer& midi) noexcept;

    /** Hands the stashed control changes to the model, oldest first. Audio thread, lock held. */
    void feedStash();

    /** Applies parked cursor moves; waits for the model's lock only when allowed to (never on
        the audio thread). Any thread.
    */
    void applyParkedCursorMoves (bool mayWait);
    void applyParkedCursorMovesLocked();

    /** The host's rate as a whole number for the output interval, truncated toward zero;
        44100 when the host gave none that is usable.
    */
    int getIntegerSampleRate() const noexcept;

    //==============================================================================
    double nextOutputTime = 0.0;
    double elapsedSamples = 0.0;
    Brisquell model;

    // Audio thread only: control changes that arrived while the model was busy.
    using StashedMessage = std::array<juce::uint8, 3>;
    juce::HeapBlock<StashedMessage> stash;
    int numStashed = 0;

    // Cursor moves parked by threads that found the model busy (bit 0: x, bit 1: y).
    std::array<std::atomic<float>, 2> parkedCursor { { { 0.0f }, { 0.0f } } };
    std::atomic<int> parkedMask { 0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BrisquellPlugInInterface)
};

} // namespace brisquell
