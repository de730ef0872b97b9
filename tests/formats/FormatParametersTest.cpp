// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormatHost.h"

using namespace brisquell::test;

namespace
{
/** One controller (CC 20) with 10 in a scene at the pane's left edge and 120 in one at its
    right edge, nothing selected: the cursor's x alone decides what is sent.
*/
void buildTwoScenes (Format format, juce::AudioPluginInstance& plugin, juce::AudioProcessorParameter& cursorX)
{
    cursorX.setValueNotifyingHost (0.0f);
    runBlock (plugin, 512, { cc (0, 1, 20, 0) }); // learns, keys scene 1
    runBlock (plugin, 512, { cc (0, 1, 20, 10) });
    deselectScenes (format, plugin);
    cursorX.setValueNotifyingHost (1.0f);
    runBlock (plugin, 512, { cc (0, 1, 20, 0) }); // keys scene 2
    runBlock (plugin, 512, { cc (0, 1, 20, 120) });
    deselectScenes (format, plugin);
    runBlock (plugin, 512);
}

int sentValue (const std::vector<Event>& sent)
{
    return sent.size() == 1 && sent[0].bytes.size() == 3 ? sent[0].bytes[2] : -1;
}
} // namespace

// The parameters a host shows for automation.
TEST_P (FormatTest, CursorParametersAreNamedAndAutomatable)
{
    auto plugin = loadPlugin (GetParam());
    ASSERT_NE (plugin, nullptr);

    for (const auto* name : { "cursor X", "cursor Y" })
    {
        auto* parameter = findParameter (*plugin, name);
        ASSERT_NE (parameter, nullptr) << name;
        EXPECT_TRUE (parameter->isAutomatable()) << name;
        EXPECT_EQ (parameter->getValue(), 0.0f) << name;
    }

    // Nothing else is offered for automation; a host may add its own bypass (the framework's
    // LV2 hosting shows the "enabled" port as one). The VST3 client adds one hidden parameter per
    // MIDI channel and controller (128 CCs, channel pressure, pitch bend), which is how a VST3
    // host hands incoming CCs to a plug-in; they are not automatable.
    juce::StringArray automatable;
    int numMidiControllerParameters = 0;

    for (auto* parameter : plugin->getParameters())
    {
        if (parameter->isAutomatable() && parameter != plugin->getBypassParameter())
            automatable.add (parameter->getName (64));

        if (parameter->getName (64).startsWith ("MIDI CC ") && ! parameter->isAutomatable())
            ++numMidiControllerParameters;
    }

    EXPECT_EQ (automatable, juce::StringArray ("cursor X", "cursor Y"));
    EXPECT_EQ (numMidiControllerParameters, GetParam() == Format::vst3 ? 16 * 130 : 0);
}

TEST_P (FormatTest, CursorParametersMoveTheCursor)
{
    auto plugin = loadPlugin (GetParam());
    ASSERT_NE (plugin, nullptr);
    auto* cursorX = findParameter (*plugin, "cursor X");
    auto* cursorY = findParameter (*plugin, "cursor Y");
    ASSERT_NE (cursorX, nullptr);
    ASSERT_NE (cursorY, nullptr);
    buildTwoScenes (GetParam(), *plugin, *cursorX);

    cursorX->setValueNotifyingHost (0.0f);
    EXPECT_EQ (sentValue (runBlock (*plugin, 512)), 10);
    cursorX->setValueNotifyingHost (1.0f);
    EXPECT_EQ (sentValue (runBlock (*plugin, 512)), 120);
    EXPECT_EQ (cursorX->getValue(), 1.0f);

    // Halfway between them, the value lies between them.
    cursorX->setValueNotifyingHost (0.5f);
    const auto halfway = sentValue (runBlock (*plugin, 512));
    EXPECT_GT (halfway, 10);
    EXPECT_LT (halfway, 120);

    // Moving "cursor Y" moves the cursor too (and so sends), without touching x.
    cursorY->setValueNotifyingHost (0.25f);
    EXPECT_EQ (runBlock (*plugin, 512).size(), 1u);
    EXPECT_EQ (cursorY->getValue(), 0.25f);
    EXPECT_EQ (cursorX->getValue(), 0.5f);
}

// The texts a host shows for the cursor parameters: the cursor's position in pane units (see
// tests/plugin/ParametersTest.cpp), and typed positions read back; the same in both formats
// (the VST3 client asks the processor, the LV2 host writes the plain value LV2 carries).
TEST_P (FormatTest, CursorParametersShowThePanePosition)
{
    auto plugin = loadPlugin (GetParam());
    ASSERT_NE (plugin, nullptr);
    auto* cursorX = findParameter (*plugin, "cursor X");
    ASSERT_NE (cursorX, nullptr);

    cursorX->setValueNotifyingHost (0.5f);
    runBlock (*plugin, 512);
    EXPECT_EQ (cursorX->getCurrentValueAsText(), "100");
    EXPECT_EQ (cursorX->getText (0.25f, 16), "50");
    EXPECT_FLOAT_EQ (cursorX->getValueForText ("150"), 0.75f);
}

// The one program, "Brisquellum": an LV2 preset of that name; the VST3 client offers a program
// list only for more than one program, so a VST3 host shows none.
TEST_P (FormatTest, TheProgramAsEachFormatShowsIt)
{
    auto plugin = loadPlugin (GetParam());
    ASSERT_NE (plugin, nullptr);

    if (GetParam() == Format::lv2)
    {
        ASSERT_EQ (plugin->getNumPrograms(), 1);
        EXPECT_EQ (plugin->getProgramName (0), "Brisquellum");

        // Choosing it changes nothing.
        runBlock (*plugin, 512, { cc (0, 1, 7, 0) });
        const auto before = chunkInside (GetParam(), saveState (*plugin));
        plugin->setCurrentProgram (0);
        EXPECT_EQ (chunkInside (GetParam(), saveState (*plugin)), before);
    }
    else
    {
        EXPECT_EQ (plugin->getNumPrograms(), 0);
    }
}
