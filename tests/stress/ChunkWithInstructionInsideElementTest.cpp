// SPDX-License-Identifier: GPL-3.0-or-later
// Regression: a chunk whose document has a processing instruction followed by text inside an
// element made setStateInformation loop forever (found by fuzz_state_chunk). The framework's
// parser skips the instruction as white space, then rolls back to read the text and stops at
// the instruction's '<', again and again. Such a chunk is now refused before it is parsed, and
// the processor keeps its state.
#include "plugin/BrisquellPlugInInterface.h"
#include "plugin/StateChunk.h"

#include <gtest/gtest.h>

namespace brisquell
{
namespace
{

juce::MemoryBlock chunkOfText (const char* text)
{
    juce::MemoryBlock chunk;
    juce::MemoryOutputStream out (chunk, false);
    out.writeInt ((int) chunk::magic);
    out.writeInt ((int) std::strlen (text));
    out.write (text, std::strlen (text));
    out.writeShort (0);
    out.flush();
    return chunk;
}

juce::MemoryBlock saved (BrisquellPlugInInterface& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return block;
}

TEST (ChunkWithInstructionInsideElement, IsRefusedAndTheStateStays)
{
    BrisquellPlugInInterface processor;
    const auto previous = chunkOfText (R"(<brisquell><controllers><controller ccno="7" channel="1"/></controllers>)"
                                       R"(<scenes><scene x="10" y="20"/></scenes><gui width="400" height="300"/></brisquell>)");
    processor.setStateInformation (previous.getData(), (int) previous.getSize());
    const auto before = saved (processor);
    ASSERT_EQ (processor.getModel().getNumControllers(), 1);

    for (const auto* text : { R"(<brisquell><scenes><?pi?>x<scene x="1" y="2"/></scenes></brisquell>)",
                              R"(<brisquell><?pi?> scene="<scene x="3" y="4">text</scene></brisquell>)",
                              R"(<brisquell><controllers><controller ccno="1"><?a b?>1</controller></controllers></brisquell>)" })
    {
        const auto hostile = chunkOfText (text);
        EXPECT_EQ (chunk::read (hostile.getData(), hostile.getSize()), nullptr) << text;

        processor.setStateInformation (hostile.getData(), (int) hostile.getSize());
        EXPECT_EQ (saved (processor), before) << text;
    }
}

TEST (ChunkWithInstructionInsideElement, AnInstructionBeforeTheRootIsStillRead)
{
    BrisquellPlugInInterface processor;
    const auto withDeclaration = chunkOfText (R"(<?xml version="1.0" encoding="UTF-8"?><brisquell><controllers/>)"
                                              R"(<scenes><scene x="5" y="6"/><scene x="7" y="8"/></scenes></brisquell>)");
    processor.setStateInformation (withDeclaration.getData(), (int) withDeclaration.getSize());
    EXPECT_EQ (processor.getModel().getNumScenes(), 2);
}

} // namespace
} // namespace brisquell
