// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormatHost.h"

#include <dlfcn.h>

using namespace brisquell::test;

// What every format declares, the same as the VST 2.4 binary's effect name, vendor and
// version (tests/host/DeclarationsTest.cpp).
TEST_P (FormatTest, NameVendorVersionAndNoAudio)
{
    const auto format = GetParam();
    const auto description = describe (format);

    EXPECT_EQ (description.name, "Brisquellum");
    EXPECT_EQ (description.manufacturerName, "K4TZ");
    EXPECT_EQ (description.pluginFormatName, getName (format));
    EXPECT_FALSE (description.isInstrument);
    EXPECT_EQ (description.numInputChannels, 0);
    EXPECT_EQ (description.numOutputChannels, 0);

    if (format == Format::lv2)
        EXPECT_EQ (description.fileOrIdentifier, BRISQUELL_LV2_URI);
    else
        EXPECT_EQ (description.version, "1.1.0");

    auto plugin = loadPlugin (format);
    ASSERT_NE (plugin, nullptr);
    EXPECT_TRUE (onlyTheBuiltBinaryIsLoaded (format));
    EXPECT_EQ (plugin->getName(), "Brisquellum");
    EXPECT_TRUE (plugin->acceptsMidi());
    EXPECT_TRUE (plugin->producesMidi());
    EXPECT_TRUE (plugin->hasEditor());
    EXPECT_EQ (plugin->getTotalNumInputChannels(), 0);
    EXPECT_EQ (plugin->getTotalNumOutputChannels(), 0);
    EXPECT_EQ (plugin->getLatencySamples(), 0);
}

TEST_P (FormatTest, InstancesLiveSideBySide)
{
    auto first = loadPlugin (GetParam());
    auto second = loadPlugin (GetParam());
    ASSERT_NE (first, nullptr);
    ASSERT_NE (second, nullptr);

    // What one instance learns, the other does not.
    EXPECT_EQ (runBlock (*first, 512, { cc (0, 1, 7, 5) }).size(), 1u);
    EXPECT_TRUE (runBlock (*second, 512).empty());
}

// A host carries its own copy of the framework (this one does): nothing but the format's entry
// points may leave the binary, or the dynamic linker could bind one copy's symbols to the other's.
TEST_P (FormatTest, OnlyTheEntryPointsAreExported)
{
    const auto format = GetParam();
    const auto path = format == Format::lv2 ? juce::File (BRISQUELL_LV2_BUNDLE).getChildFile ("Brisquellum.so")
                                            : juce::File (BRISQUELL_VST3_BUNDLE).getChildFile ("Contents/" BRISQUELL_VST3_ARCH_FOLDER "/Brisquellum.so");
    auto* library = dlopen (path.getFullPathName().toRawUTF8(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE (library, nullptr) << dlerror();

    const auto entryPoints = format == Format::lv2 ? std::vector<const char*>{ "lv2_descriptor", "lv2ui_descriptor" }
                                                   : std::vector<const char*>{ "GetPluginFactory", "ModuleEntry", "ModuleExit" };

    for (const auto* name : entryPoints)
        EXPECT_NE (dlsym (library, name), nullptr) << name;

    for (const auto* name : { "VSTPluginMain", "_Z18createPluginFilterv", "_ZN4juce6String8fromUTF8EPKci" })
        EXPECT_EQ (dlsym (library, name), nullptr) << name;

    dlclose (library);
}

INSTANTIATE_TEST_SUITE_P (Formats, FormatTest, testing::Values (Format::lv2, Format::vst3), testing::PrintToStringParamName());
