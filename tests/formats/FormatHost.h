// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>
#include <ostream>
#include <vector>

namespace brisquell::test
{

/** The plug-in formats the second host loads, each from its built bundle in the build folder. */
enum class Format
{
    lv2,
    vst3
};

const char* getName (Format format);

/** Names the format in the names of parameterised tests. */
inline std::ostream& operator<< (std::ostream& stream, Format format) { return stream << getName (format); }

/** The built bundle's description, as the framework's LV2 or VST3 hosting reads it. */
juce::PluginDescription describe (Format format);

/** A new instance of the built binary, prepared for blocks of the given size, through the
    framework's own hosting classes (AudioPluginFormatManager); fails the test when there is
    none. Message thread.
*/
std::unique_ptr<juce::AudioPluginInstance> loadPlugin (Format format, double sampleRate = 44100.0, int blockSize = 512);

/** True when the process has mapped the binary from the build folder and no other binary of the
    plug-in's name (an installed copy, found first by a host's search, would be).
*/
bool onlyTheBuiltBinaryIsLoaded (Format format);

/** One MIDI event that crossed the boundary, at its sample offset in the block. */
struct Event
{
    int offset = 0;
    std::vector<juce::uint8> bytes;

    bool operator== (const Event& other) const { return offset == other.offset && bytes == other.bytes; }
};

std::ostream& operator<< (std::ostream& stream, const Event& event);

inline Event cc (int offset, int channel, int number, int value)
{
    return { offset, { (juce::uint8) (0xb0 | (channel - 1)), (juce::uint8) number, (juce::uint8) value } };
}

/** One block of processing: the events in, what the plug-in sent out. Message thread (the
    framework's LV2 hosting checks that parameter and state calls come from there, and the
    tests call processBlock from the same thread so that they run in a known order).
*/
std::vector<Event> runBlock (juce::AudioPluginInstance& plugin, int numSamples, const std::vector<Event>& events = {});

/** The plug-in's state as the host saves it, and restored into the instance. */
juce::MemoryBlock saveState (juce::AudioPluginInstance& plugin);
void restoreState (juce::AudioPluginInstance& plugin, const juce::MemoryBlock& state);

/** The host's state for the format that carries the given state chunk: what a host would save
    for the plug-in in that state (LV2: the state string property; VST3: the component state).
*/
juce::MemoryBlock stateCarrying (Format format, const juce::MemoryBlock& chunk);

/** A state chunk carrying the document text, laid out as the plug-in writes its chunks. */
juce::MemoryBlock chunkWithText (const juce::String& text);

/** The state chunk inside the host's state for the format; empty when there is none. */
juce::MemoryBlock chunkInside (Format format, const juce::MemoryBlock& state);

/** Clears the scene selection as a click on the pane's empty area would: the state is saved and
    restored without the selection it carries. The next value keys a new scene at the cursor.
*/
void deselectScenes (Format format, juce::AudioPluginInstance& plugin);

/** The parameter the host shows under the name, or none. */
juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& plugin, const juce::String& name);

bool hasDisplay();

/** Runs every test of a suite once for LV2 and once for VST3. */
class FormatTest : public testing::TestWithParam<Format>
{
};

} // namespace brisquell::test
