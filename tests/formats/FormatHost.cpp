// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormatHost.h"
#include "plugin/StateChunk.h"

#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <unistd.h>

namespace brisquell::test
{

namespace
{
/** The state chunk's magic, "VC2!" (plugin/StateChunk.h). */
constexpr juce::uint32 chunkMagic = 0x21324356;

juce::File builtBinary (Format format)
{
    if (format == Format::lv2)
        return juce::File (BRISQUELL_LV2_BUNDLE).getChildFile ("Brisquellum.so");

    return juce::File (BRISQUELL_VST3_BUNDLE).getChildFile ("Contents").getChildFile (BRISQUELL_VST3_ARCH_FOLDER).getChildFile ("Brisquellum.so");
}

/** A home folder of the test's own whose .lv2 is the build's bundle folder, for the process's
    lifetime: lilv reads a bundle's files lazily, as long as the plug-in is in use.
*/
struct Lv2Home
{
    Lv2Home()
    {
        std::error_code ignored;
        std::filesystem::create_directories (path);
        std::filesystem::remove (link, ignored);
        std::filesystem::create_directory_symlink (juce::File (BRISQUELL_LV2_BUNDLE).getParentDirectory().getFullPathName().toStdString(), link);
    }

    ~Lv2Home()
    {
        // Removes the link itself, never what it points to.
        std::error_code ignored;
        std::filesystem::remove (link, ignored);
        std::filesystem::remove (path, ignored);
    }

    const std::filesystem::path path = std::filesystem::temp_directory_path() / ("brisquell-lv2-home-" + std::to_string (getpid()));
    const std::filesystem::path link = path / ".lv2";
};

/** The framework's LV2 format loads every bundle on the default search path when it is made,
    ~/.lv2 first; an installed copy of the plug-in there has the same URI and would shadow the
    built one. So HOME points to the test's own home while the format is made. (Loading another
    path afterwards would load the LV2 world a second time, which leaks in lilv.)
*/
std::unique_ptr<juce::AudioPluginFormat> makeFormat (Format format)
{
    if (format == Format::vst3)
        return std::make_unique<juce::VST3PluginFormat>();

    static const Lv2Home home;
    const auto* oldHome = std::getenv ("HOME");
    const std::string savedHome = oldHome != nullptr ? oldHome : "";
    setenv ("HOME", home.path.c_str(), 1);

    auto result = std::make_unique<juce::LV2PluginFormat>();

    if (oldHome != nullptr)
        setenv ("HOME", savedHome.c_str(), 1);
    else
        unsetenv ("HOME");

    return result;
}

juce::PluginDescription describeWith (juce::AudioPluginFormat& pluginFormat, Format format)
{
    juce::OwnedArray<juce::PluginDescription> found;
    pluginFormat.findAllTypesForFile (found, format == Format::lv2 ? juce::String (BRISQUELL_LV2_URI) : juce::String (BRISQUELL_VST3_BUNDLE));
    EXPECT_EQ (found.size(), 1) << getName (format);
    return found.isEmpty() ? juce::PluginDescription() : *found.getFirst();
}

/** The chunk at the start of the bytes (its header's length + 10 bytes); empty when they do not
    start with one.
*/
juce::MemoryBlock leadingChunk (const juce::MemoryBlock& bytes)
{
    if (bytes.getSize() < 10 || juce::ByteOrder::littleEndianInt (bytes.getData()) != chunkMagic)
        return {};

    const auto length = (size_t) juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (bytes.getData(), 4));
    return length + 10 <= bytes.getSize() ? juce::MemoryBlock (bytes.getData(), length + 10) : juce::MemoryBlock();
}

// The LV2 client stores the chunk as the string property <URI>:StateString, in the framework's
// own base64 form; the host's state is that property in Turtle, as lilv writes it.
const juce::String lv2StateKey = juce::String (BRISQUELL_LV2_URI) + ":StateString> \"";

juce::Range<int> lv2StateValueRange (const juce::String& turtle)
{
    const auto start = turtle.indexOf (lv2StateKey);

    if (start < 0)
        return {};

    const auto valueStart = start + lv2StateKey.length();
    const auto valueEnd = turtle.indexOfChar (valueStart, '"');
    return valueEnd < 0 ? juce::Range<int>() : juce::Range<int> (valueStart, valueEnd);
}
} // namespace

//==============================================================================
const char* getName (Format format)
{
    return format == Format::lv2 ? "LV2" : "VST3";
}

juce::PluginDescription describe (Format format)
{
    auto pluginFormat = makeFormat (format);
    return describeWith (*pluginFormat, format);
}

std::unique_ptr<juce::AudioPluginInstance> loadPlugin (Format format, double sampleRate, int blockSize)
{
    juce::AudioPluginFormatManager manager;
    auto pluginFormat = makeFormat (format);
    const auto description = describeWith (*pluginFormat, format);
    manager.addFormat (pluginFormat.release());

    juce::String error;
    auto plugin = manager.createPluginInstance (description, sampleRate, blockSize, error);
    EXPECT_NE (plugin, nullptr) << getName (format) << ": " << error;

    if (plugin != nullptr)
        plugin->prepareToPlay (sampleRate, blockSize);

    return plugin;
}

bool onlyTheBuiltBinaryIsLoaded (Format format)
{
    const auto built = builtBinary (format).getFullPathName();
    const auto bundleSuffix = format == Format::lv2 ? ".lv2/" : ".vst3/";
    bool builtIsMapped = false;

    juce::StringArray lines;
    lines.addLines (juce::File ("/proc/self/maps").loadFileAsString());

    for (const auto& line : lines)
    {
        const auto path = line.fromFirstOccurrenceOf ("/", true, false);

        if (! path.endsWith ("/Brisquellum.so") || ! path.contains (bundleSuffix))
            continue;

        if (path != built)
            return false;

        builtIsMapped = true;
    }

    return builtIsMapped;
}

std::ostream& operator<< (std::ostream& stream, const Event& event)
{
    stream << "@" << event.offset << ":";

    for (auto byte : event.bytes)
        stream << " " << std::hex << std::setw (2) << std::setfill ('0') << (int) byte << std::dec;

    return stream;
}

std::vector<Event> runBlock (juce::AudioPluginInstance& plugin, int numSamples, const std::vector<Event>& events)
{
    juce::MidiBuffer midi;

    for (const auto& event : events)
        midi.addEvent (event.bytes.data(), (int) event.bytes.size(), event.offset);

    juce::AudioBuffer<float> audio (juce::jmax (plugin.getTotalNumInputChannels(), plugin.getTotalNumOutputChannels()), numSamples);
    audio.clear();
    plugin.processBlock (audio, midi);

    std::vector<Event> sent;

    for (const auto metadata : midi)
        sent.push_back ({ metadata.samplePosition, std::vector<juce::uint8> (metadata.data, metadata.data + metadata.numBytes) });

    return sent;
}

juce::MemoryBlock saveState (juce::AudioPluginInstance& plugin)
{
    juce::MemoryBlock state;
    plugin.getStateInformation (state);
    return state;
}

void restoreState (juce::AudioPluginInstance& plugin, const juce::MemoryBlock& state)
{
    plugin.setStateInformation (state.getData(), (int) state.getSize());
}

juce::MemoryBlock stateCarrying (Format format, const juce::MemoryBlock& chunk)
{
    if (format == Format::vst3)
    {
        juce::XmlElement state ("VST3PluginState");
        state.createNewChildElement ("IComponent")->addTextElement (chunk.toBase64Encoding());
        juce::MemoryBlock result;
        juce::AudioProcessor::copyXmlToBinary (state, result);
        return result;
    }

    // The Turtle a fresh instance saves, with its chunk replaced.
    auto plugin = loadPlugin (format);

    if (plugin == nullptr)
        return {};

    auto turtle = saveState (*plugin).toString();
    const auto range = lv2StateValueRange (turtle);
    EXPECT_FALSE (range.isEmpty()) << turtle;
    turtle = turtle.replaceSection (range.getStart(), range.getLength(), chunk.toBase64Encoding());
    return juce::MemoryBlock (turtle.toRawUTF8(), turtle.getNumBytesAsUTF8());
}

juce::MemoryBlock chunkWithText (const juce::String& text)
{
    juce::MemoryOutputStream out;
    out.writeInt (0x21324356);
    out.writeInt ((int) text.getNumBytesAsUTF8());
    out << text;
    out.writeByte (0);
    out.writeByte (0);
    return out.getMemoryBlock();
}

juce::MemoryBlock chunkInside (Format format, const juce::MemoryBlock& state)
{
    juce::MemoryBlock carried;

    if (format == Format::vst3)
    {
        if (auto xml = juce::AudioProcessor::getXmlFromBinary (state.getData(), (int) state.getSize()))
            if (auto* component = xml->getChildByName ("IComponent"))
                carried.fromBase64Encoding (component->getAllSubText());
    }
    else
    {
        const auto turtle = state.toString();
        const auto range = lv2StateValueRange (turtle);

        if (! range.isEmpty())
            carried.fromBase64Encoding (turtle.substring (range.getStart(), range.getEnd()));
    }

    return leadingChunk (carried);
}

juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& plugin, const juce::String& name)
{
    for (auto* parameter : plugin.getParameters())
        if (parameter->getName (64) == name)
            return parameter;

    return nullptr;
}

bool hasDisplay()
{
    const auto* display = std::getenv ("DISPLAY");
    return display != nullptr && *display != 0;
}

void deselectScenes (Format format, juce::AudioPluginInstance& plugin)
{
    const auto chunk = chunkInside (format, saveState (plugin));
    auto document = brisquell::chunk::read (chunk.getData(), chunk.getSize());
    ASSERT_NE (document, nullptr);

    if (auto* session = document->getChildByName ("session"))
        session->removeAttribute ("selection");

    juce::MemoryBlock withoutSelection;
    brisquell::chunk::write (*document, withoutSelection);
    restoreState (plugin, stateCarrying (format, withoutSelection));
}

} // namespace brisquell::test
