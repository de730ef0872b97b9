// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProcessorHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace brisquell;
using namespace brisquell::test;

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

TEST (HostParameters, TwoCursorParametersInTheProcessorsList)
{
    BrisquellPlugInInterface processor;
    const auto& parameters = processor.getParameters();
    ASSERT_EQ (parameters.size(), 2);

    for (int i = 0; i < 2; ++i)
    {
        auto* parameter = dynamic_cast<juce::RangedAudioParameter*> (parameters[i]);
        ASSERT_NE (parameter, nullptr);
        EXPECT_EQ (parameter->getParameterIndex(), i);
        EXPECT_EQ (parameter->paramID, i == 0 ? "cursorX" : "cursorY");
        EXPECT_EQ (parameter->getName (32), i == 0 ? "cursor X" : "cursor Y");
        EXPECT_EQ (parameter->getLabel(), "");
        EXPECT_TRUE (parameter->isAutomatable());
        EXPECT_FALSE (parameter->isDiscrete());
        EXPECT_FALSE (parameter->isMetaParameter());
        EXPECT_EQ (parameter->getCategory(), juce::AudioProcessorParameter::genericParameter);
        EXPECT_EQ (parameter->getNumSteps(), juce::AudioProcessor::getDefaultNumParameterSteps());
        EXPECT_EQ (parameter->getDefaultValue(), 0.0f);
        EXPECT_EQ (parameter->getNormalisableRange().start, 0.0f);
        EXPECT_EQ (parameter->getNormalisableRange().end, 200.0f) << "plain values in pane units";
        EXPECT_EQ (parameter->convertFrom0to1 (0.5f), 100.0f);
    }

    // The older index-based calls reach the same parameters.
    EXPECT_EQ (processor.getNumParameters(), 2);
    EXPECT_EQ (processor.getParameterName (0), "cursor X");
    EXPECT_EQ (processor.getParameterName (1), "cursor Y");
    EXPECT_EQ (processor.getParameterName (2), "");
    EXPECT_EQ (processor.getParameterName (-1), "");
    EXPECT_EQ (processor.getParameterName (1, 6), "cursor");
    EXPECT_EQ (processor.getParameterText (2), "");
}

TEST (HostParameters, DisplayTextIsThePositionOnThePaneAndFollowsTheCursor)
{
    BrisquellPlugInInterface processor;
    auto& cursor = processor.getModel().getCursor();
    EXPECT_EQ (processor.getParameterText (0), "0");

    processor.setParameter (0, 0.5f);
    processor.setParameter (1, 0.185f);
    EXPECT_EQ (processor.getParameterText (0), "100");
    EXPECT_EQ (processor.getParameterText (1), "37");
    EXPECT_EQ (processor.getParameterText (0, 2), "10");

    // Moved in the editor: the text goes where the cursor goes, which is never off the range.
    cursor.setPosition (150.0f, -30.0f);
    EXPECT_EQ (processor.getParameterText (0), "150");
    EXPECT_EQ (processor.getParameterText (1), "0");
    cursor.setPosition (640.0f, 199.25f);
    EXPECT_EQ (processor.getParameterText (0), "200");
    EXPECT_EQ (processor.getParameterText (1), "199.25");
}

TEST (HostParameters, TheTextOfAValueIsWhereThatValueMovesTheCursor)
{
    BrisquellPlugInInterface processor;
    auto& cursorX = *processor.getParameters()[0];
    const auto nan = std::numeric_limits<float>::quiet_NaN();
    const auto infinity = std::numeric_limits<float>::infinity();

    for (auto [value, text] : { std::pair{ 0.0f, "0" }, { 0.5f, "100" }, { 1.0f, "200" }, { 0.0025f, "0.5" }, { 0.0075f, "1.5" }, { 0.503f, "100.6" }, { 0.333f, "66.6" }, { 1.0f / 3.0f, "66.667" }, { -0.1f, "0" }, { 1.5f, "200" }, { 1.0e7f, "200" } })
    {
        EXPECT_EQ (cursorX.getText (value, 1024), text) << value;

        // A host setting the value puts the cursor there, and then reads the same text.
        processor.setParameter (0, value);
        EXPECT_NEAR (processor.getModel().getCursor().getPosition().x, juce::String (text).getFloatValue(), 0.0005f) << value;
        EXPECT_EQ (processor.getParameterText (0), text) << value;
    }

    // Values that move the cursor nowhere have no text.
    for (auto value : { nan, infinity, -infinity, std::numeric_limits<float>::max() })
        EXPECT_EQ (cursorX.getText (value, 1024), "") << value;
}

TEST (HostParameters, TypedPositionsAreReadBackInPaneUnits)
{
    BrisquellPlugInInterface processor;
    auto& cursorY = *processor.getParameters()[1];

    for (auto [text, value] : { std::pair{ "100", 0.5f }, { " 50 ", 0.25f }, { "+150", 0.75f }, { "100.6", 0.503f }, { ".5", 0.0025f }, { "0", 0.0f }, { "-20", 0.0f }, { "250", 1.0f }, { "1e9", 1.0f }, { "37 px", 0.185f } })
        EXPECT_FLOAT_EQ (cursorY.getValueForText (text), value) << text;

    // Text that is no number changes nothing: it gives the value the parameter has.
    processor.setParameter (1, 0.3f);

    for (auto* text : { "", "  ", "abc", "x100", "-", "+.", "." })
        EXPECT_FLOAT_EQ (cursorY.getValueForText (text), 0.3f) << text;

    // What a host reads back and types in again lands the cursor where it was: exactly at every
    // whole position, and within the float's rounding at every eighth.
    int wrong = 0;

    for (int eighths = 0; eighths <= 1600; ++eighths)
    {
        const auto y = (float) eighths / 8.0f;
        processor.getModel().getCursor().setPosition (0.0f, y);
        processor.setParameter (1, cursorY.getValueForText (cursorY.getCurrentValueAsText()));
        const auto error = std::abs (processor.getModel().getCursor().getPosition().y - y);

        if (eighths % 8 == 0 ? error != 0.0f : error > 1.0e-6f * y)
            ++wrong;
    }

    EXPECT_EQ (wrong, 0);
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

    // Beyond the range the cursor stops at its edge, and the parameter reads the edge.
    processor.setParameter (0, 1.5f);
    EXPECT_EQ (cursor.getPosition().x, 200.0f);
    EXPECT_EQ (processor.getParameter (0), 1.0f);

    // Not rounded: 200 x 0.0025 is half a unit, and the parameter reads back what was written.
    processor.setParameter (1, 0.0025f);
    EXPECT_FLOAT_EQ (cursor.getPosition().y, 0.5f);
    EXPECT_EQ (processor.getParameter (1), 0.0025f);
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

TEST (Programs, OneProgramNamedBrisquellumThatNothingChanges)
{
    BrisquellPlugInInterface processor;

    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_EQ (processor.getProgramName (0), "Brisquellum");
    EXPECT_EQ (processor.getProgramName (1), "");
    EXPECT_EQ (processor.getProgramName (-2), "");

    processor.setCurrentProgram (3);
    processor.changeProgramName (0, "mine");
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_EQ (processor.getProgramName (0), "Brisquellum");
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
    EXPECT_EQ (processor.getInputChannelName (0), "") << "no channels, no names";
    EXPECT_EQ (processor.getOutputChannelName (-1), "");
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
