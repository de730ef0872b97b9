// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugin/BrisquellPlugInInterface.h"
#include "editor/BrisquellGUI.h"
#include "engine/MidiInstant.h"
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
    : juce::AudioProcessor (BusesProperties()),
      stash ((size_t) stashCapacity)
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
    // Room for the messages MIDI through passes: a generous number of events per sample.
    through.reserve ((size_t) juce::jmax (0, maximumExpectedSamplesPerBlock) * 8 * bytesPerOutputMessage);

    // The sample clock runs on; a running glide keeps its time in seconds at the new rate.
    if (sampleRate > 0.0)
        model.setSampleRate ((double) toIntegerSampleRate (sampleRate));

    // A project restored from now until the first block is one a host is opening.
    processedSinceStart.store (false);
}

void BrisquellPlugInInterface::releaseResources() {}

void BrisquellPlugInInterface::processBlock (juce::AudioBuffer<float>& audio, juce::MidiBuffer& midi)
{
    processMidi (midi, output, unlimitedRoom, juce::jmax (0, audio.getNumSamples()), true);

    if (reportsFromTheAudioThread())
        reportPerformedCursorMoves (juce::Time::getMillisecondCounterHiRes() / 1000.0);
}

void BrisquellPlugInInterface::processBlockWithoutWaiting (juce::MidiBuffer& midi, juce::MidiBuffer& spare, size_t room, int numSamples)
{
    processMidi (midi, spare, room, juce::jmax (0, numSamples), false);
}

void BrisquellPlugInInterface::processMidi (juce::MidiBuffer& midi, juce::MidiBuffer& out, size_t room, int numSamples, bool mayWait)
{
    {
        const juce::ScopedTryLock tryLock (model.getLock());

        if (tryLock.isLocked())
        {
            runBlock (midi, out, room, numSamples);
            return;
        }
    }

    // Another thread is briefly in the model: keep the input for the next block instead of
    // waiting. The sample clock runs on; the output ticks due now go out with the next block.
    if (stashMessages (midi, numSamples))
    {
        passUnsortable (midi);
        elapsedSamples += numSamples;
        model.setSampleClock (elapsedSamples, getIntegerSampleRate());
        return;
    }

    if (! mayWait)
    {
        numDroppedControlChanges.fetch_add ((juce::uint64) stashWhatFits (midi, numSamples));
        passUnsortable (midi);
        elapsedSamples += numSamples;
        model.setSampleClock (elapsedSamples, getIntegerSampleRate());
        return;
    }

    // The stash is full (the model has been busy for a very long time): waiting is better
    // than dropping the musician's input.
    const juce::ScopedLock lock (model.getLock());
    runBlock (midi, out, room, numSamples);
}

void BrisquellPlugInInterface::processBlock (juce::AudioBuffer<double>&, juce::MidiBuffer& midi)
{
    midi.clear();
}

/*  The tick rule.

    Output ticks lie on the sample clock (samples since construction); at a tick the model
    writes what is due, if anything, and the next tick may come one interval later
    (nextOutputTime).

    As long as nothing plays from a controller (no glide time, no running glide, no cursor
    source, no scene trigger, no learn request), the rule is the one hosts have always seen:
    the whole block's input is applied at its start, and ticks fall at nextOutputTime, which
    advances one interval per write. After a quiet spell it lies behind the clock, so writes
    land at offset 0 of each block with output pending until it has caught up, one interval per
    write; with an interval shorter than the block, one write per block.

    Once something plays from a controller, the rule is exact on the absolute sample clock, so
    that the same input at the same sample times gives the same output at the same times,
    whatever the block size:
    - every incoming message takes effect at its own sample time (its offset, kept inside the
      block); what reaches the model between blocks (host parameters, the editor, parked moves)
      takes effect at the next block's first sample;
    - the model is active while output is pending or a glide runs; a tick falls at
      max (nextOutputTime, the time the model became active), never before the block's start;
      ticks before an event's time are worked out before the event, so a tick sees the input
      up to and including its own sample time;
    - at a tick a running glide first places the cursor at its position for that time; then
      the due output is written; then nextOutputTime = the tick + interval. A glide thus ticks
      on a grid that starts where it starts, and its first tick (at its start, where it has not
      moved yet) writes nothing of its own.
    Only a block that found the model busy breaks this: its input is applied with the next
    block, at the sample times it arrived at, and its ticks come no earlier than that block.
*/
void BrisquellPlugInInterface::runBlock (juce::MidiBuffer& midi, juce::MidiBuffer& out, size_t room, int numSamples)
{
    const auto sampleRate = getIntegerSampleRate();
    const auto interval = model.getSamplesPerRefresh (sampleRate);
    const auto blockEnd = elapsedSamples + numSamples;
    // What the host's buffer is known to hold: its input, or the room a caller gave.
    const auto inputBytes = juce::jmax ((size_t) midi.data.size(), room == unlimitedRoom ? (size_t) 0 : room);

    model.setSampleClock (elapsedSamples, sampleRate);
    applyParkedCursorMovesLocked();
    through.begin (model.isMidiThrough());
    feedStash();
    // The stash set the clock back to the times its messages arrived at; the block starts now.
    model.setSampleClock (elapsedSamples, sampleRate);

    const auto isExact = model.usesExactTiming();
    const auto isSetUp = takeHostSetUp();
    activeSince = elapsedSamples;
    out.clear();
    largestTickControllers = -1; // the kinds may have changed since the last block
    const auto isOnRestoringThread = takeRestoreProbe();

    auto fromHost = false;

    MidiInstant::forEach (midi, [&] (const juce::MidiMessageMetadata& metadata, bool isHostReset)
                          {
        if (fromHost != (isSetUp || isHostReset))
        {
            fromHost = ! fromHost;
            model.setIncomingFromHost (fromHost);
        }

        const auto offset = juce::jlimit (0, juce::jmax (0, numSamples - 1), metadata.samplePosition);

        if (! isExact)
        {
            // Without sources, triggers or a learn request (what exact timing stands for), only
            // a control change can be of use to the model.
            if ((metadata.data[0] & 0xf0) != 0xb0)
            {
                through.pass (metadata.data, metadata.numBytes, offset);
                return;
            }

            if (! model.handleIncomingMidi (metadata.data, metadata.numBytes, elapsedSamples))
                through.pass (metadata.data, metadata.numBytes, offset);

            return;
        }

        const auto time = timeOfEvent (metadata.samplePosition, numSamples);
        runTicksBefore (time, true, interval, out, room);

        const auto wasActive = isModelActive();

        if (! model.handleIncomingMidi (metadata.data, metadata.numBytes, time))
            through.pass (metadata.data, metadata.numBytes, offset);

        if (! wasActive && isModelActive())
            activeSince = time; });

    model.setIncomingFromHost (false);

    // A tick exactly on blockEnd belongs to the next block, so no offset reaches numSamples.
    runTicksBefore (blockEnd, isExact, interval, out, room);

    // With MIDI through on, the block is always merged, so that the storage reserved for it
    // stays in the host's buffer.
    if (through.isEnabled())
        through.mergeInto (midi, out, inputBytes);
    else
        midi.swapWith (out);

    if (isOnRestoringThread && ! midi.isEmpty())
        restoredOutputProbed = true;

    elapsedSamples = blockEnd;
    processedSinceStart.store (true);
    model.setSampleClock (elapsedSamples, sampleRate);
}

void BrisquellPlugInInterface::runTicksBefore (double until, bool isExact, int interval, juce::MidiBuffer& buffer, size_t room)
{
    for (;;)
    {
        const auto isGliding = isExact && model.isGliding();

        if (! isGliding && ! model.needsOutput())
            return;

        const auto due = isExact ? juce::jmax (nextOutputTime, activeSince, elapsedSamples) : nextOutputTime;

        if (! (due < until))
            return;

        if (isGliding)
            model.advanceGlideTo (due);

        if (model.needsOutput())
        {
            auto offset = due - elapsedSamples;

            if (! (offset > 0.0))
                offset = 0.0;

            // A tick left out keeps the output pending: the next tick with room sends it.
            if (room == unlimitedRoom || hasRoomForTick (buffer, room))
                model.renderOutput (buffer, (int) offset);
            else
                numDroppedOutputTicks.fetch_add (1);
        }

        nextOutputTime = (isExact ? due : nextOutputTime) + interval;
    }
}

bool BrisquellPlugInInterface::hasRoomForTick (const juce::MidiBuffer& buffer, size_t room)
{
    const auto used = (size_t) buffer.data.size();
    const auto left = room > used ? room - used : 0;
    const auto numControllers = model.getNumControllers();

    // Four messages a controller is the most any kind sends; only a tight room needs the sum.
    if (left >= (size_t) numControllers * 4 * bytesPerOutputMessage)
        return true;

    // Within a block the kinds stay; only learning adds controllers.
    if (numControllers != largestTickControllers)
    {
        largestTickBytes = getLargestTickBytes();
        largestTickControllers = numControllers;
    }

    return left >= largestTickBytes;
}

size_t BrisquellPlugInInterface::getLargestTickBytes() const
{
    const juce::ScopedLock lock (model.getLock());
    size_t numMessages = 0;

    for (int i = model.getNumControllers(); --i >= 0;)
        if (const auto* controller = model.getController (i))
            numMessages += (size_t) getNumMessages (controller->getKind());

    return numMessages * bytesPerOutputMessage;
}

bool BrisquellPlugInInterface::takeRestoreProbe()
{
    const auto restoringThread = restoredOnThread.load();

    if (restoringThread == nullptr)
        return false;

    if (restoringThread == juce::Thread::getCurrentThreadId())
        return true;

    // The first block on another thread: the host's real processing. When a block on the
    // restoring thread took the restored values (a host's probe run, whose output goes
    // nowhere), they go out again at this block's first tick, as after the restore itself.
    restoredOnThread.store (nullptr);

    if (std::exchange (restoredOutputProbed, false) && model.getNumScenes() > 0)
        model.sceneMoved();

    return false;
}

bool BrisquellPlugInInterface::isModelActive() const
{
    return model.needsOutput() || model.isGliding();
}

double BrisquellPlugInInterface::timeOfEvent (int sampleOffset, int numSamples) const noexcept
{
    return elapsedSamples + juce::jlimit (0, juce::jmax (0, numSamples - 1), sampleOffset);
}

bool BrisquellPlugInInterface::stashMessages (const juce::MidiBuffer& midi, int numSamples) noexcept
{
    int numKept = 0;

    for (const auto metadata : midi)
        if (MidiSorter::isSortable (metadata.data, metadata.numBytes))
            ++numKept;

    if (numKept > stashCapacity - numStashed)
        return false;

    stashWhatFits (midi, numSamples);
    return true;
}

int BrisquellPlugInInterface::stashWhatFits (const juce::MidiBuffer& midi, int numSamples) noexcept
{
    int numDropped = 0;
    const auto isSetUp = takeHostSetUp();

    // Only what the model can use is kept; everything else would be ignored there anyway.
    MidiInstant::forEach (midi, [&] (const juce::MidiMessageMetadata& metadata, bool isHostReset)
                          {
        if (! MidiSorter::isSortable (metadata.data, metadata.numBytes))
            return;

        if (numStashed == stashCapacity)
        {
            ++numDropped;
            return;
        }

        auto& kept = stash[numStashed++];
        kept.time = timeOfEvent (metadata.samplePosition, numSamples);
        kept.size = juce::jmin (3, metadata.numBytes);
        kept.bytes = {};
        kept.isHosts = isSetUp || isHostReset;
        std::copy (metadata.data, metadata.data + kept.size, kept.bytes.begin()); });

    return numDropped;
}

void BrisquellPlugInInterface::feedStash()
{
    // What the model does not use of it goes out at the block's start: it is late already.
    for (int i = 0; i < numStashed; ++i)
    {
        model.setIncomingFromHost (stash[i].isHosts);

        if (! model.handleIncomingMidi (stash[i].bytes.data(), stash[i].size, stash[i].time))
            through.pass (stash[i].bytes.data(), stash[i].size, 0);
    }

    model.setIncomingFromHost (false);
    numStashed = 0;
}

void BrisquellPlugInInterface::passUnsortable (juce::MidiBuffer& midi)
{
    const auto inputBytes = (size_t) midi.data.size();
    through.begin (model.isMidiThrough());

    for (const auto metadata : midi)
        if (! MidiSorter::isSortable (metadata.data, metadata.numBytes))
            through.pass (metadata.data, metadata.numBytes, metadata.samplePosition);

    if (through.isEmpty())
    {
        midi.clear();
        return;
    }

    juce::MidiBuffer none; // holds no storage: nothing allocated
    through.mergeInto (midi, none, inputBytes);
}

bool BrisquellPlugInInterface::takeHostSetUp() noexcept
{
    return hostSetUpPending.exchange (false);
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
    restoredOnThread.store (juce::Thread::getCurrentThreadId());

    // A host opening a project restores it before processing starts, then sends its own set-up
    // (its mixer's volume and pan, say) with the first block: that block's control changes are
    // the host's, not the musician's. A state with nothing in it (a new instance's, as a host
    // applying the default preset restores it) has nothing to keep.
    if (! processedSinceStart.load() && (model.getNumControllers() > 0 || model.getNumScenes() > 0))
        hostSetUpPending.store (true);
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
