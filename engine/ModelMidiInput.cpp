// SPDX-License-Identifier: GPL-3.0-or-later
// The model's MIDI input: what the sorter hands it, and the lookup that finds a control change's
// controllers.
// The rest of the model is in Brisquell.cpp.
#include "engine/Brisquell.h"

namespace brisquell
{

namespace
{
int lookupKey (ControllerKind kind, int channel, int number) noexcept
{
    return ((int) kind * 16 + channel - 1) * 128 + (number & 127);
}
} // namespace

//==============================================================================
void Brisquell::handleIncomingMidi (const juce::MidiMessage& message)
{
    handleIncomingMidi (message.getRawData(), message.getRawDataSize());
}

void Brisquell::handleIncomingMidi (const juce::uint8* data, int numBytes)
{
    const juce::ScopedLock sl (lock);
    midiSorter.sort (data, numBytes);
}

bool Brisquell::handleIncomingMidi (const juce::uint8* data, int numBytes, double time)
{
    const juce::ScopedLock sl (lock);
    return handleIncomingMidiLocked (data, numBytes, time);
}

bool Brisquell::handleIncomingMidiLocked (const juce::uint8* data, int numBytes, double time)
{
    setSampleClock (time, 0.0);
    return midiSorter.sort (data, numBytes);
}

void Brisquell::setIncomingFromHost (bool isHosts)
{
    const juce::ScopedLock sl (lock);
    setIncomingFromHostLocked (isHosts);
}

int Brisquell::handleControllerValue (ControllerKind kind, int channel, int number, int value, bool mayLearn)
{
    const juce::ScopedLock sl (lock);
    const auto numTaken = storeControllerValue (kind, channel, number, value);

    if (numTaken > 0 || ! mayLearn || value < 0 || ! autoLearn.load())
        return numTaken;

    addController (number, channel, kind);
    return storeControllerValue (kind, channel, number, value);
}

int Brisquell::storeControllerValue (ControllerKind kind, int channel, int number, int value)
{
    if (lookupStale)
        rebuildMidiLookup();

    if (channel < 1 || channel > 16 || number < 0 || number > getMaximumNumber (kind))
        return 0;

    int matched = 0;

    // setValue can key a scene but never adds or removes controllers, so the chain stays valid.
    for (int index = lookupHeads[(size_t) lookupKey (kind, channel, number)]; index >= 0;)
    {
        auto& controller = *controllers[(size_t) index];
        index = controller.nextWithSameKey;

        if (controller.ccNumber != number)
            continue;

        if (value >= 0)
            controller.setValue (value);

        ++matched;
    }

    return matched;
}

void Brisquell::rebuildMidiLookup()
{
    lookupHeads.fill (-1);
    auto& tails = lookupTails;
    tails.fill (-1);

    for (size_t i = 0; i < controllers.size(); ++i)
    {
        auto& c = *controllers[i];
        c.nextWithSameKey = -1;

        // Controllers outside the MIDI ranges (possible after a restore) never match input.
        if (c.channel < 1 || c.channel > 16 || c.ccNumber < 0 || c.ccNumber > getMaximumNumber (c.kind))
            continue;

        const auto key = (size_t) lookupKey (c.kind, c.channel, c.ccNumber);

        if (tails[key] < 0)
            lookupHeads[key] = (int) i;
        else
            controllers[(size_t) tails[key]]->nextWithSameKey = (int) i;

        tails[key] = (int) i;
    }

    lookupStale = false;
}
} // namespace brisquell
