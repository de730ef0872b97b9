// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/stress/StressSupport.h"
#include "plugin/StateChunk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#if defined(__has_feature)
 #if __has_feature(address_sanitizer)
  #define BRISQUELL_HAS_LSAN 1
 #endif
#endif
#if defined(__SANITIZE_ADDRESS__)
 #define BRISQUELL_HAS_LSAN 1
#endif

#if BRISQUELL_HAS_LSAN
 #include <sanitizer/lsan_interface.h>
#endif

namespace brisquell::stress
{

std::unique_ptr<host::Plugin> loadPlugin (int blockSize)
{
    std::string error;
    auto plugin = host::Plugin::load (BRISQUELL_PLUGIN_PATH, {}, error);
    EXPECT_NE (plugin, nullptr) << error;

    if (plugin != nullptr)
    {
        plugin->setSampleRate (44100.0f);
        plugin->setBlockSize (blockSize);
        plugin->resume();
    }

    return plugin;
}

bool hasDisplay()
{
    const auto* display = std::getenv ("DISPLAY");
    return display != nullptr && *display != 0;
}

std::vector<std::uint8_t> chunkFor (const juce::XmlElement& document)
{
    juce::MemoryBlock chunk;
    chunk::write (document, chunk);
    const auto* bytes = static_cast<const std::uint8_t*> (chunk.getData());
    return { bytes, bytes + chunk.getSize() };
}

std::unique_ptr<juce::XmlElement> documentOf (const std::vector<std::uint8_t>& chunk)
{
    return chunk::read (chunk.data(), chunk.size());
}

int countOf (const juce::XmlElement& document, const char* childTag)
{
    const auto* child = document.getChildByName (childTag);
    return child != nullptr ? child->getNumChildElements() : 0;
}

std::unique_ptr<juce::XmlElement> makeProjectDocument (int numScenes, int numChannels, int valuesPerController)
{
    auto document = std::make_unique<juce::XmlElement> ("brisquell");
    auto* controllers = document->createNewChildElement ("controllers");
    auto* scenes = document->createNewChildElement ("scenes");

    const auto perRow = juce::jmax (1, (int) std::ceil (std::sqrt ((double) numScenes)));

    for (int i = 0; i < numScenes; ++i)
    {
        auto* scene = scenes->createNewChildElement ("scene");
        scene->setAttribute ("id", i);
        scene->setAttribute ("colour", "ff000000");
        scene->setAttribute ("x", (i % perRow) * 200 / perRow);
        scene->setAttribute ("y", (i / perRow) * 200 / perRow);
    }

    for (int channel = 1; channel <= numChannels; ++channel)
    {
        for (int number = 0; number < 128; ++number)
        {
            auto* controller = controllers->createNewChildElement ("controller");
            const auto key = (channel - 1) * 128 + number;

            for (int v = 0; v < valuesPerController && numScenes > 0; ++v)
            {
                auto* value = controller->createNewChildElement ("value");
                value->setAttribute ("value", (key + v * 37) % 128);
                value->setAttribute ("scene", (key + v * (numScenes / juce::jmax (1, valuesPerController))) % numScenes);
            }

            controller->setAttribute ("ccno", number);
            controller->setAttribute ("channel", channel);
            controller->setAttribute ("name", "ch" + juce::String (channel) + " cc" + juce::String (number));
        }
    }

    auto* gui = document->createNewChildElement ("gui");
    gui->setAttribute ("width", 700);
    gui->setAttribute ("height", 500);
    return document;
}

std::string findBadEvent (const std::vector<host::MidiEvent>& sent, int blockSize)
{
    for (const auto& event : sent)
    {
        if (! event.isControlChange() || event.size != 3 || event.bytes[1] > 0x7f || event.bytes[2] > 0x7f)
            return "not a 3-byte control change: " + event.describe();

        if (event.offset < 0 || event.offset >= juce::jmax (1, blockSize))
            return "offset " + std::to_string (event.offset) + " outside a block of " + std::to_string (blockSize);
    }

    return {};
}

bool isLeakCheckAvailable()
{
#if BRISQUELL_HAS_LSAN
    return true;
#else
    return false;
#endif
}

bool hasNoLeaks()
{
#if BRISQUELL_HAS_LSAN
    return __lsan_do_recoverable_leak_check() == 0;
#else
    return true;
#endif
}

int getScaledCount (const char* variable, int defaultCount)
{
    if (const auto* text = std::getenv (variable))
        if (const auto value = std::atoi (text); value > 0)
            return value;

    return defaultCount;
}

} // namespace brisquell::stress
