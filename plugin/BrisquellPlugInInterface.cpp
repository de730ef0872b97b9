#include "plugin/BrisquellPlugInInterface.h"
#include "editor/BrisquellGUI.h"
#include "engine/SessionElement.h"
#include "plugin/StateChunk.h"

#include <cmath>
#include <limits>
#include <new>

namespace brisquell
{

namespace
{
// How often the message thread looks for cursor moves that found the model busy.
constexpr int parkedMoveIntervalMs = 20;

// The rate the host boundary assumes when the host gave none.
constexpr int fallbackSampleRate = 44100;

juce::String indexedText (const char* prefix, int index)
{
    return juce::String (prefix) + juce::String (index) + ")";
}

bool isControlChange (const juce::uint8* data, int numBytes) noexcept
{
    return data != nullptr && numBytes >= 3 && (data[0] & 0xf0) == 0xb0;
}
} // namespace

//==============================================================================
BrisquellPlugInInterface::BrisquellPlugInInterface()
    : juce::AudioProcessor (BusesProperties()),
      stash ((size_t) stashCapacity)
{
    if (juce::MessageManager::getInstanceWithoutCreating() != nullptr)
        startTimer (parkedMoveIntervalMs);
}

BrisquellPlugInInterface::~BrisquellPlugInInterface()
{
    stopTimer();
}

//==============================================================================
const juce::String BrisquellPlugInInterface::getName() const
{
    return "Brisquell";
}

void BrisquellPlugInInterface::prepareToPlay (double, int) {}

void BrisquellPlugInInterface::releaseResources() {}

void BrisquellPlugInInterface::processBlock (juce::AudioBuffer<float>& audio, juce::MidiBuffer& midi)
{
    const auto numSamples = juce::jmax (0, audio.getNumSamples());

    {
        const juce::ScopedTryLock tryLock (model.getLock());

        if (tryLock.isLocked())
        {
            runBlock (midi, numSamples);
            return;
        }
    }

    // Another thread is briefly in the model: keep the input for the next block instead of
    // waiting. The sample clock runs on; the output ticks due now go out with the next block.
    if (stashControlChanges (midi))
    {
        midi.clear();
        elapsedSamples += numSamples;
        return;
    }

    // The stash is full (the model has been busy for a very long time): waiting is better
    // than dropping the musician's input.
    const juce::ScopedLock lock (model.getLock());
    runBlock (midi, numSamples);
}

void BrisquellPlugInInterface::processBlock (juce::AudioBuffer<double>&, juce::MidiBuffer& midi)
{
    midi.clear();
}

void BrisquellPlugInInterface::runBlock (juce::MidiBuffer& midi, int numSamples)
{
    applyParkedCursorMovesLocked();
    feedStash();

    // All input of the block is applied before any of its output is worked out; the events'
    // offsets only order them.
    for (const auto metadata : midi)
        model.handleIncomingMidi (metadata.data, metadata.numBytes);

    const auto interval = model.getSamplesPerRefresh (getIntegerSampleRate());
    const auto blockEnd = elapsedSamples + numSamples;

    midi.clear();

    // A tick exactly on blockEnd belongs to the next block, so no offset reaches numSamples.
    while (nextOutputTime < blockEnd)
    {
        if (! model.needsOutput())
            break;

        auto offset = nextOutputTime - elapsedSamples;

        if (! (offset > 0.0))
            offset = 0.0;

        model.renderOutput (midi, (int) offset);
        nextOutputTime += interval;
    }

    elapsedSamples = blockEnd;
}

bool BrisquellPlugInInterface::stashControlChanges (const juce::MidiBuffer& midi) noexcept
{
    int numControlChanges = 0;

    for (const auto metadata : midi)
        if (isControlChange (metadata.data, metadata.numBytes))
            ++numControlChanges;

    if (numControlChanges > stashCapacity - numStashed)
        return false;

    // Only control changes reach the model; everything else would be ignored there anyway.
    for (const auto metadata : midi)
        if (isControlChange (metadata.data, metadata.numBytes))
            stash[numStashed++] = { metadata.data[0], metadata.data[1], metadata.data[2] };

    return true;
}

void BrisquellPlugInInterface::feedStash()
{
    for (int i = 0; i < numStashed; ++i)
        model.handleIncomingMidi (stash[i].data(), 3);

    numStashed = 0;
}

int BrisquellPlugInInterface::getIntegerSampleRate() const noexcept
{
    const auto rate = getSampleRate();

    if (! (rate > 0.0))
        return fallbackSampleRate;

    if (rate >= (double) std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();

    return (int) rate;
}

double BrisquellPlugInInterface::getTailLengthSeconds() const
{
    // Infinite: a MIDI generator whose output does not depend on its input.
    return std::numeric_limits<double>::infinity();
}

bool BrisquellPlugInInterface::acceptsMidi() const { return true; }

bool BrisquellPlugInInterface::producesMidi() const { return true; }

juce::AudioProcessorEditor* BrisquellPlugInInterface::createEditor()
{
    return new (std::nothrow) BrisquellGUI (*this);
}

bool BrisquellPlugInInterface::hasEditor() const { return true; }

//==============================================================================
JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

const juce::String BrisquellPlugInInterface::getInputChannelName (int channelIndex) const
{
    return indexedText ("getInputChannelName(", channelIndex);
}

const juce::String BrisquellPlugInInterface::getOutputChannelName (int channelIndex) const
{
    return indexedText ("getOutputChannelName(", channelIndex);
}

bool BrisquellPlugInInterface::isInputChannelStereoPair (int) const { return false; }

bool BrisquellPlugInInterface::isOutputChannelStereoPair (int) const { return false; }

//==============================================================================
int BrisquellPlugInInterface::getNumParameters() { return 2; }

const juce::String BrisquellPlugInInterface::getParameterName (int parameterIndex)
{
    switch (parameterIndex)
    {
        case 0:  return "cursor X";
        case 1:  return "cursor Y";
        default: return {};
    }
}

juce::String BrisquellPlugInInterface::getParameterName (int parameterIndex, int maximumStringLength)
{
    return getParameterName (parameterIndex).substring (0, maximumStringLength);
}

float BrisquellPlugInInterface::getParameter (int parameterIndex)
{
    if (! juce::isPositiveAndBelow (parameterIndex, 2))
        return 0.0f;

    if ((parkedMask.load() & (1 << parameterIndex)) != 0)
        return parkedCursor[(size_t) parameterIndex].load();

    return parameterIndex == 0 ? model.getCursorX() : model.getCursorY();
}

void BrisquellPlugInInterface::setParameter (int parameterIndex, float newValue)
{
    if (! juce::isPositiveAndBelow (parameterIndex, 2))
        return;

    // The model ignores a value that gives no finite position; so does the parking.
    const auto range = parameterIndex == 0 ? model.getCursorRange().x : model.getCursorRange().y;

    if (! std::isfinite ((float) range * newValue))
        return;

    parkedCursor[(size_t) parameterIndex].store (newValue);
    parkedMask.fetch_or (1 << parameterIndex);

    // Only the message thread may wait for the model: this call may come on the audio thread.
    applyParkedCursorMoves (juce::MessageManager::existsAndIsCurrentThread());
}

const juce::String BrisquellPlugInInterface::getParameterText (int parameterIndex)
{
    return juce::isPositiveAndBelow (parameterIndex, 2) ? indexedText ("getParameterText(", parameterIndex)
                                                        : juce::String();
}

juce::String BrisquellPlugInInterface::getParameterText (int parameterIndex, int maximumStringLength)
{
    return getParameterText (parameterIndex).substring (0, maximumStringLength);
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE

void BrisquellPlugInInterface::applyParkedCursorMoves (bool mayWait)
{
    if (parkedMask.load() == 0)
        return;

    if (mayWait)
    {
        const juce::ScopedLock lock (model.getLock());
        applyParkedCursorMovesLocked();
        return;
    }

    const juce::ScopedTryLock tryLock (model.getLock());

    if (tryLock.isLocked())
        applyParkedCursorMovesLocked();
}

void BrisquellPlugInInterface::applyParkedCursorMovesLocked()
{
    if (parkedMask.load() == 0)
        return;

    const auto mask = parkedMask.exchange (0);

    if ((mask & 1) != 0)
        model.setCursorX (parkedCursor[0].load());

    if ((mask & 2) != 0)
        model.setCursorY (parkedCursor[1].load());
}

void BrisquellPlugInInterface::timerCallback()
{
    applyParkedCursorMoves (true);
}

//==============================================================================
int BrisquellPlugInInterface::getNumPrograms() { return 0; }

int BrisquellPlugInInterface::getCurrentProgram() { return 0; }

void BrisquellPlugInInterface::setCurrentProgram (int) {}

const juce::String BrisquellPlugInInterface::getProgramName (int index)
{
    return indexedText ("getProgramName(", index);
}

void BrisquellPlugInInterface::changeProgramName (int, const juce::String&) {}

//==============================================================================
void BrisquellPlugInInterface::getStateInformation (juce::MemoryBlock& destination)
{
    if (auto document = model.createStateXml ("brisquell"))
        chunk::write (*document, destination);
}

void BrisquellPlugInInterface::setStateInformation (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0)
        return;

    // Parsed without the model's lock; the model swaps its state in under its own.
    auto document = chunk::read (data, (size_t) sizeInBytes);

    if (document == nullptr)
        return;

    // A document that carries the session puts the cursor where it was saved. A move parked
    // before it would otherwise land afterwards and undo that, and until then getParameter
    // would answer the parked value; moves parked while the model restores are newer and stay.
    if (state::hasSessionElement (*document))
        parkedMask.store (0);

    model.restoreStateXml (std::move (document));
}

void BrisquellPlugInInterface::setCurrentProgramStateInformation (const void* data, int sizeInBytes)
{
    setStateInformation (data, sizeInBytes);
}

} // namespace brisquell

//==============================================================================
/** The framework's plug-in factory: one new processor per plug-in instance, or none when it
    cannot be allocated.
*/
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new (std::nothrow) brisquell::BrisquellPlugInInterface();
}
