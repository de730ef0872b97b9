// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/MessageLoop.h"

namespace juce
{
// JUCE's Linux message queue: dispatches one message, or returns false when none is pending.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace brisquell::test
{

bool runMessageLoopUntil (const std::function<bool()>& condition, int timeoutMilliseconds)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + timeoutMilliseconds;

    for (;;)
    {
        while (juce::dispatchNextMessageOnSystemQueue (true))
            if (condition != nullptr && condition())
                return true;

        if (condition != nullptr && condition())
            return true;

        if (juce::Time::getMillisecondCounterHiRes() >= end)
            return condition != nullptr && condition();

        juce::Thread::sleep (1);
    }
}

void runMessageLoopFor (int milliseconds)
{
    runMessageLoopUntil (nullptr, milliseconds);
}

bool pumpUntil (const std::function<bool()>& condition, const std::function<void()>& pump)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + eventTimeoutMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounterHiRes() >= end)
            return false;

        pump();
        juce::Thread::sleep (1);
    }

    return true;
}

} // namespace brisquell::test
