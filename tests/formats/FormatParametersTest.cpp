#include "FormatHost.h"

using namespace brisquell::test;

namespace
{
/** One controller (CC 20) with 10 in a scene at the pane's left edge and 120 in one at its
    right edge, nothing selected: the cursor's x alone decides what is sent.
*/
void buildTwoScenes (juce::AudioPluginInstance& plugin, juce::AudioProcessorParameter& cursorX)
{
    cursorX.setValueNotifyingHost (0.0f);
    runBlock (plugin, 512, { cc (0, 1, 20, 0) }); // learns, keys scene 1
    runBlock (plugin, 512, { cc (0, 1, 20, 10) });
    restoreState (plugin, saveState (plugin)); // clears the selection
    cursorX.setValueNotifyingHost (1.0f);
    runBlock (plugin, 512, { cc (0, 1, 20, 0) }); // keys scene 2
    runBlock (plugin, 512, { cc (0, 1, 20, 120) });
    restoreState (plugin, saveState (plugin));
    runBlock (plugin, 512);
}

int sentValue (const std::vector<Event>& sent)
{
    return sent.size() == 1 && sent[0].bytes.size() == 3 ? sent[0].bytes[2] : -1;
}
} // namespace

// The parameters a host shows for automation. (The display texts of issue 14 are checked here
// too once they show the cursor's position: getCurrentValueAsText() and getText (value).)
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
    buildTwoScenes (*plugin, *cursorX);

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
