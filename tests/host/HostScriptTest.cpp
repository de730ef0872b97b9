// SPDX-License-Identifier: GPL-3.0-or-later
// The bundled host's script lines that playing from a controller needs: program changes, pitch
// bend, and edits of the saved state (what the demo session uses to give a scene its trigger).
#include "HostFixture.h"
#include "tools/host/Script.h"

using namespace brisquell;
using namespace brisquell::test;

namespace
{
std::vector<host::Action> parsed (const std::string& line, std::string& error)
{
    std::vector<host::Action> actions;
    error.clear();
    host::parseLine (line, actions, error);
    return actions;
}
} // namespace

TEST (HostScript, ProgramChangesAndPitchBendAreMidiLines)
{
    std::string error;

    auto actions = parsed ("3 17 program 16 127", error);
    ASSERT_EQ (actions.size(), 1u) << error;
    EXPECT_EQ (actions[0].block, 3);
    EXPECT_EQ (actions[0].event, host::MidiEvent::fromBytes (17, { 0xcf, 127 }));

    actions = parsed ("0 0 pitch-bend 2 16383", error);
    ASSERT_EQ (actions.size(), 1u) << error;
    EXPECT_EQ (actions[0].event, host::MidiEvent::fromBytes (0, { 0xe1, 0x7f, 0x7f }));
    EXPECT_EQ (parsed ("0 0 pitch-bend 1 8192", error)[0].event, host::MidiEvent::fromBytes (0, { 0xe0, 0, 64 }));

    for (const auto* bad : { "0 0 program 0 1", "0 0 program 1 128", "0 0 program 1", "0 0 pitch-bend 1 16384", "0 0 pitch-bend 17 0", "0 0 pitch-bend 1 -1" })
    {
        EXPECT_TRUE (parsed (bad, error).empty()) << bad;
        EXPECT_FALSE (error.empty()) << bad;
    }
}

TEST (HostScript, SetLinesNameAnElementItsNumberAndAttributes)
{
    std::string error;
    const auto actions = parsed ("5 set scene 1 trigger=note triggernumber=60", error);
    ASSERT_EQ (actions.size(), 1u) << error;
    EXPECT_EQ (actions[0].kind, host::Action::Kind::set);
    EXPECT_EQ (actions[0].text, "scene");
    EXPECT_EQ (actions[0].index, 1);
    EXPECT_EQ (actions[0].attributes, (std::vector<std::pair<std::string, std::string>>{ { "trigger", "note" }, { "triggernumber", "60" } }));

    for (const auto* bad : { "5 set scene 1", "5 set scene x a=1", "5 set scene 0 =1", "5 set scene 0 a" })
        EXPECT_TRUE (parsed (bad, error).empty()) << bad;
}

TEST (HostScript, SetStateAttributesEditsTheSavedDocument)
{
    auto chunk = chunkOfText (R"(<brisquell><scenes><scene id="0" x="1"/><scene id="1" x="2"/></scenes><gui width="3"/></brisquell>)");

    ASSERT_TRUE (host::setStateAttributes (chunk, "scene", 1, { { "x", "9" }, { "trigger", "a\"<b" } }));
    ASSERT_TRUE (host::setStateAttributes (chunk, "cursorcontrol", 0, { { "glide", "1" } }));
    EXPECT_EQ (textOf (chunk), R"(<brisquell><scenes><scene id="0" x="1"/><scene id="1" x="9" trigger="a&quot;&lt;b"/></scenes>)"
                               R"(<gui width="3"/><cursorcontrol glide="1"/></brisquell>)");

    const auto before = chunk;
    EXPECT_FALSE (host::setStateAttributes (chunk, "scene", 2, { { "x", "1" } })) << "only a first element is added";
    EXPECT_EQ (chunk, before);

    ASSERT_TRUE (host::setStateAttributes (chunk, "gu", 0, { { "x", "1" } })) << "names are matched whole: <gui> is no <gu>";
    EXPECT_NE (textOf (chunk).find (R"(<gui width="3"/><cursorcontrol glide="1"/><gu x="1"/></brisquell>)"), std::string::npos);

    std::vector<std::uint8_t> notAChunk{ 1, 2, 3 };
    EXPECT_FALSE (host::setStateAttributes (notAChunk, "scene", 0, { { "x", "1" } }));
    EXPECT_EQ (notAChunk, (std::vector<std::uint8_t>{ 1, 2, 3 }));
}

TEST (HostScript, TheDemoSessionEndsWithANoteRecallingAScene)
{
    // The demo's last scene recall, through the real binary: its project, with the trigger and
    // the glide set by "set" lines, glides to scene 2 and stays there.
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin, 44100.0f, 441);

    plugin->setChunk (chunkOfText (R"(<brisquell><controllers><controller ccno="20" channel="1" name="20"><value value="10" scene="0"/>)"
                                   R"(<value value="120" scene="1"/></controller></controllers><scenes><scene x="0" y="0"/><scene x="200" y="0"/>)"
                                   R"(</scenes></brisquell>)"));
    auto chunk = plugin->getChunk();
    ASSERT_TRUE (host::setStateAttributes (chunk, "scene", 1, { { "trigger", "note" }, { "triggerchannel", "1" }, { "triggernumber", "60" } }));
    ASSERT_TRUE (host::setStateAttributes (chunk, "cursorcontrol", 0, { { "glide", "1" }, { "shape", "smooth" } }));
    plugin->setChunk (chunk);
    runBlock (*plugin, 441);

    runBlock (*plugin, 441, { host::MidiEvent::fromBytes (100, { 0x90, 60, 100 }) });
    std::vector<int> values;

    for (int block = 0; block < 101; ++block)
        for (auto& e : runBlock (*plugin, 441))
            values.push_back (e.bytes[2]);

    ASSERT_FALSE (values.empty());
    EXPECT_TRUE (std::is_sorted (values.begin(), values.end())) << "on its way from 10 up to 120";
    EXPECT_EQ (values.back(), 120);
    EXPECT_TRUE (runBlock (*plugin, 441).empty()) << "arrived: nothing more to send";
}
