// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestHelpers.h"
#include "engine/document/DocumentElements.h"

using namespace brisquell;
using namespace brisquell::test;

namespace
{
juce::String textOf (const juce::XmlElement& element)
{
    return element.toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
}

juce::String documentOf (const Brisquell& model)
{
    return textOf (*model.createStateXml ("brisquell"));
}

void restoreText (Brisquell& model, const juce::String& text)
{
    auto document = juce::parseXML (text);
    ASSERT_NE (document, nullptr) << text;
    model.restoreStateXml (std::move (document));
}

// A model with two scenes, a named controller with values in both and one without any, a
// non-default editor size and a pane view state.
void buildSample (Brisquell& model)
{
    auto* first = addSceneAt (model, 12.5f, -12.5f);
    auto* second = addSceneAt (model, 100, -20);
    auto* named = model.addController (7, 3);
    named->setName ("Cutoff & \"Q\"");
    named->setValueInScene (5, *second);
    named->setValueInScene (127, *first);
    model.addController (8, 16);
    model.setEditorSize (640, 480);

    PaneView pane;
    pane.xOffset = 3;
    model.setMorphPaneState (pane);
}
} // namespace

TEST (StateDocument, IsWrittenWithTheGivenNamesOrderAndNumberForms)
{
    Brisquell model;
    buildSample (model);

    EXPECT_EQ (documentOf (model),
               "<brisquell><controllers>"
               "<controller ccno=\"7\" channel=\"3\" name=\"Cutoff &amp; &quot;Q&quot;\">"
               "<value value=\"5\" scene=\"1\"/><value value=\"127\" scene=\"0\"/></controller>"
               "<controller ccno=\"8\" channel=\"16\" name=\"8\"/>"
               "</controllers><scenes>"
               "<scene id=\"0\" colour=\"ff000000\" x=\"12.5\" y=\"-12.5\"/>"
               "<scene id=\"1\" colour=\"ff000000\" x=\"100\" y=\"-20\"/>"
               "</scenes><gui width=\"640\" height=\"480\"/><morphpanestate xoff=\"3\"/>"
               "<session selection=\"1\"/></brisquell>");

    // Building changes nothing: the same document again, the pane state still held.
    EXPECT_EQ (documentOf (model), documentOf (model));
    EXPECT_TRUE (model.getMorphPaneState().has_value());
}

TEST (StateDocument, RoundTripRestoresTheListsButKeepsCursorSettingsAndModes)
{
    // Nothing selected: the document carries no session, as every earlier one.
    Brisquell source;
    buildSample (source);
    source.setSelectedScenes ({});
    const auto saved = documentOf (source);
    ASSERT_FALSE (saved.contains ("session"));

    Brisquell model;
    model.getCursor().setPosition (33, 44);
    model.setRefreshRate (999);
    model.setAutoLearn (false);
    model.setAudit (true);
    addSceneAt (model, 1, 1);
    model.addController (99, 9);

    restoreText (model, saved);

    ASSERT_EQ (model.getNumScenes(), 2);
    ASSERT_EQ (model.getNumControllers(), 2);
    EXPECT_EQ (model.getScene (0)->getPosition(), juce::Point<float> (12, -12)); // truncated
    EXPECT_EQ (model.getScene (1)->getPosition(), juce::Point<float> (100, -20));
    auto* restored = model.getController (0);
    EXPECT_EQ (restored->getCcNumber(), 7);
    EXPECT_EQ (restored->getChannel(), 3);
    EXPECT_EQ (model.getScene (1)->getValueFor (*restored), 5);
    EXPECT_EQ (model.getScene (0)->getValueFor (*restored), 127);
    EXPECT_EQ (model.getController (1)->getNumSceneValues(), 0);
    EXPECT_EQ (model.getEditorSize(), juce::Point<int> (640, 480));
    EXPECT_EQ (model.getNumSelectedScenes(), 0);
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (33, 44));
    EXPECT_EQ (model.getRefreshRate(), 999);
    EXPECT_FALSE (model.isAutoLearn());
    EXPECT_TRUE (model.isAutoKey());
    EXPECT_TRUE (model.isAudit());

    // Saving what was restored gives the same document, but for the truncated position and
    // the settings the model kept, which it carries from now on.
    const auto keptSettings = "<session cursorx=\"33\" cursory=\"44\" refreshrate=\"999\" autolearn=\"0\" audit=\"1\"/>";
    const auto expected = saved.replace ("x=\"12.5\" y=\"-12.5\"", "x=\"12\" y=\"-12\"");
    EXPECT_EQ (documentOf (model), expected.replace ("</brisquell>", juce::String (keptSettings) + "</brisquell>"));
}

TEST (StateDocument, RegressionControllerNamesAreReadBack)
{
    Brisquell model;
    restoreText (model, "<b><controllers><controller ccno=\"1\" name=\"Filter env\"/><controller ccno=\"2\"/></controllers></b>");
    EXPECT_EQ (model.getController (0)->getName(), "Filter env");
    EXPECT_EQ (model.getController (1)->getName(), "");
}

TEST (StateDocument, RegressionPositionsWrittenWithAnExponentReadBackWhole)
{
    Brisquell source;
    addSceneAt (source, 1.5e9f, -2.0e9f);
    const auto saved = documentOf (source);
    ASSERT_TRUE (saved.contains ("x=\"1.5e+09\""));

    Brisquell model;
    restoreText (model, saved);
    EXPECT_EQ (model.getScene (0)->getPosition(), juce::Point<float> (1.5e9f, -2.0e9f));
}

TEST (StateDocument, AfterARestoreTheNextTickSendsEveryControllerUnlessAuditIsOn)
{
    const juce::String withScene = "<b><controllers><controller ccno=\"1\"><value value=\"40\" scene=\"0\"/></controller>"
                                   "<controller ccno=\"2\"/></controllers><scenes><scene x=\"5\" y=\"5\"/></scenes></b>";
    Brisquell model;
    restoreText (model, withScene);
    EXPECT_EQ (tick (model), (std::vector<SentControlChange> { { 1, 2, 0, 0 }, { 1, 1, 40, 0 } }));

    restoreText (model, "<b><controllers><controller ccno=\"1\"/></controllers></b>");
    EXPECT_FALSE (model.needsOutput());

    model.setAudit (true);
    tick (model);
    restoreText (model, withScene);
    EXPECT_FALSE (model.needsOutput());
}

TEST (StateDocument, BadDocumentsReadWhatTheyCanAndLoseNothingElse)
{
    Brisquell model;
    model.setEditorSize (500, 400);
    model.restoreStateXml (nullptr);
    EXPECT_EQ (model.getEditorSize(), juce::Point<int> (500, 400));

    // An empty root: nothing at all, no pane view, the editor size kept.
    model.setMorphPaneState (PaneView{});
    addSceneAt (model, 1, 1);
    restoreText (model, "<anything/>");
    EXPECT_EQ (model.getNumScenes(), 0);
    EXPECT_EQ (model.getNumControllers(), 0);
    EXPECT_FALSE (model.getMorphPaneState().has_value());
    EXPECT_EQ (model.getEditorSize(), juce::Point<int> (500, 400));

    // Names in any case; any tag inside "scenes" is a scene, text is not; colours are ignored;
    // values pointing outside the scenes are dropped; numbers read as their leading integer part,
    // saturating; unknown elements are ignored; "gui" without a width gives 0.
    restoreText (model, "<B><Unknown/><CONTROLLERS>"
                        "<Controller CCNO=\"12.7\" Channel=\"x3\">"
                        "<value value=\"9\" scene=\"5\"/><v VALUE=\"8\" SCENE=\"2\"/><value value=\"7\" scene=\"-1\"/>"
                        "</Controller>junk"
                        "<controller ccno=\"99999999999\" channel=\"-99999999999\"/>"
                        "</CONTROLLERS><Scenes>text<Scene X=\" 4\" y=\"+6\" colour=\"nonsense\"/><s x=\"abc\"/><scene/></Scenes>"
                        "<GUI height=\"200\"/><MorphPaneState xzoom=\"nan\"/></B>");

    ASSERT_EQ (model.getNumScenes(), 3);
    EXPECT_EQ (model.getScene (0)->getPosition(), juce::Point<float> (4, 6));
    EXPECT_EQ (model.getScene (1)->getPosition(), juce::Point<float> (0, 0));
    ASSERT_EQ (model.getNumControllers(), 2);
    auto* first = model.getController (0);
    EXPECT_EQ (first->getCcNumber(), 12);
    EXPECT_EQ (first->getChannel(), 0);
    ASSERT_EQ (first->getNumSceneValues(), 1);
    EXPECT_EQ (model.getScene (2)->getValueFor (*first), 8);
    EXPECT_EQ (model.getController (1)->getCcNumber(), std::numeric_limits<int>::max());
    EXPECT_EQ (model.getController (1)->getChannel(), std::numeric_limits<int>::min());
    EXPECT_EQ (model.getEditorSize(), juce::Point<int> (0, 200));
    EXPECT_EQ (model.getMorphPaneState(), PaneView{}) << "an unusable zoom is no zoom";
}

TEST (StateDocument, DuplicateValuesAreKeptAndTheFirstCounts)
{
    Brisquell model;
    restoreText (model, "<b><controllers><controller ccno=\"1\">"
                        "<value value=\"40\" scene=\"0\"/><value value=\"100\" scene=\"0\"/></controller></controllers>"
                        "<scenes><scene x=\"0\" y=\"0\"/><scene x=\"10\" y=\"0\"/></scenes></b>");
    model.getCursor().setPosition (5, 0);
    auto* controller = model.getController (0);

    EXPECT_EQ (controller->getNumSceneValues(), 2);
    EXPECT_EQ (model.getScene (0)->getValueFor (*controller), 40);
    EXPECT_EQ (controller->getValue(), 40); // 0.5 x 40, twice: the scene's value is the first

    controller->setValueInScene (60, *model.getScene (0)); // overwrites the first
    EXPECT_EQ (controller->getValue(), 60);
}

TEST (StateDocument, NumberFormsOfTheHelpers)
{
    EXPECT_EQ (state::formatDecimal (100.0), "100");
    EXPECT_EQ (state::formatDecimal (-20.0), "-20");
    EXPECT_EQ (state::formatDecimal (12.5), "12.5");
    EXPECT_EQ (state::formatDecimal ((double) 0.1f), "0.100000001");

    EXPECT_EQ (state::parseInteger ("12.7"), 12);
    EXPECT_EQ (state::parseInteger ("  -7px"), -7);
    EXPECT_EQ (state::parseInteger ("-"), 0);
    EXPECT_EQ (state::parseInteger (""), 0);
    EXPECT_EQ (state::parseInteger (juce::CharPointer_UTF8 ("\xd9\xa1\xd9\xa2")), 0); // Arabic-Indic 12
    EXPECT_EQ (state::parseInteger ("-2147483648"), std::numeric_limits<int>::min());

    EXPECT_EQ (state::parseDecimal ("12.5e1"), 125.0);
    for (auto* text : { "nan", "-inf", "1e999", "junk", "1e2147483649999", "-1e+0000099999999999" })
        EXPECT_EQ (state::parseDecimal (text), 0.0) << text;

    // Exponents of any length: too small reads as zero, leading zeros count for nothing.
    EXPECT_EQ (state::parseDecimal ("-1e-2147483649999"), 0.0);
    EXPECT_EQ (state::parseDecimal ("25e-000000000001"), 2.5);

    EXPECT_EQ (state::parseDecimalAsInteger ("-12.5"), -12);
    EXPECT_EQ (state::parseDecimalAsInteger ("1e30"), std::numeric_limits<int>::max());
}

//==============================================================================
TEST (StateDocument, OfTheViewStateOnlyThePanesViewIsKeptAndWrittenAsItCame)
{
    Brisquell model;
    restoreText (model, "<b><MorphPaneState other=\"1\" yzoom=\"0.5\" XOFF=\"-12.9\">text<inner a=\"1\">more<x/></inner>"
                        "<![CDATA[c]]></MorphPaneState><morphpanestate xoff=\"99\"/></b>");

    EXPECT_EQ (model.getMorphPaneState(), (PaneView{ -12, std::nullopt, std::nullopt, 0.5f })) << "the first such element";
    EXPECT_EQ (documentOf (model), "<brisquell><controllers/><scenes/><gui width=\"300\" height=\"300\"/>"
                                   "<morphpanestate xoff=\"-12\" yzoom=\"0.5\"/></brisquell>");

    // Zooms that no pane could use are left out; the offsets saturate.
    restoreText (model, "<b><morphpanestate xoff=\"-99999999999\" yoff=\"\" xzoom=\"-1\" yzoom=\"1e300\"/></b>");
    EXPECT_EQ (model.getMorphPaneState(), (PaneView{ std::numeric_limits<int>::min(), 0, std::nullopt, std::nullopt }));
}

TEST (StateDocument, NamesAreKeptAsADocumentCanCarryThem)
{
    Brisquell model;
    auto* controller = model.addController (1, 1);

    // Lone surrogates and code points beyond Unicode can come from a paste; they would be
    // written as references that no reader accepts, losing the whole project at its next load.
    const juce::juce_wchar unwritable[] = { 'a', 0xd800, 'b', 0xdfff, 0x110000, 0x1f39b, 0 };
    controller->setName (juce::String (juce::CharPointer_UTF32 (unwritable)));
    const juce::juce_wchar replaced[] = { 'a', 0xfffd, 'b', 0xfffd, 0xfffd, 0x1f39b, 0 };
    EXPECT_EQ (controller->getName(), juce::String (juce::CharPointer_UTF32 (replaced)));

    controller->setName (juce::String::repeatedString ("\xc3\xa9", maxStorableNameLength + 10));
    EXPECT_EQ (controller->getName().length(), maxStorableNameLength);

    const auto name = juce::String::repeatedString ("n", maxStorableNameLength + 1);
    restoreText (model, "<b><controllers><controller name=\"" + name + "\"/></controllers></b>");
    EXPECT_EQ (model.getController (0)->getName(), name.dropLastCharacters (1));
}

//==============================================================================
namespace
{
/** Two scenes with triggers, both cursor sources, a glide of 1.5 s, smooth. */
void buildPlayable (Brisquell& model)
{
    auto* first = addSceneAt (model, 10, 20);
    addSceneAt (model, 30, 40);
    auto* third = addSceneAt (model, 50, 60);
    model.setSceneTrigger (*first, { SceneTrigger::Kind::note, 1, 60 });
    model.setSceneTrigger (*third, { SceneTrigger::Kind::programChange, 16, 127 });
    model.setCursorSource (0, { CursorSource::Kind::controlChangePair, 2, 1 });
    model.setCursorSource (1, { CursorSource::Kind::pitchBend, 16, 0 });
    model.setGlideTime (1.5);
    model.setGlideShape (GlideShape::smooth);
}
} // namespace

TEST (StateDocument, SourcesTriggersAndGlideGoIntoNewAttributesAndALastElement)
{
    Brisquell model;
    buildPlayable (model);
    model.setSelectedScenes ({}); // no session element

    EXPECT_EQ (documentOf (model),
               "<brisquell><controllers/><scenes>"
               "<scene id=\"0\" colour=\"ff000000\" x=\"10\" y=\"20\" trigger=\"note\" triggerchannel=\"1\" triggernumber=\"60\"/>"
               "<scene id=\"1\" colour=\"ff000000\" x=\"30\" y=\"40\"/>"
               "<scene id=\"2\" colour=\"ff000000\" x=\"50\" y=\"60\" trigger=\"program\" triggerchannel=\"16\" triggernumber=\"127\"/>"
               "</scenes><gui width=\"300\" height=\"300\"/>"
               "<cursorcontrol glide=\"1.5\" shape=\"smooth\" xsource=\"cc14\" xchannel=\"2\" xnumber=\"1\" ysource=\"pitchbend\" ychannel=\"16\"/>"
               "</brisquell>");

    // A pane view comes before it, and a 7-bit source with the glide off still needs it.
    model.setMorphPaneState (PaneView{ 1, 2, std::nullopt, std::nullopt });
    model.setGlideTime (0.0);
    model.setGlideShape (GlideShape::linear);
    model.setCursorSource (0, { CursorSource::Kind::controlChange, 3, 119 });
    model.setCursorSource (1, {});
    EXPECT_TRUE (documentOf (model).endsWith ("<morphpanestate xoff=\"1\" yoff=\"2\"/>"
                                              "<cursorcontrol glide=\"0\" shape=\"linear\" xsource=\"cc\" xchannel=\"3\" xnumber=\"119\"/></brisquell>"));
}

TEST (StateDocument, WithoutSourcesTriggersOrGlideTheDocumentIsAsBefore)
{
    Brisquell model;
    buildSample (model);
    const auto before = documentOf (model);

    // Used and then undone: nothing of it is written.
    model.setGlideTime (2.0);
    model.setGlideShape (GlideShape::smooth);
    model.setCursorSource (1, { CursorSource::Kind::pitchBend, 1, 0 });
    model.setSceneTrigger (*model.getScene (0), { SceneTrigger::Kind::note, 1, 1 });
    model.requestLearn (LearnRequest::cursor (0));
    model.setGlideTime (0.0);
    model.setGlideShape (GlideShape::linear);
    model.forgetCursorSources();
    model.setSceneTrigger (*model.getScene (0), {});

    EXPECT_EQ (documentOf (model), before);
    EXPECT_FALSE (before.contains ("trigger"));
    EXPECT_FALSE (before.contains ("cursorcontrol"));
}

TEST (StateDocument, SourcesTriggersAndGlideRoundTrip)
{
    Brisquell source;
    buildPlayable (source);
    const auto saved = documentOf (source);

    Brisquell model;
    model.setGlideTime (9.0);
    restoreText (model, saved);

    EXPECT_EQ (documentOf (model), saved);
    EXPECT_EQ (model.getGlideTime(), 1.5);
    EXPECT_EQ (model.getGlideShape(), GlideShape::smooth);
    EXPECT_EQ (model.getCursorSource (0), (CursorSource{ CursorSource::Kind::controlChangePair, 2, 1 }));
    EXPECT_EQ (model.getCursorSource (1), (CursorSource{ CursorSource::Kind::pitchBend, 16, 0 }));
    EXPECT_EQ (model.getScene (0)->getTrigger(), (SceneTrigger{ SceneTrigger::Kind::note, 1, 60 }));
    EXPECT_EQ (model.getScene (1)->getTrigger(), SceneTrigger());

    // The restored triggers recall their scenes.
    const juce::uint8 programChange[] = { 0xcf, 127 };
    model.setSampleClock (0.0, 1000.0);
    model.handleIncomingMidi (programChange, 2);
    EXPECT_EQ (model.getCursorTarget(), juce::Point<float> (50, 60));

    // A document from before knows none of it: restored, nothing plays from a controller.
    restoreText (model, "<brisquell><controllers/><scenes><scene x=\"1\" y=\"1\"/></scenes></brisquell>");
    EXPECT_EQ (model.getGlideTime(), 0.0);
    EXPECT_EQ (model.getCursorSource (0), CursorSource());
    EXPECT_EQ (model.getScene (0)->getTrigger(), SceneTrigger());
    EXPECT_FALSE (model.usesExactTiming());
}

TEST (StateDocument, BadSourcesTriggersAndGlideSettingsGetClearDefaultsAndLoseNothingElse)
{
    struct Case
    {
        const char* cursorControl;
        double glideTime;
        GlideShape shape;
        CursorSource x, y;
    };

    const CursorSource none;

    for (const auto& c : { Case{ "glide=\"-3\" shape=\"SMOOTH\"", 0.0, GlideShape::smooth, none, none },
                           Case{ "glide=\"600\" shape=\"wobbly\"", 60.0, GlideShape::linear, none, none },
                           Case{ "glide=\"nan\"", 0.0, GlideShape::linear, none, none },
                           Case{ "glide=\"1e999\"", 0.0, GlideShape::linear, none, none },
                           Case{ "glide=\"2.5s\"", 2.5, GlideShape::linear, none, none },
                           Case{ "xsource=\"cc\" xchannel=\"17\" xnumber=\"1\" ysource=\"CC14\" ychannel=\"1\" ynumber=\"32\"", 0.0, GlideShape::linear, none, none },
                           Case{ "xsource=\"cc\" xchannel=\"1\" xnumber=\"127\" ysource=\"pitchbend\" ychannel=\"0\"", 0.0, GlideShape::linear, none, none },
                           Case{ "xsource=\"aftertouch\" xchannel=\"1\" ysource=\"PitchBend\" ychannel=\"9\" ynumber=\"99\"", 0.0, GlideShape::linear, none, { CursorSource::Kind::pitchBend, 9, 0 } },
                           Case{ "xsource=\"cc\" xchannel=\"1.9\" xnumber=\"+5\"", 0.0, GlideShape::linear, { CursorSource::Kind::controlChange, 1, 5 }, none } })
    {
        Brisquell model;
        restoreText (model, juce::String ("<b><controllers><controller ccno=\"7\"><value value=\"5\" scene=\"0\"/></controller></controllers>"
                                          "<scenes><scene x=\"1\" y=\"2\" trigger=\"note\" triggerchannel=\"0\" triggernumber=\"1\"/>"
                                          "<scene x=\"3\" y=\"4\" trigger=\"program\" triggerchannel=\"2\" triggernumber=\"128\"/>"
                                          "<scene x=\"5\" y=\"6\" trigger=\"chord\" triggerchannel=\"1\" triggernumber=\"1\"/>"
                                          "<scene x=\"7\" y=\"8\" TRIGGER=\"Program\" triggerchannel=\"16\"/></scenes>"
                                          "<cursorcontrol ")
                                + c.cursorControl + "/></b>");

        EXPECT_EQ (model.getGlideTime(), c.glideTime) << c.cursorControl;
        EXPECT_EQ (model.getGlideShape(), c.shape) << c.cursorControl;
        EXPECT_EQ (model.getCursorSource (0), c.x) << c.cursorControl;
        EXPECT_EQ (model.getCursorSource (1), c.y) << c.cursorControl;

        // The scenes and their values are all there; only the last trigger is usable.
        ASSERT_EQ (model.getNumScenes(), 4);
        EXPECT_EQ (model.getScene (2)->getPosition(), juce::Point<float> (5, 6));
        EXPECT_EQ (model.getScene (0)->getValueFor (*model.getController (0)), 5);

        for (int i = 0; i < 3; ++i)
            EXPECT_EQ (model.getScene (i)->getTrigger(), SceneTrigger()) << i;

        EXPECT_EQ (model.getScene (3)->getTrigger(), (SceneTrigger{ SceneTrigger::Kind::programChange, 16, 0 }));
    }
}

TEST (StateDocument, SceneNamesColoursAndTheSharpnessAreWrittenOnlyWhenChosen)
{
    Brisquell model;
    buildSample (model);
    const auto plain = documentOf (model);

    model.getScene (0)->setName ("Lead <1> & \"2\"");
    model.getScene (1)->setColour (juce::Colour (0xff2ca02c));
    model.setSharpness (4);
    EXPECT_EQ (documentOf (model),
               plain.replace ("<scenes>", "<scenes sharpness=\"4\">")
                   .replace ("x=\"12.5\" y=\"-12.5\"/>", "x=\"12.5\" y=\"-12.5\" name=\"Lead &lt;1&gt; &amp; &quot;2&quot;\"/>")
                   .replace ("<scene id=\"1\" colour=\"ff000000\"", "<scene id=\"1\" colour=\"ff2ca02c\""));

    // Taken back, the document is as it was before, byte for byte.
    model.getScene (0)->setName ({});
    model.getScene (1)->setColour (std::nullopt);
    model.setSharpness (1);
    EXPECT_EQ (documentOf (model), plain);
}

TEST (StateDocument, SceneNamesColoursAndTheSharpnessComeBack)
{
    Brisquell source;
    addSceneAt (source, 0, 0)->setName (juce::String (juce::CharPointer_UTF8 ("pad \xf0\x9f\x8e\xb9\t\x01 \xc3\xa9")));
    addSceneAt (source, 10, 0)->setColour (juce::Colour (0xff9467bd));
    auto* both = addSceneAt (source, 20, 0);
    both->setName (juce::String::repeatedString ("long ", maxStorableNameLength / 5));
    both->setColour (juce::Colour (0x40123456));
    source.setSharpness (2);
    const auto saved = documentOf (source);

    Brisquell model;
    restoreText (model, saved);
    ASSERT_EQ (model.getNumScenes(), 3);

    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ (model.getScene (i)->getName(), source.getScene (i)->getName()) << i;
        EXPECT_EQ (model.getScene (i)->getColour(), source.getScene (i)->getColour()) << i;
    }

    EXPECT_EQ (model.getSharpness(), 2);
    EXPECT_EQ (documentOf (model), saved);

    // A document without the attribute (every earlier one) means the original blend.
    restoreText (model, "<b><scenes><scene x=\"1\" y=\"1\"/></scenes></b>");
    EXPECT_EQ (model.getSharpness(), 1);
}

TEST (StateDocument, ColoursAndSharpnessesThatMeanNothingReadAsNone)
{
    Brisquell model;
    restoreText (model, "<b><scenes SHARPNESS=\"3\">"
                        "<scene colour=\"ff000000\"/><scene colour=\"FF000000\"/><scene COLOUR=\"FF17BECF\"/>"
                        "<scene colour=\"17becf\"/><scene colour=\"ff17becfff\"/><scene colour=\" ff17becf\"/>"
                        "<scene colour=\"red\"/><scene colour=\"\"/><scene/><scene colour=\"0000000g\"/>"
                        "<scene colour=\"00000000\"/></scenes></b>");

    ASSERT_EQ (model.getNumScenes(), 11);
    EXPECT_EQ (model.getSharpness(), 1);
    EXPECT_EQ (model.getScene (2)->getColour(), juce::Colour (0xff17becf));
    EXPECT_EQ (model.getScene (10)->getColour(), juce::Colour (0x00000000)) << "transparent black is a colour, drawn opaque";

    for (int i : { 0, 1, 3, 4, 5, 6, 7, 8, 9 })
        EXPECT_FALSE (model.getScene (i)->getColour().has_value()) << i;

    // Regression: colours with little alpha were written without their leading zeros ("0"),
    // which reads back as no colour.
    restoreText (model, "<b><scenes><scene colour=\"00000000\"/><scene colour=\"0A123456\"/></scenes></b>");
    const auto saved = documentOf (model);
    EXPECT_TRUE (saved.contains ("colour=\"00000000\"") && saved.contains ("colour=\"0a123456\"")) << saved;
    restoreText (model, saved);
    EXPECT_EQ (model.getScene (0)->getColour(), juce::Colour (0x00000000));
    EXPECT_EQ (model.getScene (1)->getColour(), juce::Colour (0x0a123456));

    for (auto [text, expected] : { std::pair<const char*, int>{ "2", 2 }, { "4.9", 4 }, { "-4", 1 }, { "8", 1 }, { "x", 1 } })
    {
        restoreText (model, juce::String ("<b><scenes sharpness=\"") + text + "\"/></b>");
        EXPECT_EQ (model.getSharpness(), expected) << text;
    }
}
