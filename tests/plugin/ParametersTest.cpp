#include "ProcessorHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace brisquell;
using namespace brisquell::test;

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

TEST (HostParameters, TwoCursorParametersWithFixedTexts)
{
    BrisquellPlugInInterface processor;

    EXPECT_EQ (processor.getNumParameters(), 2);
    EXPECT_EQ (processor.getParameterName (0), "cursor X");
    EXPECT_EQ (processor.getParameterName (1), "cursor Y");
    EXPECT_EQ (processor.getParameterName (2), "");
    EXPECT_EQ (processor.getParameterName (-1), "");
    EXPECT_EQ (processor.getParameterName (1, 6), "cursor");

    processor.setParameter (0, 0.8f);
    EXPECT_EQ (processor.getParameterText (0), "getParameterText(0)");
    EXPECT_EQ (processor.getParameterText (1), "getParameterText(1)");
    EXPECT_EQ (processor.getParameterText (2), "");
    EXPECT_EQ (processor.getParameterText (0, 16), "getParameterText");
}

TEST (HostParameters, MoveTheCursorOverItsRange)
{
    BrisquellPlugInInterface processor;
    auto& cursor = processor.getModel().getCursor();

    processor.setParameter (0, 0.5f);
    EXPECT_EQ (cursor.getPosition(), juce::Point<float> (100.0f, 0.0f));
    EXPECT_EQ (processor.getParameter (0), 0.5f);

    processor.setParameter (1, 0.25f);
    EXPECT_EQ (cursor.getPosition(), juce::Point<float> (100.0f, 50.0f));
    EXPECT_EQ (processor.getParameter (1), 0.25f);

    // Unclamped: beyond the range the cursor leaves the pane, and reads back the same way.
    processor.setParameter (0, 1.5f);
    EXPECT_EQ (cursor.getPosition().x, 300.0f);
    EXPECT_EQ (processor.getParameter (0), 1.5f);

    // 200 x 0.0025 = 0.5 rounds to the even 0.
    processor.setParameter (1, 0.0025f);
    EXPECT_EQ (cursor.getPosition().y, 0.0f);
}

TEST (HostParameters, BadIndicesAndValuesChangeNothing)
{
    BrisquellPlugInInterface processor;
    auto& cursor = processor.getModel().getCursor();
    processor.setParameter (0, 0.5f);

    processor.setParameter (2, 0.9f);
    processor.setParameter (-1, 0.9f);
    processor.setParameter (0, std::numeric_limits<float>::quiet_NaN());
    processor.setParameter (0, std::numeric_limits<float>::infinity());
    processor.setParameter (0, std::numeric_limits<float>::max());

    EXPECT_EQ (cursor.getPosition(), juce::Point<float> (100.0f, 0.0f));
    EXPECT_EQ (processor.getParameter (0), 0.5f);
    EXPECT_EQ (processor.getParameter (2), 0.0f);
}

TEST (HostParameters, CursorMovedInTheEditorIsWhatTheHostReads)
{
    BrisquellPlugInInterface processor;
    processor.getModel().getCursor().setPosition (150.0f, 20.0f);

    EXPECT_EQ (processor.getParameter (0), 0.75f);
    EXPECT_EQ (processor.getParameter (1), 0.1f);
}

TEST (HostParameters, ParameterMoveCausesOutputAtTheNextTick)
{
    ProcessorHarness harness;
    harness.model().addController (7, 1);
    harness.run (512);

    harness.processor.setParameter (0, 0.5f);
    EXPECT_EQ (harness.run (512).size(), 1u);
    EXPECT_TRUE (harness.run (512).empty());
}

TEST (Programs, ThereAreNone)
{
    BrisquellPlugInInterface processor;

    EXPECT_EQ (processor.getNumPrograms(), 0);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    processor.setCurrentProgram (3);
    processor.changeProgramName (0, "mine");
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_EQ (processor.getProgramName (0), "getProgramName(0)");
    EXPECT_EQ (processor.getProgramName (-2), "getProgramName(-2)");
}

TEST (ProcessorDeclarations, NameChannelsMidiAndEditor)
{
    BrisquellPlugInInterface processor;

    EXPECT_EQ (processor.getName(), "Brisquell");
    EXPECT_EQ (processor.getTotalNumInputChannels(), 0);
    EXPECT_EQ (processor.getTotalNumOutputChannels(), 0);
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_TRUE (processor.acceptsMidi());
    EXPECT_TRUE (processor.producesMidi());
    EXPECT_GT (processor.getTailLengthSeconds(), 0.0);
    EXPECT_EQ (processor.getInputChannelName (3), "getInputChannelName(3)");
    EXPECT_EQ (processor.getOutputChannelName (-1), "getOutputChannelName(-1)");
    EXPECT_FALSE (processor.isInputChannelStereoPair (0));
    EXPECT_FALSE (processor.isOutputChannelStereoPair (0));
    EXPECT_TRUE (processor.hasEditor());
}

TEST (ProcessorDeclarations, EditorTakesTheModelsEditorSize)
{
    BrisquellPlugInInterface processor;
    processor.getModel().setEditorSize (420, 260);

    std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditorIfNeeded());

    ASSERT_NE (editor, nullptr);
    EXPECT_EQ (editor->getWidth(), 420);
    EXPECT_EQ (editor->getHeight(), 260);
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
