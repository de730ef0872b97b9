// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/host/VstHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace brisquell::test
{

/** Loads the built Brisquellum.so as a host does; fails the test when it cannot. */
inline std::unique_ptr<host::Plugin> loadPlugin (const host::HostOptions& options = {})
{
    std::string error;
    auto plugin = host::Plugin::load (BRISQUELL_PLUGIN_PATH, options, error);
    EXPECT_NE (plugin, nullptr) << error;
    return plugin;
}

/** Sample rate, block size and resume, in the order hosts use. */
inline void startProcessing (host::Plugin& plugin, float sampleRate = 44100.0f, int blockSize = 512)
{
    plugin.setSampleRate (sampleRate);
    plugin.setBlockSize (blockSize);
    plugin.resume();
}

/** One block: the events, then processReplacing; answers what the plug-in sent. */
inline std::vector<host::MidiEvent> runBlock (host::Plugin& plugin, int numSamples, const std::vector<host::MidiEvent>& events = {})
{
    if (! events.empty())
        plugin.sendEvents (events);

    return plugin.processBlock (numSamples);
}

inline host::MidiEvent cc (int offset, int channel, int number, int value)
{
    return host::MidiEvent::controlChange (offset, channel, number, value);
}

/** The state chunk a host keeps for a document text: magic, length, text, terminator, spare. */
inline std::vector<std::uint8_t> chunkOfText (const std::string& text)
{
    std::vector<std::uint8_t> chunk{ 'V', 'C', '2', '!' };

    for (int i = 0; i < 4; ++i)
        chunk.push_back ((std::uint8_t) ((text.size() >> (8 * i)) & 0xff));

    chunk.insert (chunk.end(), text.begin(), text.end());
    chunk.push_back (0);
    chunk.push_back (0);
    return chunk;
}

/** The document text a chunk carries (empty for one too short to carry any). */
inline std::string textOf (const std::vector<std::uint8_t>& chunk)
{
    return chunk.size() > 10 ? std::string (chunk.begin() + 8, chunk.end() - 2) : std::string();
}

/** A saved chunk from tests/plugin/fixtures. */
inline std::vector<std::uint8_t> readFixture (const std::string& name)
{
    std::ifstream stream (std::string (BRISQUELL_PLUGIN_FIXTURES) + "/" + name, std::ios::binary);
    EXPECT_TRUE (stream.good()) << name;
    return { std::istreambuf_iterator<char> (stream), std::istreambuf_iterator<char>() };
}

/** Restores the saved chunk into the plug-in, which must give it back byte for byte, then
    reopens that in a new instance, as a host reopening the project does, which must too. The
    new instance, or none when it did not load.
*/
inline std::unique_ptr<host::Plugin> expectSavedAndReopenedByteForByte (host::Plugin& plugin, const std::vector<std::uint8_t>& saved)
{
    EXPECT_EQ (plugin.setChunk (saved), 0);
    EXPECT_EQ (plugin.getChunk(), saved);

    auto reopened = loadPlugin();
    EXPECT_NE (reopened, nullptr);

    if (reopened != nullptr)
    {
        reopened->setChunk (plugin.getChunk());
        EXPECT_EQ (reopened->getChunk(), saved);
    }

    return reopened;
}

inline bool hasDisplay()
{
    const auto* display = std::getenv ("DISPLAY");
    return display != nullptr && *display != 0;
}

} // namespace brisquell::test
