// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugin/BrisquellPlugInInterface.h"
#include "editor/BrisquellGUI.h"
#include "engine/document/DocumentElements.h"
#include "plugin/StateChunk.h"

#include <cmath>
#include <limits>
#include <new>
#include <utility>

namespace brisquell
{

namespace
{
// How often the message thread looks for cursor moves that found the model busy.
constexpr int parkedMoveIntervalMs = 20;

// The rate the host boundary assumes when the host gave none.
constexpr int fallbackSampleRate = 44100;

// The one program's name.
constexpr const char* programName = "Brisquellum";

/** True when the text starts (after blanks and one sign) with a digit, or with a decimal point
    and a digit: a number as the cursor parameters write their positions.
*/
bool startsWithNumber (const juce::String& text)
{
    const auto trimmed = text.trimStart();
    auto p = trimmed.getCharPointer();

    if (*p == '+' || *p == '-')
        ++p;

    if (*p == '.')
        ++p;

    return juce::CharacterFunctions::isDigit (*p);
}

} // namespace

juce::String formatCursorPosition (float position)
{
    // Whole positions as they always read; otherwise up to three decimals, which tell a 14-bit
    // source's neighbouring values apart (0.0122 units a step), without trailing zeros.
    if (position == std::floor (position))
        return juce::String ((int) position);

    auto text = juce::String ((double) position, 3);

    if (text.containsChar ('.'))
        text = text.trimCharactersAtEnd ("0").trimCharactersAtEnd (".");

    return text;
}

//==============================================================================
BrisquellPlugInInterface::BrisquellPlugInInterface()
    : juce::AudioProcessor (BusesProperties())
{
    // Room for a busy block's output from the start; it grows, if need be, to the largest block.
    output.ensureSize (2048);

    addParameter (new CursorParameter (*this, 0));
    addParameter (new CursorParameter (*this, 1));

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

void BrisquellPlugInInterface::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    blocks.prepare (maximumExpectedSamplesPerBlock);

    // The sample clock runs on; a running glide keeps its time in seconds at the new rate.
    if (sampleRate > 0.0)
        model.setSampleRate ((double) toIntegerSampleRate (sampleRate));
}

void BrisquellPlugInInterface::releaseResources() {}

void BrisquellPlugInInterface::processBlock (juce::AudioBuffer<float>& audio, juce::MidiBuffer& midi)
{
    blocks.process (midi, output, MidiBlockRunner::unlimitedRoom, juce::jmax (0, audio.getNumSamples()), getIntegerSampleRate(), true);

    if (reportsFromTheAudioThread())
        reportPerformedCursorMoves (juce::Time::getMillisecondCounterHiRes() / 1000.0);
}

void BrisquellPlugInInterface::processBlockWithoutWaiting (juce::MidiBuffer& midi, juce::MidiBuffer& spare, size_t room, int numSamples)
{
    blocks.process (midi, spare, room, juce::jmax (0, numSamples), getIntegerSampleRate(), false);
}

void BrisquellPlugInInterface::processBlock (juce::AudioBuffer<double>&, juce::MidiBuffer& midi)
{
    midi.clear();
}

size_t BrisquellPlugInInterface::getLargestTickBytes() const
{
    return blocks.getLargestTickBytes();
}

int BrisquellPlugInInterface::getIntegerSampleRate() const noexcept
{
    return toIntegerSampleRate (getSampleRate());
}

int BrisquellPlugInInterface::toIntegerSampleRate (double rate) noexcept
{
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
    auto* editor = new (std::nothrow) BrisquellGUI (*this);
    editorOpen.store (editor != nullptr);
    return editor;
}

bool BrisquellPlugInInterface::hasEditor() const { return true; }

//==============================================================================
BrisquellPlugInInterface::CursorParameter::CursorParameter (BrisquellPlugInInterface& owner, int cursorAxis)
    : juce::RangedAudioParameter (juce::ParameterID{ cursorAxis == 0 ? "cursorX" : "cursorY", 1 },
                                  cursorAxis == 0 ? "cursor X" : "cursor Y"),
      processor (owner),
      axis (cursorAxis),
      extent (cursorAxis == 0 ? owner.getModel().getCursorRange().x : owner.getModel().getCursorRange().y),
      range (0.0f, (float) extent)
{
}

float BrisquellPlugInInterface::CursorParameter::getValue() const
{
    return processor.getCursorValue (axis);
}

void BrisquellPlugInInterface::CursorParameter::setValue (float newValue)
{
    processor.setCursorValue (axis, newValue);
}

float BrisquellPlugInInterface::CursorParameter::getDefaultValue() const
{
    return 0.0f;
}

juce::String BrisquellPlugInInterface::CursorParameter::getText (float value, int maximumStringLength) const
{
    if (const auto coordinate = Brisquell::cursorCoordinateFor (value, extent))
        return formatCursorPosition (*coordinate).substring (0, maximumStringLength);

    return {};
}

float BrisquellPlugInInterface::CursorParameter::getValueForText (const juce::String& text) const
{
    if (! startsWithNumber (text))
        return getValue();

    const auto position = juce::jlimit (0.0, (double) extent, text.trim().getDoubleValue());
    const auto value = (float) (position / extent);

    // Of the neighbouring values, the one that puts the cursor exactly at the typed position,
    // when there is one: a position read back and typed in again lands where it was.
    for (const auto candidate : { value, std::nextafter (value, 0.0f), std::nextafter (value, 1.0f) })
        if (Brisquell::cursorCoordinateFor (candidate, extent) == (float) position)
            return candidate;

    return value;
}

//==============================================================================
float BrisquellPlugInInterface::getCursorValue (int axis) const noexcept
{
    if ((parkedMask.load() & (1 << axis)) != 0)
        return parkedCursor[(size_t) axis].load();

    return axis == 0 ? model.getCursorX() : model.getCursorY();
}

void BrisquellPlugInInterface::setCursorValue (int axis, float newValue)
{
    // The model ignores a value that gives no position; so does the parking.
    const auto extent = axis == 0 ? model.getCursorRange().x : model.getCursorRange().y;

    if (! Brisquell::cursorCoordinateFor (newValue, extent))
        return;

    parkedCursor[(size_t) axis].store (juce::jlimit (0.0f, 1.0f, newValue));
    parkedMask.fetch_or (1 << axis);

    // Only the message thread may wait for the model: this call may come on the audio thread.
    applyParkedCursorMoves (juce::MessageManager::existsAndIsCurrentThread());
}

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

    if (! reportsFromTheAudioThread())
        reportPerformedCursorMoves (juce::Time::getMillisecondCounterHiRes() / 1000.0);
}

bool BrisquellPlugInInterface::reportsFromTheAudioThread() const noexcept
{
    // The VST 2.4 client runs the message thread of its own while no editor is open, a thread
    // the host has never seen: one host crashed recording edits that came from it. The audio
    // thread is the host's own, and the client hands the edits to the host there as they come,
    // without allocating or waiting. While the editor is open, the host's own idle calls run the
    // message thread, and the edits go from there. The other clients queue edits themselves.
    return wrapperType == wrapperType_VST && ! editorOpen.load();
}

void BrisquellPlugInInterface::reportPerformedCursorMoves (double nowSeconds)
{
    // One thread at a time takes the moves; one that finds another at it leaves them for later.
    if (reporting.test_and_set())
        return;

    const auto reports = model.getCursorPerformance().take (nowSeconds);
    auto& parameters = getParameters();

    for (int axis = 0; axis < 2; ++axis)
    {
        const auto& report = reports[(size_t) axis];
        auto* parameter = parameters[axis];

        if (report.begin)
            parameter->beginChangeGesture();

        // The host hears of the value as of a user's edit; the cursor is already there.
        if (report.value)
            parameter->sendValueChangedMessageToListeners (*report.value);

        if (report.end)
            parameter->endChangeGesture();
    }

    reporting.clear();
}

//==============================================================================
int BrisquellPlugInInterface::getNumPrograms() { return 1; }

int BrisquellPlugInInterface::getCurrentProgram() { return 0; }

void BrisquellPlugInInterface::setCurrentProgram (int) {}

const juce::String BrisquellPlugInInterface::getProgramName (int index)
{
    return index == 0 ? juce::String (programName) : juce::String();
}

void BrisquellPlugInInterface::changeProgramName (int, const juce::String&) {}

//==============================================================================
// Every name a controller or a scene keeps is written with at most one reference per character:
// the next restore must accept it.
static_assert (chunk::maxReferencesPerValue >= maxStorableNameLength);

void BrisquellPlugInInterface::getStateInformation (juce::MemoryBlock& destination)
{
    // The chunk replaces whatever the block held: a host may hand over a block it used before.
    if (auto document = model.createStateXml ("brisquell"))
        chunk::write (*document, destination);
    else
        destination.reset();
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

    // A state with nothing in it (a new instance's, as a host applying the default preset
    // restores it) carries no project whose opening the host's set-up could follow.
    blocks.stateRestored (model.getNumControllers() > 0 || model.getNumScenes() > 0);
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
