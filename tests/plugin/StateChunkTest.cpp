// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugin/StateChunk.h"
#include "plugin/BrisquellPlugInInterface.h"

#include <gtest/gtest.h>

#include <string>

using namespace brisquell;

namespace
{
juce::String documentText (const Brisquell& model)
{
    return model.createStateXml ("brisquell")->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
}

juce::MemoryBlock saveState (BrisquellPlugInInterface& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return block;
}

void restoreState (BrisquellPlugInInterface& processor, const juce::MemoryBlock& block)
{
    processor.setStateInformation (block.getData(), (int) block.getSize());
}

/** A chunk with the given header fields and raw text bytes, plus the terminator and spare. */
juce::MemoryBlock makeChunk (const std::string& text, juce::uint32 length, juce::uint32 magic = chunk::magic)
{
    juce::MemoryOutputStream out;
    out.writeInt ((int) magic);
    out.writeInt ((int) length);
    out.write (text.data(), text.size());
    out.writeByte (0);
    out.writeByte (0);
    return out.getMemoryBlock();
}

juce::MemoryBlock makeChunk (const std::string& text)
{
    return makeChunk (text, (juce::uint32) text.size());
}

/** A model with controllers, values in scenes, an editor size and a pane view. */
void populate (Brisquell& model)
{
    auto* cutoff = model.addController (74, 2);
    auto* resonance = model.addController (71, 2);
    cutoff->setName ("Cutoff");

    for (auto [x, y] : { std::pair{ 10.0f, 20.0f }, { 190.0f, 20.0f }, { 100.0f, 180.0f } })
    {
        auto scene = std::make_unique<Scene> (model);
        scene->setPosition (x, y);
        auto* raw = scene.get();
        model.addScene (std::move (scene));
        cutoff->setValueInScene ((int) x / 2, *raw);
        resonance->setValueInScene ((int) y / 2, *raw);
    }

    model.setEditorSize (640, 480);
    model.setMorphPaneState (PaneView{ 12, -3, 1.5f, 2.0f });
}

juce::File fixture (const char* name)
{
    return juce::File (BRISQUELL_PLUGIN_FIXTURES).getChildFile (name);
}

/** The fixture's bytes, restored into the processor (empty when the file cannot be read). */
juce::MemoryBlock restoreFixture (BrisquellPlugInInterface& processor, const char* name)
{
    juce::MemoryBlock saved;

    if (fixture (name).loadFileAsData (saved))
        restoreState (processor, saved);

    return saved;
}
} // namespace

//==============================================================================
TEST (StateChunk, LayoutIsMagicLengthTextTerminatorSpare)
{
    BrisquellPlugInInterface processor;
    populate (processor.getModel());

    const auto block = saveState (processor);
    const auto text = documentText (processor.getModel());
    const auto* bytes = static_cast<const juce::uint8*> (block.getData());
    const auto n = (size_t) text.getNumBytesAsUTF8();

    ASSERT_EQ (block.getSize(), n + 10);
    EXPECT_EQ (std::string (reinterpret_cast<const char*> (bytes), 4), "VC2!");
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes + 4), (juce::uint32) n);
    EXPECT_EQ (juce::String::fromUTF8 (reinterpret_cast<const char*> (bytes + 8), (int) n), text);
    EXPECT_EQ (bytes[8 + n], 0);
    EXPECT_EQ (bytes[9 + n], 0);

    // One line, no declaration.
    EXPECT_TRUE (text.startsWith ("<brisquell>"));
    EXPECT_FALSE (text.containsChar ('\n'));
}

TEST (StateChunk, RoundTripThroughAFreshInstance)
{
    BrisquellPlugInInterface original;
    populate (original.getModel());

    BrisquellPlugInInterface restored;
    restored.getModel().addController (1, 1); // replaced, not merged
    restoreState (restored, saveState (original));

    EXPECT_EQ (documentText (restored.getModel()), documentText (original.getModel()));
    EXPECT_EQ (restored.getModel().getNumControllers(), 2);
    EXPECT_EQ (restored.getModel().getNumScenes(), 3);
    EXPECT_EQ (restored.getModel().getEditorSize(), juce::Point<int> (640, 480));
}

TEST (StateChunk, ProgramChunkIsTheWholeStateBothWays)
{
    BrisquellPlugInInterface original;
    populate (original.getModel());

    juce::MemoryBlock programChunk;
    original.getCurrentProgramStateInformation (programChunk);
    EXPECT_EQ (programChunk, saveState (original));

    // Restoring a program chunk used to do nothing, losing the state a host recalled.
    BrisquellPlugInInterface restored;
    restored.setCurrentProgramStateInformation (programChunk.getData(), (int) programChunk.getSize());
    EXPECT_EQ (documentText (restored.getModel()), documentText (original.getModel()));
}

TEST (StateChunk, SavedFixtureStillRestoresAndResavesIdentically)
{
    BrisquellPlugInInterface processor;
    const auto saved = restoreFixture (processor, "three-scenes.chunk");
    ASSERT_FALSE (saved.isEmpty());
    auto& model = processor.getModel();

    ASSERT_EQ (model.getNumControllers(), 3);
    ASSERT_EQ (model.getNumScenes(), 3);
    EXPECT_EQ (model.getController (1)->getCcNumber(), 21);
    EXPECT_EQ (model.getScene (2)->getPosition(), juce::Point<float> (100.0f, 200.0f));
    EXPECT_EQ (model.getScene (1)->getValueFor (*model.getController (0)), 120);
    EXPECT_EQ (model.getScene (2)->getValueFor (*model.getController (2)), 127);

    EXPECT_EQ (saveState (processor), saved);
}

TEST (StateChunk, FixtureWithAZoomedViewRestoresTheViewAndResavesIdentically)
{
    BrisquellPlugInInterface processor;
    const auto saved = restoreFixture (processor, "zoomed-view.chunk");
    ASSERT_FALSE (saved.isEmpty());
    auto& model = processor.getModel();

    ASSERT_EQ (model.getNumControllers(), 3);
    EXPECT_EQ (model.getController (0)->getName(), juce::String::fromUTF8 ("Cutoff & \"Q\" <f\xc3\xa9> \xf0\x9f\x8e\x9b"));
    EXPECT_EQ (model.getScene (1)->getPosition(), juce::Point<float> (190.0f, 20.0f));

    // Zoom factors written from floats with sixteen digits come back as the same floats.
    const auto view = model.getMorphPaneState();
    ASSERT_TRUE (view.has_value());
    EXPECT_EQ (view->xOffset, -5);
    EXPECT_EQ (view->yOffset, -24);
    EXPECT_EQ (view->xZoom, 1.1f * 1.1f * 1.1f * 0.9f);
    EXPECT_EQ (view->yZoom, 1.1f * 1.1f * 1.1f);

    EXPECT_EQ (saveState (processor), saved);
}

TEST (StateChunk, FixturePlayedFromAControllerRestoresItsSourcesTriggersAndGlideAndResavesIdentically)
{
    BrisquellPlugInInterface processor;
    const auto saved = restoreFixture (processor, "played-from-a-controller.chunk");
    ASSERT_FALSE (saved.isEmpty());
    auto& model = processor.getModel();

    ASSERT_EQ (model.getNumScenes(), 3);
    EXPECT_EQ (model.getScene (0)->getTrigger(), (SceneTrigger{ SceneTrigger::Kind::note, 1, 60 }));
    EXPECT_EQ (model.getScene (1)->getTrigger(), SceneTrigger());
    EXPECT_EQ (model.getScene (2)->getTrigger(), (SceneTrigger{ SceneTrigger::Kind::programChange, 10, 5 }));
    EXPECT_EQ (model.getCursorSource (0), (CursorSource{ CursorSource::Kind::controlChangePair, 1, 1 }));
    EXPECT_EQ (model.getCursorSource (1), (CursorSource{ CursorSource::Kind::pitchBend, 2, 0 }));
    EXPECT_EQ (model.getGlideTime(), 2.5);
    EXPECT_EQ (model.getGlideShape(), GlideShape::smooth);

    EXPECT_EQ (saveState (processor), saved);
}

TEST (StateChunk, FixturesFromBeforeLoadWithNothingPlayedFromAController)
{
    for (const auto* name : { "three-scenes.chunk", "zoomed-view.chunk" })
    {
        BrisquellPlugInInterface processor;
        auto& model = processor.getModel();
        model.setGlideTime (3.0);
        model.setCursorSource (0, { CursorSource::Kind::pitchBend, 1, 0 });
        ASSERT_FALSE (restoreFixture (processor, name).isEmpty());

        EXPECT_EQ (model.getGlideTime(), 0.0) << name;
        EXPECT_EQ (model.getCursorSource (0), CursorSource()) << name;

        for (int i = 0; i < model.getNumScenes(); ++i)
            EXPECT_EQ (model.getScene (i)->getTrigger(), SceneTrigger()) << name;

        EXPECT_FALSE (model.usesExactTiming()) << name << ": its output follows the old rule";
    }
}

TEST (StateChunk, AFixtureWithFourteenBitAndNrpnControllersComesBackByteForByte)
{
    BrisquellPlugInInterface processor;
    const auto saved = restoreFixture (processor, "controller-kinds.chunk");
    ASSERT_FALSE (saved.isEmpty());
    auto& model = processor.getModel();

    ASSERT_EQ (model.getNumControllers(), 3);
    EXPECT_EQ (model.getController (0)->getKind(), ControllerKind::sevenBit);
    EXPECT_EQ (model.getController (1)->getKind(), ControllerKind::fourteenBit);
    EXPECT_EQ (model.getController (2)->getKind(), ControllerKind::nrpn);
    EXPECT_EQ (model.getController (2)->getCcNumber(), 1000);
    EXPECT_EQ (model.getScene (1)->getValueFor (*model.getController (1)), 16383);
    EXPECT_EQ (saveState (processor), saved);
}

//==============================================================================
TEST (StateChunk, NamesOutsideAsciiSurviveTheRoundTrip)
{
    BrisquellPlugInInterface original;
    const auto name = juce::String::fromUTF8 ("Filtre \xc3\xa9t\xc3\xa9 \xe2\x86\x92 \xf0\x9f\x8e\x9b");
    original.getModel().addController (5, 1)->setName (name);

    BrisquellPlugInInterface restored;
    restoreState (restored, saveState (original));

    ASSERT_EQ (restored.getModel().getNumControllers(), 1);
    EXPECT_EQ (restored.getModel().getController (0)->getName(), name);
}

TEST (StateChunk, TextIsReadAsUtf8OrElseOneCharacterPerByte)
{
    const std::string utf8 = "<brisquell><controllers><controller ccno=\"1\" channel=\"1\" name=\"caf\xc3\xa9\"/></controllers></brisquell>";
    const std::string latin1 = "<brisquell><controllers><controller ccno=\"1\" channel=\"1\" name=\"caf\xe9\"/></controllers></brisquell>";

    for (const auto* text : { &utf8, &latin1 })
    {
        BrisquellPlugInInterface processor;
        restoreState (processor, makeChunk (*text));
        ASSERT_EQ (processor.getModel().getNumControllers(), 1);
        EXPECT_EQ (processor.getModel().getController (0)->getName(), juce::String::fromUTF8 ("caf\xc3\xa9"));
    }
}

/** The text is UTF-8 only when all of it is well-formed UTF-8 in its shortest form. A single
    overlong sequence, surrogate or code point past U+10FFFF anywhere makes the whole text read
    one character per byte, so that bytes are never turned into characters they do not spell
    (an overlong "<" must not become markup that the chunk's structure check never saw).
*/
TEST (StateChunk, MalformedUtf8MakesTheWholeTextReadOneCharacterPerByte)
{
    const auto nameAfterRestoring = [] (const std::string& nameBytes)
    {
        // "caf\xc3\xa9" elsewhere in the same text shows how the whole text was read.
        const auto text = "<brisquell><controllers><controller ccno=\"1\" channel=\"1\" name=\"caf\xc3\xa9\"/>"
                          "<controller ccno=\"2\" channel=\"1\" name=\""
                          + nameBytes + "\"/></controllers></brisquell>";
        BrisquellPlugInInterface processor;
        restoreState (processor, makeChunk (text));
        const auto& model = processor.getModel();
        return model.getNumControllers() == 2 ? std::make_pair (model.getController (0)->getName(), model.getController (1)->getName())
                                              : std::make_pair (juce::String ("not restored"), juce::String());
    };

    const auto oneCharacterPerByte = [] (const std::string& bytes)
    {
        juce::String text;

        for (auto byte : bytes)
            text += juce::String::charToString ((juce::juce_wchar) (unsigned char) byte);

        return text;
    };

    const auto cafeAsLatin1 = juce::String::fromUTF8 ("caf\xc3\x83\xc2\xa9");

    for (const std::string bytes : {
             "\xc0\xbc",             // "<" in two bytes
             "\xc1\xbf",             // U+007F in two bytes
             "\xe0\x80\xaf",         // "/" in three bytes
             "\xe0\x9f\xbf",         // U+07FF in three bytes, just below the three-byte minimum
             "\xf0\x8f\xbf\xbf",     // U+FFFF in four bytes, just below the four-byte minimum
             "\xed\xa0\x80",         // the first surrogate, U+D800
             "\xed\xbf\xbf",         // the last surrogate, U+DFFF
             "\xf4\x90\x80\x80",     // U+110000, one past the last code point
             "\xf7\xbf\xbf\xbf",     // the largest value a four-byte form can spell
             "\xf8\x88\x80\x80\x80", // five-byte forms do not exist
             "a\x80z",               // a continuation byte without a lead
             "\xe2\x82",             // a sequence cut short by the closing quote
         })
    {
        const auto [first, second] = nameAfterRestoring (bytes);
        EXPECT_EQ (first, cafeAsLatin1) << juce::String::toHexString (bytes.data(), (int) bytes.size());
        EXPECT_EQ (second, oneCharacterPerByte (bytes)) << juce::String::toHexString (bytes.data(), (int) bytes.size());
    }

    // The neighbours on the valid side of each limit are read as UTF-8.
    for (const std::string bytes : {
             "\xc2\x80",         // U+0080
             "\xe0\xa0\x80",     // U+0800
             "\xed\x9f\xbf",     // U+D7FF
             "\xee\x80\x80",     // U+E000
             "\xef\xbf\xbf",     // U+FFFF
             "\xf0\x90\x80\x80", // U+10000
             "\xf4\x8f\xbf\xbf", // U+10FFFF
         })
    {
        const auto [first, second] = nameAfterRestoring (bytes);
        EXPECT_EQ (first, juce::String::fromUTF8 ("caf\xc3\xa9")) << juce::String::toHexString (bytes.data(), (int) bytes.size());
        EXPECT_EQ (second, juce::String::fromUTF8 (bytes.data(), (int) bytes.size())) << juce::String::toHexString (bytes.data(), (int) bytes.size());
    }
}

TEST (StateChunk, LengthBeyondTheDataIsCutAndTextEndsAtAZeroByte)
{
    const std::string document = "<brisquell><gui width=\"7\" height=\"9\"/></brisquell>";

    {
        BrisquellPlugInInterface processor;
        auto block = makeChunk (document, 1000);
        block.setSize (block.getSize() - 2); // exactly the header and the text
        restoreState (processor, block);
        EXPECT_EQ (processor.getModel().getEditorSize(), juce::Point<int> (7, 9));
    }

    {
        BrisquellPlugInInterface processor;
        restoreState (processor, makeChunk (document + std::string (1, '\0') + "<garbage"));
        EXPECT_EQ (processor.getModel().getEditorSize(), juce::Point<int> (7, 9));
    }
}

//==============================================================================
TEST (StateChunk, EveryUnreadableChunkLeavesTheModelUnchanged)
{
    BrisquellPlugInInterface processor;
    populate (processor.getModel());
    const auto before = documentText (processor.getModel());

    const std::string fine = "<brisquell></brisquell>";
    std::string deep;

    for (int i = 0; i < 100000; ++i)
        deep += "<a>";

    const std::vector<std::pair<const char*, juce::MemoryBlock>> cases{
        { "empty", juce::MemoryBlock() },
        { "magic only", juce::MemoryBlock (makeChunk (fine).getData(), 4) },
        { "eight bytes with a length", juce::MemoryBlock (makeChunk (fine).getData(), 8) },
        { "wrong magic", makeChunk (fine, (juce::uint32) fine.size(), 0x21324357) },
        { "big-endian magic", makeChunk (fine, (juce::uint32) fine.size(), 0x56433221) },
        { "zero length", makeChunk (fine, 0) },
        { "text starts with a zero byte", makeChunk (std::string (1, '\0') + fine) },
        { "not XML", makeChunk ("hello, host") },
        { "unterminated document", makeChunk ("<brisquell><controllers>") },
        { "nested beyond the limit", makeChunk (deep) },
        { "recursive entity", makeChunk ("<!DOCTYPE b [<!ENTITY e \"&e;\">]><brisquell>&e;</brisquell>") },
    };

    for (auto& [what, block] : cases)
    {
        processor.setStateInformation (block.getData(), (int) block.getSize());
        EXPECT_EQ (documentText (processor.getModel()), before) << what;
    }

    processor.setStateInformation (nullptr, 100);
    processor.setStateInformation (makeChunk (fine).getData(), 0);
    processor.setStateInformation (makeChunk (fine).getData(), -5);
    EXPECT_EQ (documentText (processor.getModel()), before);
}

TEST (StateChunk, DocumentAtTheNestingLimitIsRestored)
{
    std::string text = "<brisquell>";

    for (int i = 1; i < chunk::maxNestingDepth; ++i)
        text += "<x>";

    for (int i = 1; i < chunk::maxNestingDepth; ++i)
        text += "</x>";

    text += "<gui width=\"1\" height=\"2\"/></brisquell>";

    BrisquellPlugInInterface processor;
    restoreState (processor, makeChunk (text));
    EXPECT_EQ (processor.getModel().getEditorSize(), juce::Point<int> (1, 2));
}

TEST (StateChunk, TextInADocumentIsLeftOutInsteadOfBreakingTheWriter)
{
    // An element after text made the framework's single-line writer use a null newline string.
    for (const auto* text : { "<b><v>x<a><c/></a></v></b>",
                              "<b>t<a first=\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\" second=\"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\"/></b>",
                              "<b>line\r\nbreaks<![CDATA[<c>]]><d>e</d></b>" })
    {
        const auto document = juce::parseXML (text);
        ASSERT_NE (document, nullptr) << text;

        juce::MemoryBlock block;
        chunk::write (*document, block);
        const auto written = chunk::extractText (block.getData(), block.getSize());
        EXPECT_FALSE (written.containsAnyOf ("\r\n")) << written;

        EXPECT_NE (chunk::read (block.getData(), block.getSize()), nullptr) << written;
    }

    const auto document = juce::parseXML ("<b>x<v a=\"1\">y<w/>z</v></b>");
    juce::MemoryBlock block;
    chunk::write (*document, block);
    EXPECT_EQ (chunk::extractText (block.getData(), block.getSize()), "<b><v a=\"1\"><w/></v></b>");
}

TEST (StateChunk, RegressionAChunkWrittenIntoAUsedBlockReplacesAllOfIt)
{
    BrisquellPlugInInterface processor;
    populate (processor.getModel());
    const auto expected = saveState (processor);

    // Larger, just as large and smaller than the chunk, each full of other bytes: a host that
    // hands the same block over again, or one that held an earlier, longer state.
    for (const auto size : { expected.getSize() * 3, expected.getSize(), expected.getSize() - 20, (size_t) 1 })
    {
        juce::MemoryBlock used (size);
        used.fillWith (0xab);
        processor.getStateInformation (used);
        EXPECT_EQ (used, expected) << size << " bytes before";
    }

    // A document written by the plug-in ends in the terminator and the spare byte.
    juce::MemoryBlock used (expected.getSize());
    used.fillWith (0xff);
    chunk::write (*processor.getModel().createStateXml ("brisquell"), used);
    EXPECT_EQ (used, expected);
}

TEST (StateChunk, FixtureWithNamedColouredScenesAndASharperMixRestoresAndResavesIdentically)
{
    BrisquellPlugInInterface processor;
    const auto saved = restoreFixture (processor, "named-coloured-scenes.chunk");
    ASSERT_FALSE (saved.isEmpty());
    auto& model = processor.getModel();

    ASSERT_EQ (model.getNumScenes(), 4);
    EXPECT_EQ (model.getSharpness(), 2);
    EXPECT_EQ (model.getScene (0)->getName(), juce::String (juce::CharPointer_UTF8 ("Lead \"A\" & <B> \xc3\xa9\xf0\x9f\x8e\xb9")));
    EXPECT_EQ (model.getScene (0)->getColour(), juce::Colour (0xffd62728));
    EXPECT_EQ (model.getScene (1)->getName(), "");
    EXPECT_FALSE (model.getScene (1)->getColour().has_value());
    EXPECT_EQ (model.getScene (2)->getName(), "pad");
    EXPECT_EQ (model.getScene (3)->getColour(), juce::Colour (0xff17becf));

    EXPECT_EQ (saveState (processor), saved);
}
