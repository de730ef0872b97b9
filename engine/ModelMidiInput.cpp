// SPDX-License-Identifier: GPL-3.0-or-later
// The model's MIDI input: what the sorter hands it, and the controllers a value is for (see
// ControllerLookup).
// The rest of the model is in Brisquell.cpp.
#include "engine/Brisquell.h"

namespace brisquell
{

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
    // setValue can key a scene but never adds or removes controllers.
    return lookup.forEachMatch (lists.controllers(), kind, channel, number, [value] (Controller& controller)
                                {
        if (value >= 0)
            controller.setValue (value); });
}

} // namespace brisquell
