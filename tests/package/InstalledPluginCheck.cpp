// SPDX-License-Identifier: GPL-3.0-or-later
// brisquell_installed_plugin_check: loads an installed VST3 or LV2 copy of the plug-in through
// the framework's own hosting classes, as a VST3 or LV2 host would, and checks that it is the
// installed binary that runs, that it declares the given version, and that it learns and sends
// a control change. Used by the package stage of scripts/test (tests/package/check-package.sh).
//
//   brisquell_installed_plugin_check vst3 /usr/lib/vst3/Brisquellum.vst3 1.1.0
//   brisquell_installed_plugin_check lv2 urn:brisquellum:plugin /usr/lib/lv2/Brisquellum.lv2
//
// The LV2 plug-in is found on the framework's default LV2 search path (~/.lv2, then the system
// folders): run it with a HOME that holds no other copy. The LV2 form names the bundle whose
// binary must be the one mapped; the framework's LV2 hosting reads no version (the package
// stage reads it from the bundle's Turtle). Exit code 0 when every check passes.
#include <juce_audio_processors/juce_audio_processors.h>

#include <iostream>
#include <vector>

namespace
{
int failures = 0;

void check (bool condition, const juce::String& what)
{
    std::cout << (condition ? "ok:   " : "FAIL: ") << what << std::endl;
    failures += condition ? 0 : 1;
}

/** The MIDI messages the plug-in sends (bytes and offset) for one 512-sample block with the input at offset 100. */
juce::StringArray runBlock (juce::AudioPluginInstance& plugin, const juce::MidiMessage& input)
{
    juce::MidiBuffer midi;
    midi.addEvent (input, 100);
    juce::AudioBuffer<float> audio (juce::jmax (1, plugin.getTotalNumInputChannels(), plugin.getTotalNumOutputChannels()), 512);
    audio.clear();
    plugin.processBlock (audio, midi);

    juce::StringArray sent;

    for (const auto metadata : midi)
        sent.add (juce::String::toHexString (metadata.data, metadata.numBytes) + " at " + juce::String (metadata.samplePosition));

    return sent;
}

/** The plug-in binaries of the bundle's kind that the process has mapped. */
juce::StringArray mappedBinaries (const juce::String& bundleSuffix)
{
    juce::StringArray lines, binaries;
    lines.addLines (juce::File ("/proc/self/maps").loadFileAsString());

    for (const auto& line : lines)
    {
        const auto path = line.fromFirstOccurrenceOf ("/", true, false);

        if (path.endsWith ("/Brisquellum.so") && path.contains (bundleSuffix))
            binaries.addIfNotAlreadyThere (path);
    }

    return binaries;
}

int checkInstalled (const juce::String& kind, const juce::String& identifier, const juce::String& version, const juce::File& bundle)
{
    std::unique_ptr<juce::AudioPluginFormat> format;

    if (kind == "vst3")
        format = std::make_unique<juce::VST3PluginFormat>();
    else
        format = std::make_unique<juce::LV2PluginFormat>();

    juce::OwnedArray<juce::PluginDescription> found;
    format->findAllTypesForFile (found, identifier);
    check (found.size() == 1, kind + " finds one plug-in at " + identifier);

    if (found.isEmpty())
        return 1;

    const auto description = *found.getFirst();
    check (description.name == "Brisquellum" && description.manufacturerName == "K4TZ",
           "name and vendor: " + description.name + ", " + description.manufacturerName);
    if (kind == "vst3")
        check (description.version == version, "version " + description.version + " (the package's " + version + ")");

    juce::AudioPluginFormatManager manager;
    manager.addFormat (format.release());
    juce::String error;
    auto plugin = manager.createPluginInstance (description, 44100.0, 512, error);
    check (plugin != nullptr, "an instance" + (error.isEmpty() ? juce::String() : ": " + error));

    if (plugin == nullptr)
        return 1;

    plugin->prepareToPlay (44100.0, 512);

    // A control change that matches no controller is learned, keys a scene (which stores the
    // value) and goes out; the next value of that controller goes out as it came in.
    check (runBlock (*plugin, juce::MidiMessage::controllerEvent (1, 7, 64)) == juce::StringArray ("b0 07 40 at 0"),
           "a new control change is learned and sent");
    check (runBlock (*plugin, juce::MidiMessage::controllerEvent (1, 7, 99)) == juce::StringArray ("b0 07 63 at 0"),
           "its next value goes out");

    const auto bundleSuffix = kind == "vst3" ? ".vst3/" : ".lv2/";
    const auto mapped = mappedBinaries (bundleSuffix);
    check (mapped.size() == 1 && mapped[0].startsWith (bundle.getFullPathName() + "/"),
           "the binary that runs: " + mapped.joinIntoString (", "));

    plugin->releaseResources();
    plugin.reset();
    return failures == 0 ? 0 : 1;
}
} // namespace

int main (int argc, char** argv)
{
    const juce::String kind = argc > 1 ? argv[1] : "";

    if (! ((kind == "vst3" || kind == "lv2") && argc == 4))
    {
        std::cerr << "usage: brisquell_installed_plugin_check vst3 BUNDLE VERSION\n"
                     "       brisquell_installed_plugin_check lv2 URI BUNDLE\n";
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI framework;
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
    const juce::File bundle (kind == "vst3" ? argv[2] : argv[3]);
    return checkInstalled (kind, argv[2], kind == "vst3" ? argv[3] : "", bundle);
}
