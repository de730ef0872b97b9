#pragma once

#include <juce_events/juce_events.h>

#include <functional>

namespace brisquell::test
{

/** Runs the message loop on the calling (message) thread for about the given time. */
void runMessageLoopFor (int milliseconds);

/** Runs the message loop until the condition holds or the time is up; answers the condition. */
bool runMessageLoopUntil (const std::function<bool()>& condition, int timeoutMilliseconds = 2000);

} // namespace brisquell::test
