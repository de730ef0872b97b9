// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Brisquell.h"
#include "support/ModelBuilders.h"

#include <gtest/gtest.h>

#include <vector>

namespace brisquell::test
{

/** One control change as it went out: channel 1..16, CC number, value, sample offset. */
struct SentControlChange
{
    int channel = 0, ccNumber = 0, value = 0, sampleOffset = 0;

    bool operator== (const SentControlChange& other) const
    {
        return channel == other.channel && ccNumber == other.ccNumber && value == other.value
            && sampleOffset == other.sampleOffset;
    }
};

inline void PrintTo (const SentControlChange& m, std::ostream* os)
{
    *os << "{ch " << m.channel << ", cc " << m.ccNumber << ", value " << m.value << ", at " << m.sampleOffset << "}";
}

/** Every message in the buffer, in buffer order; anything that is not a control change fails. */
inline std::vector<SentControlChange> messagesIn (const juce::MidiBuffer& buffer)
{
    std::vector<SentControlChange> result;

    for (const auto metadata : buffer)
    {
        const auto m = metadata.getMessage();
        EXPECT_TRUE (m.isController());
        result.push_back ({ m.getChannel(), m.getControllerNumber(), m.getControllerValue(), metadata.samplePosition });
    }

    return result;
}

/** One output tick at the offset, as the processor does it: only while output is pending. */
inline std::vector<SentControlChange> tick (Brisquell& model, int sampleOffset = 0)
{
    juce::MidiBuffer buffer;

    if (model.needsOutput())
        model.renderOutput (buffer, sampleOffset);

    return messagesIn (buffer);
}

inline juce::MidiMessage controlChange (int channel, int ccNumber, int value)
{
    return juce::MidiMessage::controllerEvent (channel, ccNumber, value);
}

/** A model listener that records every subject it is told about, and on which thread. */
struct RecordingListener final : public juce::ChangeListener
{
    explicit RecordingListener (Brisquell& m) : model (m) { model.addChangeListener (this); }
    ~RecordingListener() override { model.removeChangeListener (this); }

    void changeListenerCallback (juce::ChangeBroadcaster* source) override
    {
        subjects.push_back (source);
        isAlwaysOnMessageThread = isAlwaysOnMessageThread && juce::MessageManager::existsAndIsCurrentThread();
    }

    int count (juce::ChangeBroadcaster* subject) const
    {
        return (int) std::count (subjects.begin(), subjects.end(), subject);
    }

    Brisquell& model;
    std::vector<juce::ChangeBroadcaster*> subjects;
    bool isAlwaysOnMessageThread = true;
};

} // namespace brisquell::test
