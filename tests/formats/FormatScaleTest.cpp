// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormatHost.h"

#include "support/MessageLoop.h"

using namespace brisquell::test;

// A VST3 host's content scale (IPlugViewContentScaleSupport, which the framework's hosting sends
// when its window is scaled) draws the editor at that scale: the host's view of it grows to
// match.
TEST (FormatScale, AVst3HostsContentScaleSizesTheEditor)
{
    if (! hasDisplay())
        GTEST_SKIP() << "needs an X display";

    auto plugin = loadPlugin (Format::vst3);
    ASSERT_NE (plugin, nullptr);

    juce::MemoryBlock chunk;
    juce::File (BRISQUELL_PLUGIN_FIXTURES).getChildFile ("three-scenes.chunk").loadFileAsData (chunk);
    restoreState (*plugin, stateCarrying (Format::vst3, chunk));

    std::unique_ptr<juce::AudioProcessorEditor> editor (plugin->createEditorIfNeeded());
    ASSERT_NE (editor, nullptr);
    editor->addToDesktop (juce::ComponentPeer::windowIsTemporary);
    editor->setVisible (true);
    ASSERT_TRUE (runMessageLoopUntil ([&]
                                      { return editor->getWidth() == 300 && editor->getHeight() == 300; }))
        << editor->getWidth() << " x " << editor->getHeight();

    for (const auto& row : { std::pair{ 2.0f, 600 }, { 1.5f, 450 }, { 1.0f, 300 } })
    {
        // Plain copies: a lambda may not capture a structured binding in C++17 (clang refuses).
        const auto scale = row.first;
        const auto side = row.second;
        editor->setScaleFactor (scale);
        EXPECT_TRUE (runMessageLoopUntil ([&]
                                          { return editor->getWidth() == side && editor->getHeight() == side; },
                                          10000))
            << scale << ": " << editor->getWidth() << " x " << editor->getHeight();
    }

    // The framework's hosting answers its window's resizes later, on the message loop, with
    // the window it holds: those answers must come before the window goes.
    runMessageLoopFor (500);
    editor.reset();
    runMessageLoopFor (50);
}
