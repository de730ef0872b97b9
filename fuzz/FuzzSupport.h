// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstddef>
#include <cstdint>

namespace brisquell::fuzzing
{

/** Starts JUCE's message manager with the calling thread as the message thread, once per
    process, as a host's UI thread would have it. No display is needed.
*/
void initialiseJuce();

/** Reports the broken property and aborts, so that libFuzzer keeps the input that broke it. */
[[noreturn]] void fail (const char* what);

/** As fail(), printing the two chunks' texts first so that the difference can be seen. */
[[noreturn]] void failComparing (const char* what, const juce::MemoryBlock& expected, const juce::MemoryBlock& actual);

/** The processor's state chunk, as a host would save it. */
juce::MemoryBlock saveState (juce::AudioProcessor& processor);

/** True when the chunk has the layout hosts store: the magic, a length n, n bytes of
    printable ASCII text without zero bytes, and two zero bytes after it.
*/
bool isWellFormedChunk (const juce::MemoryBlock& chunk);

} // namespace brisquell::fuzzing
