// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_events/juce_events.h>

#include <functional>

namespace brisquell::test
{

/** How long a test waits for an event before it gives up. Only a test whose event never comes
    waits this long: it lies far beyond any delay a busy machine causes (other tests, builds and
    the display server sharing the cores), so a slow machine never fails a test, and it stays
    well below CTest's own timeout of 300 s, so a missing event fails with its own message.
*/
constexpr int eventTimeoutMs = 60000;

/** Runs the message loop on the calling (message) thread for about the given time. For letting
    things settle before checking that nothing more happens; to wait for something that must
    happen, use runMessageLoopUntil.
*/
void runMessageLoopFor (int milliseconds);

/** Runs the message loop until the condition holds or the time is up; answers the condition. */
bool runMessageLoopUntil (const std::function<bool()>& condition, int timeoutMilliseconds = eventTimeoutMs);

/** Calls pump (which lets another party make progress, such as a host's effEditIdle) until the
    condition holds or eventTimeoutMs has passed; answers the condition.
*/
bool pumpUntil (const std::function<bool()>& condition, const std::function<void()>& pump);

} // namespace brisquell::test
