// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormatHost.h"

#include "support/MessageLoop.h"

using namespace brisquell::test;

// The editor through the host's editor calls: it opens at the size the state holds (300 x 300
// in the fixture's document) and closes again, with the instance going on working.
TEST_P (FormatTest, EditorOpensAtTheStatesSize)
{
    if (! hasDisplay())
        GTEST_SKIP() << "needs an X display";

    const auto format = GetParam();
    auto plugin = loadPlugin (format);
    ASSERT_NE (plugin, nullptr);

    juce::MemoryBlock chunk;
    juce::File (BRISQUELL_PLUGIN_FIXTURES).getChildFile ("three-scenes.chunk").loadFileAsData (chunk);
    restoreState (*plugin, stateCarrying (format, chunk));

    for (int round = 0; round < 2; ++round)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (plugin->createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);
        editor->addToDesktop (juce::ComponentPeer::windowIsTemporary);
        editor->setVisible (true);

        EXPECT_TRUE (runMessageLoopUntil ([&]
                                          { return editor->getWidth() == 300 && editor->getHeight() == 300; },
                                          10000))
            << editor->getWidth() << " x " << editor->getHeight();

        editor.reset();
        runMessageLoopFor (50);
    }

    EXPECT_EQ (runBlock (*plugin, 512).size(), 3u);
}
