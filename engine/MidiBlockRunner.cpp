// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MidiBlockRunner.h"
#include "engine/MidiInstant.h"

#include <utility>

namespace brisquell
{

MidiBlockRunner::MidiBlockRunner (Brisquell& modelToRun, Owner& blockOwner)
    : model (modelToRun), owner (blockOwner), stash ((size_t) stashCapacity)
{
}

void MidiBlockRunner::prepare (int maximumExpectedSamplesPerBlock)
{
    // Room for the messages MIDI through passes: a generous number of events per sample.
    through.reserve ((size_t) juce::jmax (0, maximumExpectedSamplesPerBlock) * 8 * bytesPerOutputMessage);

    // A project restored from now until the first block is one a host is opening.
    processedSinceStart.store (false);
}

void MidiBlockRunner::stateRestored (bool hasContent)
{
    restoredOnThread.store (juce::Thread::getCurrentThreadId());

    if (! processedSinceStart.load() && hasContent)
        hostSetUpPending.store (true);
}

//==============================================================================
void MidiBlockRunner::process (juce::MidiBuffer& midi, juce::MidiBuffer& out, size_t room, int numSamples, int sampleRate, bool mayWait)
{
    {
        const juce::ScopedTryLock tryLock (model.getLock());

        if (tryLock.isLocked())
        {
            runBlock (midi, out, room, numSamples, sampleRate);
            return;
        }
    }

    if (skipBusyBlock (midi, numSamples, sampleRate, mayWait))
        return;

    // The stash is full (the model has been busy for a very long time): waiting is better
    // than dropping the musician's input.
    const juce::ScopedLock lock (model.getLock());
    runBlock (midi, out, room, numSamples, sampleRate);
}

bool MidiBlockRunner::skipBusyBlock (juce::MidiBuffer& midi, int numSamples, int sampleRate, bool mayWait)
{
    // Another thread is briefly in the model: keep the input for the next block instead of
    // waiting (or, where the block may not wait, keep what fits and count the rest). The sample
    // clock runs on; the output ticks due now go out with the next block.
    if (! stashMessages (midi, numSamples))
    {
        if (mayWait)
            return false;

        numDroppedControlChanges.fetch_add ((juce::uint64) stashWhatFits (midi, numSamples));
    }

    passUnsortable (midi);
    elapsedSamples += numSamples;
    model.setSampleClock (elapsedSamples, sampleRate);
    return true;
}

void MidiBlockRunner::runBlock (juce::MidiBuffer& midi, juce::MidiBuffer& out, size_t room, int numSamples, int sampleRate)
{
    const auto interval = model.getSamplesPerRefresh (sampleRate);
    const auto blockEnd = elapsedSamples + numSamples;
    // What the host's buffer is known to hold: its input, or the room a caller gave.
    const auto inputBytes = juce::jmax ((size_t) midi.data.size(), room == unlimitedRoom ? (size_t) 0 : room);

    model.setSampleClock (elapsedSamples, sampleRate);
    owner.blockStartsLocked();
    through.begin (model.isMidiThrough());
    feedStash();
    // The stash set the clock back to the times its messages arrived at; the block starts now.
    model.setSampleClock (elapsedSamples, sampleRate);

    const auto isExact = model.usesExactTimingLocked();
    activeSince = elapsedSamples;
    out.clear();
    largestTickControllers = -1; // the kinds may have changed since the last block
    const auto isOnRestoringThread = takeRestoreProbe();

    runInput (midi, out, room, numSamples, interval, isExact);

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

void MidiBlockRunner::runInput (const juce::MidiBuffer& midi, juce::MidiBuffer& out, size_t room, int numSamples, int interval, bool isExact)
{
    const auto isSetUp = takeHostSetUp();
    auto fromHost = false;

    MidiInstant::forEach (midi, [&] (const juce::MidiMessageMetadata& metadata, bool isHostReset)
                          {
        if (fromHost != (isSetUp || isHostReset))
        {
            fromHost = ! fromHost;
            model.setIncomingFromHostLocked (fromHost);
        }

        const auto offset = juce::jlimit (0, juce::jmax (0, numSamples - 1), metadata.samplePosition);

        if (! isExact)
        {
            // Without sources, triggers or a learn request (what exact timing stands for), only
            // a control change can be of use to the model.
            if ((metadata.data[0] & 0xf0) != 0xb0
                || ! model.handleIncomingMidiLocked (metadata.data, metadata.numBytes, elapsedSamples))
                through.pass (metadata.data, metadata.numBytes, offset);

            return;
        }

        const auto time = timeOfEvent (metadata.samplePosition, numSamples);
        runTicksBefore (time, true, interval, out, room);

        const auto wasActive = isModelActive();

        if (! model.handleIncomingMidiLocked (metadata.data, metadata.numBytes, time))
            through.pass (metadata.data, metadata.numBytes, offset);

        if (! wasActive && isModelActive())
            activeSince = time; });

    model.setIncomingFromHostLocked (false);
}

void MidiBlockRunner::runTicksBefore (double until, bool isExact, int interval, juce::MidiBuffer& buffer, size_t room)
{
    for (;;)
    {
        const auto isGliding = isExact && model.isGlidingLocked();

        if (! isGliding && ! model.needsOutputLocked())
            return;

        const auto due = isExact ? juce::jmax (nextOutputTime, activeSince, elapsedSamples) : nextOutputTime;

        if (! (due < until))
            return;

        if (isGliding)
            model.advanceGlideToLocked (due);

        if (model.needsOutputLocked())
        {
            auto offset = due - elapsedSamples;

            if (! (offset > 0.0))
                offset = 0.0;

            // A tick left out keeps the output pending: the next tick with room sends it. The
            // block's own ticks are all the buffer holds, in time order: each goes at its end.
            if (room == unlimitedRoom || hasRoomForTick (buffer, room))
            {
                MidiTickWriter writer (buffer, (int) offset, MidiTickWriter::atEnd);
                model.renderOutputLocked (writer);
            }
            else
                numDroppedOutputTicks.fetch_add (1);
        }

        nextOutputTime = (isExact ? due : nextOutputTime) + interval;
    }
}

bool MidiBlockRunner::hasRoomForTick (const juce::MidiBuffer& buffer, size_t room)
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

size_t MidiBlockRunner::getLargestTickBytes() const
{
    const juce::ScopedLock lock (model.getLock());
    size_t numMessages = 0;

    for (int i = model.getNumControllers(); --i >= 0;)
        if (const auto* controller = model.getController (i))
            numMessages += (size_t) getNumMessages (controller->getKind());

    return numMessages * bytesPerOutputMessage;
}

bool MidiBlockRunner::takeRestoreProbe()
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

double MidiBlockRunner::timeOfEvent (int sampleOffset, int numSamples) const noexcept
{
    return elapsedSamples + juce::jlimit (0, juce::jmax (0, numSamples - 1), sampleOffset);
}

//==============================================================================
bool MidiBlockRunner::stashMessages (const juce::MidiBuffer& midi, int numSamples) noexcept
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

int MidiBlockRunner::stashWhatFits (const juce::MidiBuffer& midi, int numSamples) noexcept
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

void MidiBlockRunner::feedStash()
{
    // What the model does not use of it goes out at the block's start: it is late already.
    for (int i = 0; i < numStashed; ++i)
    {
        model.setIncomingFromHostLocked (stash[i].isHosts);

        if (! model.handleIncomingMidiLocked (stash[i].bytes.data(), stash[i].size, stash[i].time))
            through.passLate (stash[i].bytes.data(), stash[i].size);
    }

    model.setIncomingFromHostLocked (false);
    numStashed = 0;
}

void MidiBlockRunner::passUnsortable (juce::MidiBuffer& midi)
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

} // namespace brisquell
