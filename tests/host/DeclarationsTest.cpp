// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostFixture.h"

#include <dlfcn.h>
#include <tuple>

using namespace brisquell;
using namespace brisquell::test;

#pragma GCC diagnostic ignored "-Wdeprecated-declarations" // the header's unconfirmed opcodes

TEST (Declarations, TheAEffectRecord)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    const auto& fx = plugin->getEffect();

    EXPECT_EQ (fx.magic, kEffectMagic);
    EXPECT_EQ (fx.flags, effFlagsHasEditor | effFlagsCanReplacing | effFlagsProgramChunks);
    EXPECT_EQ (fx.flags, 0x31);
    EXPECT_EQ (fx.numParams, 2);
    EXPECT_EQ (fx.numInputs, 0);
    EXPECT_EQ (fx.numOutputs, 0);
    EXPECT_EQ (fx.initialDelay, 0);
    EXPECT_EQ (fx.uniqueID, CCONST ('z', 'q', 'l', 'w'));
    EXPECT_EQ (fx.version, 0x00010100);
    EXPECT_NE (fx.processReplacing, nullptr);

    // The framework's client declares at least one program (see docs/formats-and-hosts.md).
    EXPECT_EQ (fx.numPrograms, 1);
}

TEST (Declarations, NamesVersionAndCategory)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);

    EXPECT_EQ (plugin->getText (effGetEffectName), "Brisquellum");
    EXPECT_EQ (plugin->dispatch (effGetEffectName, 0, 0, std::vector<char> (65).data()), 1);
    EXPECT_EQ (plugin->getText (effGetProductString), "Brisquellum");
    EXPECT_EQ (plugin->getText (effGetVendorString), "K4TZ");
    EXPECT_EQ (plugin->dispatch (effGetVendorVersion), 65792);
    EXPECT_EQ (plugin->dispatch (effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ (plugin->dispatch (effGetVstVersion), 2400);
}

TEST (Declarations, CanDoAnswersCompareTheWholeText)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);

    for (const auto* yes : { "receiveVstEvents", "receiveVstMidiEvent", "receiveVstMidiEvents", "sendVstEvents",
                             "sendVstMidiEvent", "sendVstMidiEvents", "receiveVstTimeInfo", "conformsToWindowRules" })
        EXPECT_EQ (plugin->canDo (yes), 1) << yes;

    for (const auto* no : { "receiveVstMidiEvent ", "ReceiveVstMidiEvent", "receiveVstMidi", "", "offline",
                            "midiProgramNames", "sendVstTimeInfo", "plugAsChannelInsert", "MPE" })
        EXPECT_EQ (plugin->canDo (no), 0) << no;

    // The framework's client adds these (see docs/formats-and-hosts.md).
    EXPECT_EQ (plugin->canDo ("bypass"), 1);
    EXPECT_EQ (plugin->canDo ("supportsViewDpiScaling"), 1);
    EXPECT_EQ (plugin->canDo ("openCloseAnyThread"), -1);
    EXPECT_EQ ((std::uint32_t) plugin->canDo ("hasCockosExtensions"), 0xbeef0000u);
}

TEST (Declarations, ParametersThroughTheRecord)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);

    EXPECT_EQ (plugin->getParameterName (0), "cursor X");
    EXPECT_EQ (plugin->getParameterName (1), "cursor Y");
    EXPECT_EQ (plugin->getParameterName (2), "");
    EXPECT_EQ (plugin->getParameterLabel (0), "");
    EXPECT_EQ (plugin->getParameterLabel (1), "");
    EXPECT_EQ (plugin->dispatch (effCanBeAutomated, 0), 1);
    EXPECT_EQ (plugin->dispatch (effCanBeAutomated, 1), 1);

    plugin->setParameter (0, 0.5f);
    plugin->setParameter (1, 0.75f);
    EXPECT_EQ (plugin->getParameter (0), 0.5f);
    EXPECT_EQ (plugin->getParameter (1), 0.75f);
    EXPECT_EQ (plugin->getParameter (2), 0.0f);
}

// The display texts used to be "getParameterText(0)" and "getParameterText(1)" wherever the
// cursor was: they are now its position on the pane, in pane units.
TEST (Declarations, ParameterDisplaysShowTheCursorsPositionAsItMoves)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    EXPECT_EQ (plugin->getParameterDisplay (0), "0");
    EXPECT_EQ (plugin->getParameterDisplay (1), "0");

    for (auto [x, y, shownX, shownY] : { std::tuple{ 0.5f, 0.75f, "100", "150" }, { 1.0f, 0.0025f, "200", "0.5" }, { 0.185f, 1.25f, "37", "200" }, { 0.333f, 0.5001f, "66.6", "100.02" } })
    {
        plugin->setParameter (0, x);
        plugin->setParameter (1, y);
        EXPECT_EQ (plugin->getParameterDisplay (0), shownX);
        EXPECT_EQ (plugin->getParameterDisplay (1), shownY);
    }

    EXPECT_EQ (plugin->getParameterDisplay (2), "");
}

TEST (Declarations, TypedTextMovesTheCursorToThatPosition)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    const auto type = [&] (int index, std::string text)
    { return plugin->dispatch (effString2Parameter, index, 0, text.data()); };

    EXPECT_EQ (type (0, "40"), 1);
    EXPECT_EQ (plugin->getParameter (0), 0.2f);
    EXPECT_EQ (plugin->getParameterDisplay (0), "40");

    EXPECT_EQ (type (1, "150"), 1);
    EXPECT_EQ (plugin->getParameter (1), 0.75f);
    EXPECT_EQ (type (1, "999"), 1);
    EXPECT_EQ (plugin->getParameterDisplay (1), "200") << "typed positions stay within the parameter's range";

    // Text that is no number, and a missing text, change nothing.
    EXPECT_EQ (type (0, "left"), 1);
    EXPECT_EQ (plugin->dispatch (effString2Parameter, 0, 0, nullptr), 1);
    EXPECT_EQ (plugin->getParameterDisplay (0), "40");
    EXPECT_EQ (type (2, "40"), 0);
}

// Hosts with the extension the client announces ("hasCockosExtensions") ask for the text of a
// value that is not the current one, as an automation lane's points do.
TEST (Declarations, TheTextOfAnyValueWithTheVendorExtension)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    plugin->setParameter (0, 0.5f);

    const auto textOf = [&] (int index, float value, VstIntPtr& answer)
    {
        std::vector<char> buffer (256, 'x');
        buffer.back() = 0;
        answer = plugin->dispatch (effVendorSpecific, effGetParamDisplay, index, buffer.data(), value);
        return std::string (buffer.data());
    };

    VstIntPtr answer = 0;
    EXPECT_EQ (textOf (0, 0.25f, answer), "50");
    EXPECT_EQ (answer, 0xbeef);
    EXPECT_EQ (textOf (1, 0.9975f, answer), "199.5") << "not rounded";
    EXPECT_EQ (plugin->getParameterDisplay (0), "100") << "asking moves nothing";

    EXPECT_EQ (textOf (2, 0.25f, answer), std::string (255, 'x')) << "nothing written";
    EXPECT_EQ (answer, 0);
}

// The program's name used to be "getProgramName(0)" (and nothing at all reached the host).
TEST (Declarations, OneProgramNamedBrisquellumAndNoChannels)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);

    EXPECT_EQ (plugin->getText (effGetProgramName), "Brisquellum");
    EXPECT_EQ (plugin->dispatch (effGetProgramNameIndexed, 0, 0, std::vector<char> (64).data()), 1);
    EXPECT_EQ (plugin->getText (effGetProgramNameIndexed, 0), "Brisquellum");
    EXPECT_EQ (plugin->dispatch (effGetProgramNameIndexed, 1, 0, std::vector<char> (64).data()), 0);
    EXPECT_EQ (plugin->getText (effGetProgramNameIndexed, 1), "");
    EXPECT_EQ (plugin->dispatch (effGetProgramNameIndexed, -1, 0, std::vector<char> (64).data()), 0);

    // Choosing or renaming the one program changes nothing.
    EXPECT_EQ (plugin->dispatch (effGetProgram), 0);
    plugin->dispatch (effSetProgram, 0, 3);
    plugin->dispatch (effSetProgram, 0, 0);
    EXPECT_EQ (plugin->dispatch (effGetProgram), 0);
    std::string newName = "mine";
    plugin->dispatch (effSetProgramName, 0, 0, newName.data());
    EXPECT_EQ (plugin->getText (effGetProgramName), "Brisquellum");

    // No channels: no pin properties, also after the host offers speaker arrangements.
    VstPinProperties pin {};
    EXPECT_EQ (plugin->dispatch (effGetInputProperties, 0, 0, &pin), 0);
    EXPECT_EQ (plugin->dispatch (effGetOutputProperties, 0, 0, &pin), 0);

    for (auto [type, channels] : { std::pair{ kSpeakerArrStereo, 2 }, { kSpeakerArrEmpty, 0 } })
    {
        alignas (VstSpeakerArrangement) unsigned char storage[2][sizeof (VstSpeakerArrangement) + 2 * sizeof (VstSpeakerProperties)]{};
        auto* in = reinterpret_cast<VstSpeakerArrangement*> (storage[0]);
        auto* out = reinterpret_cast<VstSpeakerArrangement*> (storage[1]);
        in->type = out->type = type;
        in->numChannels = out->numChannels = channels;
        plugin->dispatch (effSetSpeakerArrangement, 0, (VstIntPtr) in, out);

        for (int index : { 0, 1 })
        {
            pin = {};
            EXPECT_EQ (plugin->dispatch (effGetInputProperties, index, 0, &pin), 0);
            EXPECT_EQ (plugin->dispatch (effGetOutputProperties, index, 0, &pin), 0);
            EXPECT_STREQ (pin.label, "");
        }
    }
}

TEST (Declarations, HostAnsweringVersionZeroGetsNoInstance)
{
    host::HostOptions options;
    options.versionAnswer = 0;
    std::string error;

    EXPECT_EQ (host::Plugin::load (BRISQUELL_PLUGIN_PATH, options, error), nullptr);
    EXPECT_NE (error.find ("no instance"), std::string::npos) << error;

    // Nothing stayed behind: a host that answers properly gets an instance straight after.
    EXPECT_NE (loadPlugin(), nullptr);
}

TEST (Declarations, InstancesLiveSideBySideAndTheLibraryReloads)
{
    for (int round = 0; round < 3; ++round)
    {
        auto first = loadPlugin();
        auto second = loadPlugin();
        ASSERT_NE (first, nullptr);
        ASSERT_NE (second, nullptr);

        first->setParameter (0, 0.25f);
        EXPECT_EQ (second->getParameter (0), 0.0f);
    }
}

// The framework's client answers these itself (docs/formats-and-hosts.md): pinned here so
// that a change of the framework shows up.
TEST (Declarations, AnswersOfTheFrameworksClient)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);

    EXPECT_EQ (plugin->dispatch (effCanBeAutomated, 2), 0);
    EXPECT_EQ (plugin->dispatch (effGetTailSize), 0x7fffffff);
    EXPECT_EQ (plugin->dispatch (effGetCurrentMidiProgram), -1);
    EXPECT_EQ (plugin->dispatch (effIdentify), CCONST ('N', 'v', 'E', 'f'));

    alignas (VstSpeakerArrangement) unsigned char storage[2][sizeof (VstSpeakerArrangement) + 2 * sizeof (VstSpeakerProperties)] {};
    auto* in = reinterpret_cast<VstSpeakerArrangement*> (storage[0]);
    auto* out = reinterpret_cast<VstSpeakerArrangement*> (storage[1]);
    in->type = out->type = kSpeakerArrStereo;
    in->numChannels = out->numChannels = 2;
    EXPECT_EQ (plugin->dispatch (effSetSpeakerArrangement, 0, (VstIntPtr) in, out), 0);

    in->type = out->type = kSpeakerArrEmpty;
    in->numChannels = out->numChannels = 0;
    EXPECT_EQ (plugin->dispatch (effSetSpeakerArrangement, 0, (VstIntPtr) in, out), 1);
    EXPECT_EQ (plugin->getEffect().numInputs, 0);
    EXPECT_EQ (plugin->getEffect().numOutputs, 0);

    VstSpeakerArrangement* currentIn = nullptr;
    VstSpeakerArrangement* currentOut = nullptr;
    EXPECT_EQ (plugin->dispatch (effGetSpeakerArrangement, 0, (VstIntPtr) &currentIn, &currentOut), 1);
    ASSERT_NE (currentIn, nullptr);
    EXPECT_EQ (currentIn->numChannels, 0);
}

// A host may carry its own copy of the framework (or be built on it): nothing but the two entry
// points may leave the library, or the dynamic linker could bind one copy's symbols to the other's.
TEST (Declarations, OnlyTheEntryPointsAreExported)
{
    auto* library = dlopen (BRISQUELL_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE (library, nullptr) << dlerror();

    EXPECT_NE (dlsym (library, "VSTPluginMain"), nullptr);
    EXPECT_NE (dlsym (library, "main"), nullptr);
    EXPECT_EQ (dlsym (library, "_Z18createPluginFilterv"), nullptr);
    EXPECT_EQ (dlsym (library, "_ZN4juce6String8fromUTF8EPKci"), nullptr);

    dlclose (library);
}
