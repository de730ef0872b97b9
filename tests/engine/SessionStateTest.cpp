// SPDX-License-Identifier: GPL-3.0-or-later
// The session in the state document: cursor, refresh rate, modes and selection.
#include "EngineTestHelpers.h"
#include "engine/document/DocumentElements.h"

using namespace brisquell;
using namespace brisquell::test;

namespace
{
juce::String documentOf (const Brisquell& model)
{
    return model.createStateXml ("brisquell")->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
}

void restoreText (Brisquell& model, const juce::String& text)
{
    auto document = juce::parseXML (text);
    ASSERT_NE (document, nullptr) << text;
    model.restoreStateXml (std::move (document));
}

/** The text of the document's "session" element, or empty. */
juce::String sessionOf (const Brisquell& model)
{
    const auto text = documentOf (model);
    const auto start = text.indexOf ("<session");
    return start < 0 ? juce::String() : text.substring (start, text.indexOf (start, "/>") + 2);
}

// Three scenes with values for two controllers; no scene selected.
constexpr const char* threeScenes =
    "<brisquell><controllers>"
    "<controller ccno=\"20\" channel=\"1\" name=\"a\"><value value=\"0\" scene=\"0\"/><value value=\"100\" scene=\"1\"/><value value=\"50\" scene=\"2\"/></controller>"
    "<controller ccno=\"21\" channel=\"2\" name=\"b\"><value value=\"127\" scene=\"0\"/><value value=\"10\" scene=\"2\"/></controller>"
    "</controllers><scenes>"
    "<scene id=\"0\" colour=\"ff000000\" x=\"0\" y=\"0\"/><scene id=\"1\" colour=\"ff000000\" x=\"200\" y=\"0\"/>"
    "<scene id=\"2\" colour=\"ff000000\" x=\"100\" y=\"150\"/>"
    "</scenes><gui width=\"300\" height=\"300\"/>";

juce::String withSession (const juce::String& session)
{
    return juce::String (threeScenes) + session + "</brisquell>";
}

/** The settings a model holds, for comparing two models at once. */
struct Settings
{
    juce::Point<float> cursor;
    int rate;
    bool learn, key, audit;
    juce::Array<int> selection;

    bool operator== (const Settings& o) const
    {
        return cursor == o.cursor && rate == o.rate && learn == o.learn && key == o.key && audit == o.audit && selection == o.selection;
    }
};

void PrintTo (const Settings& s, std::ostream* os)
{
    *os << "cursor (" << s.cursor.x << ", " << s.cursor.y << ") rate " << s.rate << " learn " << s.learn << " key " << s.key
        << " audit " << s.audit << " selection";

    for (auto i : s.selection)
        *os << " " << i;
}

Settings settingsOf (const Brisquell& model)
{
    juce::Array<int> selection;

    for (auto* scene : model.getSelectedScenes())
        selection.add (model.indexOfScene (scene));

    return { model.getCursor().getPosition(), model.getRefreshRate(), model.isAutoLearn(), model.isAutoKey(), model.isAudit(), selection };
}

const Settings newInstance{ { 0.0f, 0.0f }, 200, true, true, false, {} };
} // namespace

TEST (SessionState, ANewInstancesSessionWritesNothingSoTheDocumentIsAsBefore)
{
    Brisquell model;
    restoreText (model, withSession (""));
    const auto before = documentOf (model);
    ASSERT_FALSE (before.contains ("session"));

    // Settings changed and put back to a new instance's leave no trace either.
    model.getCursor().setPosition (40, 50);
    model.getCursor().setPosition (0, 0);
    model.setRefreshRate (500);
    model.setRefreshRate (200);
    model.setAudit (true);
    model.setAudit (false);
    model.setAutoKey (false);
    model.setAutoKey (true);
    model.setSelectedScenes ({ model.getScene (1) });
    model.setSelectedScenes ({});
    EXPECT_EQ (documentOf (model), before);

    model.getCursor().setPosition (-0.0f, 0.0f);
    EXPECT_EQ (documentOf (model), before) << "-0 is the origin";
}

TEST (SessionState, WritesOnlyWhatDiffersAndRestoresItIntoANewInstance)
{
    Brisquell source;
    restoreText (source, withSession (""));

    source.setRefreshRate (1);
    EXPECT_EQ (sessionOf (source), "<session refreshrate=\"1\"/>");

    source.getCursor().setPosition (12.25f, 40.0f);
    source.setAutoLearn (false);
    source.setAutoKey (false);
    source.setAudit (true);
    source.setRefreshRate (5000);
    source.setSelectedScenes ({ source.getScene (2), source.getScene (0) });
    EXPECT_EQ (sessionOf (source), "<session cursorx=\"12.25\" cursory=\"40\" refreshrate=\"5000\" autolearn=\"0\" "
                                   "autokey=\"0\" audit=\"1\" selection=\"2 0\"/>");
    EXPECT_TRUE (documentOf (source).contains ("<gui width=\"300\" height=\"300\"/><session ")) << "last, after the editor's parts";

    Brisquell reopened;
    restoreText (reopened, documentOf (source));
    EXPECT_EQ (settingsOf (reopened), settingsOf (source));
    EXPECT_TRUE (reopened.isSelectionRestored());
    EXPECT_EQ (documentOf (reopened), documentOf (source));
}

TEST (SessionState, PositionsKeepEveryBitOfTheirFloatAndOnesOutsideTheRangeComeBackAtItsEdge)
{
    for (auto x : { 0.1f, 1.0e-30f, 199.99998f, 123.456789f, 1.0f / 3.0f, 100.0f })
    {
        Brisquell source;
        source.getCursor().setPosition (x, 200.0f - x);

        Brisquell reopened;
        restoreText (reopened, documentOf (source));
        EXPECT_EQ (reopened.getCursor().getPosition(), juce::Point<float> (x, 200.0f - x)) << documentOf (source);
        EXPECT_EQ (reopened.getCursorX(), x / 200.0f);
    }

    // Earlier releases let a drag put the cursor outside; such a project reopens with the
    // cursor at the nearest point of the range, and saves that point.
    Brisquell earlier;
    restoreText (earlier, withSession ("<session cursorx=\"205\" cursory=\"-3e38\"/>"));
    EXPECT_EQ (earlier.getCursor().getPosition(), juce::Point<float> (200.0f, 0.0f));
    EXPECT_EQ (earlier.getCursorX(), 1.0f);
    EXPECT_TRUE (documentOf (earlier).contains ("<session cursorx=\"200\"/>")) << documentOf (earlier);
}

TEST (SessionState, WhatASessionElementLacksIsANewInstancesButADocumentWithoutOneKeepsTheSettings)
{
    Brisquell model;
    model.getCursor().setPosition (33, 44);
    model.setRefreshRate (999);
    model.setAutoLearn (false);
    model.setAudit (true);

    restoreText (model, withSession ("<Session RefreshRate=\"300\"/>"));
    auto expected = newInstance;
    expected.rate = 300;
    EXPECT_EQ (settingsOf (model), expected) << "names in any case; the rest as a new instance has it";

    model.getCursor().setPosition (33, 44);
    model.setAudit (true);
    restoreText (model, withSession (""));
    EXPECT_EQ (model.getCursor().getPosition(), juce::Point<float> (33, 44));
    EXPECT_EQ (model.getRefreshRate(), 300);
    EXPECT_TRUE (model.isAudit());
    EXPECT_FALSE (model.isSelectionRestored());
}

TEST (SessionState, UnusableValuesGetANewInstancesAndLoseNothingElse)
{
    const char* badSessions[] = {
        "<session refreshrate=\"0\" cursorx=\"nan\" cursory=\"inf\" autolearn=\"2\" autokey=\"yes\" audit=\"\" selection=\"3\"/>",
        "<session refreshrate=\"1000000000\" cursorx=\"1e39\" cursory=\"-1e400\" audit=\"-1\" selection=\"-1 x 2.5\"/>",
        "<session refreshrate=\"12.5\" cursorx=\"abc\" autolearn=\"1.0\" selection=\"99999999999999999999\"/>",
        "<session refreshrate=\"-5\" selection=\"\"/>",
        "<session refreshrate=\"1e3\"/>",
    };

    for (auto* bad : badSessions)
    {
        Brisquell model;
        model.setRefreshRate (777);
        restoreText (model, withSession (bad));
        EXPECT_EQ (settingsOf (model), newInstance) << bad;
        EXPECT_EQ (model.getNumScenes(), 3) << bad;
        EXPECT_EQ (model.getNumControllers(), 2) << bad;
        EXPECT_EQ (model.getScene (1)->getValueFor (*model.getController (0)), 100) << bad;
        EXPECT_FALSE (model.isSelectionRestored()) << bad;
    }

    // A selection keeps the scenes it names, once each and in its order.
    Brisquell model;
    restoreText (model, withSession ("<session selection=\" 1  7 1 0 -0 x\"/>"));
    EXPECT_EQ (settingsOf (model).selection, juce::Array<int> ({ 1, 0 }));

    // Without scenes there is nothing to select, whatever the element names.
    restoreText (model, "<brisquell><session selection=\"0\" refreshrate=\"40\"/></brisquell>");
    EXPECT_EQ (model.getNumSelectedScenes(), 0);
    EXPECT_EQ (model.getRefreshRate(), 40);
}

TEST (SessionState, TheFirstTickAfterAReopeningSendsWhatWasGoingOutWhenItWasSaved)
{
    Brisquell source;
    restoreText (source, withSession (""));
    source.getCursor().setPosition (150, 40);
    const auto sentBefore = tick (source);
    ASSERT_EQ (sentBefore.size(), 2u);

    Brisquell reopened;
    restoreText (reopened, documentOf (source));
    EXPECT_EQ (tick (reopened), sentBefore);

    // Auditing a selected scene: that scene's own values, as before the save.
    source.setSelectedScenes ({ source.getScene (2) });
    source.setAudit (true);
    const auto auditedBefore = tick (source);
    ASSERT_EQ (auditedBefore, (std::vector<SentControlChange>{ { 2, 21, 10, 0 }, { 1, 20, 50, 0 } }));

    Brisquell audited;
    restoreText (audited, documentOf (source));
    EXPECT_EQ (tick (audited), auditedBefore);

    // A project without scenes stays silent, wherever its cursor was left.
    Brisquell empty;
    restoreText (empty, "<brisquell><controllers><controller ccno=\"1\" channel=\"1\"/></controllers>"
                        "<session cursorx=\"10\" cursory=\"10\"/></brisquell>");
    EXPECT_FALSE (empty.needsOutput());
    EXPECT_EQ (empty.getCursor().getPosition(), juce::Point<float> (10, 10));
}

TEST (SessionState, ARestoredSelectionStaysMarkedUntilTheSceneListChanges)
{
    Brisquell model;
    restoreText (model, withSession ("<session selection=\"0\"/>"));
    EXPECT_TRUE (model.isSelectionRestored());

    model.setSelectedScenes ({ model.getScene (1) });
    EXPECT_TRUE (model.isSelectionRestored()) << "a choice among the same scenes";

    addSceneAt (model, 5, 5);
    EXPECT_FALSE (model.isSelectionRestored());

    restoreText (model, withSession ("<session selection=\"2\"/>"));
    model.deleteScene (model.getScene (0));
    EXPECT_FALSE (model.isSelectionRestored());

    restoreText (model, withSession ("<session selection=\"2\"/>"));
    restoreText (model, withSession ("<session refreshrate=\"7\"/>"));
    EXPECT_FALSE (model.isSelectionRestored()) << "a document without a selection";
}
