// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>

namespace brisquell::fuzzing
{

void initialiseJuce()
{
    // Never destroyed: libFuzzer ends the process with exit(), and a message manager torn down
    // there would race the timer thread.
    static auto* messageManager = []
    {
        auto* manager = juce::MessageManager::getInstance();
        manager->setCurrentThreadAsMessageThread();
        return manager;
    }();

    juce::ignoreUnused (messageManager);
}

void fail (const char* what)
{
    std::fprintf (stderr, "\n*** broken: %s\n\n", what);
    std::fflush (stderr);
    std::abort();
}

void failComparing (const char* what, const juce::MemoryBlock& expected, const juce::MemoryBlock& actual)
{
    auto print = [] (const char* label, const juce::MemoryBlock& chunk)
    {
        const auto text = chunk.getSize() > 8 ? juce::String::fromUTF8 (static_cast<const char*> (chunk.getData()) + 8,
                                                                         (int) chunk.getSize() - 8)
                                              : juce::String();
        std::fprintf (stderr, "%s (%d bytes): %s\n", label, (int) chunk.getSize(), text.toRawUTF8());
    };

    print ("expected", expected);
    print ("actual", actual);
    fail (what);
}

juce::MemoryBlock saveState (juce::AudioProcessor& processor)
{
    juce::MemoryBlock chunk;
    processor.getStateInformation (chunk);
    return chunk;
}

bool isWellFormedChunk (const juce::MemoryBlock& chunk)
{
    const auto size = chunk.getSize();

    if (size < 10)
        return false;

    const auto* bytes = static_cast<const std::uint8_t*> (chunk.getData());
    const auto magic = juce::ByteOrder::littleEndianInt (bytes);
    const auto length = (size_t) juce::ByteOrder::littleEndianInt (bytes + 4);

    if (magic != 0x21324356 || length + 10 != size || bytes[8 + length] != 0 || bytes[9 + length] != 0)
        return false;

    for (size_t i = 8; i < 8 + length; ++i)
        if (bytes[i] < 0x20 || bytes[i] > 0x7e)
            return false;

    return true;
}

} // namespace brisquell::fuzzing
