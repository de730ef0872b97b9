// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in on a DAW's MIDI track, through the built binary: what hosts send of their own (reset
// bursts at transport stop, a mixer's set-up as a project opens) learns, stores and keys nothing,
// a performer's pedal and knob still do, the first value of a controller is kept, and with "pass
// other MIDI through" on, what the plug-in does not use leaves at its own offset among its output.

#include "HostFixture.h"
#include "tools/host/Session.h"

#include <chrono>
#include <thread>

namespace brisquell::test
{
namespace
{
using Events = std::vector<host::MidiEvent>;

host::MidiEvent raw (int offset, std::vector<std::uint8_t> bytes)
{
    return host::MidiEvent::fromBytes (offset, bytes);
}

/** A reset as hosts send it on all 16 channels at one offset: each channel's messages in turn. */
Events resetBurst (int offset, const std::vector<std::vector<int>>& perChannel)
{
    Events events;

    for (int channel = 1; channel <= 16; ++channel)
        for (auto& message : perChannel)
            events.push_back (message.size() == 2 ? cc (offset, channel, message[0], message[1])
                                                  : raw (offset, { (std::uint8_t) (0xe0 | (channel - 1)), 0, 64 }));

    return events;
}

std::string documentOf (host::Plugin& plugin) { return textOf (plugin.getChunk()); }

const std::string pedalProject = R"(<brisquell><controllers><controller ccno="64" channel="1" name="pedal"><value value="127" scene="0"/></controller><controller ccno="7" channel="2" name="volume"><value value="90" scene="0"/></controller><controller ccno="121" channel="1" name="old"><value value="5" scene="0"/></controller></controllers><scenes><scene id="0" colour="ff000000" x="0" y="0"/></scenes><gui width="300" height="300"/><session selection="0"/></brisquell>)";
} // namespace

TEST (DawTrack, HostResetBurstsLearnStoreAndSendNothing)
{
    // What hosts send when their transport stops or a project loads, on all 16 channels at once:
    // sustain off around all notes off and reset all controllers, in either order, with all
    // sound off or a centred pitch bend in some of them.
    const std::vector<std::pair<const char*, std::vector<std::vector<int>>>> bursts{
        { "sustain off, then all notes off", { { 64, 0 }, { 123, 0 } } },
        { "all notes off, reset controllers, then sustain off", { { 123, 0 }, { 121, 0 }, { 64, 0 } } },
        { "all sound off, all notes off, sustain off, pitch bend centred", { { 120, 0 }, { 123, 0 }, { 64, 0 }, { 0xe0 } } },
        { "reset controllers and sustain off", { { 121, 0 }, { 64, 0 } } },
    };

    for (const auto& [name, burst] : bursts)
    {
        SCOPED_TRACE (name);

        // A new instance (auto-learn and auto-key on), and a project with a pedal controller and
        // a selected scene: neither changes, nor sends anything, in a block or in mid-block.
        auto fresh = loadPlugin();
        ASSERT_NE (fresh, nullptr);
        startProcessing (*fresh);
        const auto freshDocument = documentOf (*fresh);
        EXPECT_EQ (runBlock (*fresh, 512, resetBurst (0, burst)), Events{});
        EXPECT_EQ (runBlock (*fresh, 512, resetBurst (300, burst)), Events{});
        EXPECT_EQ (documentOf (*fresh), freshDocument);

        auto project = loadPlugin();
        ASSERT_NE (project, nullptr);
        startProcessing (*project);
        project->setChunk (chunkOfText (pedalProject));
        runBlock (*project, 512);
        EXPECT_EQ (runBlock (*project, 512, resetBurst (17, burst)), Events{});
        EXPECT_EQ (documentOf (*project), pedalProject);
    }
}

TEST (DawTrack, PedalAndKnobOnOneChannelAreLearnedAndChannelModeMessagesNever)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin);

    // A sustain pedal pressed and released, then a volume knob turned: learned, each value kept
    // and sent at once (the first one too).
    EXPECT_EQ (runBlock (*plugin, 512, { cc (5, 1, 64, 127) }), (Events{ cc (0, 1, 64, 127) }));
    EXPECT_EQ (runBlock (*plugin, 512, { cc (5, 1, 64, 0) }), (Events{ cc (0, 1, 64, 0) }));
    EXPECT_EQ (runBlock (*plugin, 512, { cc (9, 3, 7, 100), cc (80, 3, 7, 101) }), (Events{ cc (0, 3, 7, 101) }));

    // A keyboard's own all notes off on one channel is no control either.
    EXPECT_EQ (runBlock (*plugin, 512, { cc (5, 1, 123, 0), cc (6, 1, 127, 0) }), Events{});
    EXPECT_EQ (documentOf (*plugin).find ("ccno=\"123\""), std::string::npos);

    // A project that holds a channel mode number still loads and sends it, and incoming channel
    // mode messages leave it as it is.
    plugin->setChunk (chunkOfText (pedalProject));
    EXPECT_EQ (runBlock (*plugin, 512), (Events{ cc (0, 1, 121, 5), cc (0, 2, 7, 90), cc (0, 1, 64, 127) }));
    EXPECT_EQ (runBlock (*plugin, 512, { cc (0, 1, 121, 0) }), Events{});
    EXPECT_EQ (documentOf (*plugin), pedalProject);
}

TEST (DawTrack, HostSetUpAsAProjectOpensChangesNothing)
{
    // A host opening a project restores each plug-in, starts processing and sends its track's
    // volume and pan with the first block (CC 7 = 127 and CC 10 = 64 on the track's channel).
    const std::string session = "<session selection=\"0\"/>";
    const auto withoutSelection = std::string (pedalProject).replace (pedalProject.find (session), session.size(), "");

    for (const auto& document : { pedalProject, withoutSelection })
    {
        auto plugin = loadPlugin();
        ASSERT_NE (plugin, nullptr);
        plugin->setChunk (chunkOfText (document));
        startProcessing (*plugin);

        EXPECT_EQ (runBlock (*plugin, 512, { cc (0, 2, 7, 127), cc (0, 2, 10, 64) }),
                   (Events{ cc (0, 1, 121, 5), cc (0, 2, 7, 90), cc (0, 1, 64, 127) }));
        EXPECT_EQ (documentOf (*plugin), document);

        // The musician's own moves after that are taken as always.
        runBlock (*plugin, 512, { cc (0, 2, 7, 60) });
        EXPECT_NE (documentOf (*plugin).find ("value=\"60\""), std::string::npos);
    }
}

TEST (DawTrack, FirstValueOfEveryKindIsStoredAndSent)
{
    // A new instance learns each and keys a scene with the first value, which goes out as it is.
    struct Case
    {
        const char* name;
        Events input, expected;
    };

    const std::vector<Case> cases{
        { "7-bit", { cc (3, 1, 74, 80) }, { cc (0, 1, 74, 80) } },
        { "NRPN", { cc (3, 2, 99, 1), cc (3, 2, 98, 2), cc (3, 2, 6, 70), cc (4, 2, 38, 5) }, { cc (0, 2, 99, 1), cc (0, 2, 98, 2), cc (0, 2, 6, 70), cc (0, 2, 38, 5) } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto plugin = loadPlugin();
        ASSERT_NE (plugin, nullptr);
        startProcessing (*plugin);
        EXPECT_EQ (runBlock (*plugin, 512, c.input), c.expected);

        // Another controller keying a scene elsewhere sends only itself.
        plugin->setParameter (0, 0.5f);
        runBlock (*plugin, 512);
        plugin->setChunk (host::withoutSceneSelection (plugin->getChunk()));
        runBlock (*plugin, 512); // what a restore sends
        EXPECT_EQ (runBlock (*plugin, 512, { cc (0, 5, 20, 33) }), (Events{ cc (0, 5, 20, 33) }));
        EXPECT_NE (documentOf (*plugin).find ("<value value=\"33\" scene=\"1\"/>"), std::string::npos);
    }

    // A 14-bit controller of a project: its first pair keys a scene that holds the value.
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin);
    plugin->setChunk (chunkOfText (R"(<brisquell><controllers><controller ccno="1" channel="1" name="mod" kind="cc14"><value value="0" scene="0"/></controller></controllers><scenes><scene id="0" colour="ff000000" x="200" y="200"/></scenes><gui width="300" height="300"/></brisquell>)"));
    runBlock (*plugin, 512);
    EXPECT_EQ (runBlock (*plugin, 512, { cc (0, 1, 1, 100), cc (1, 1, 33, 3) }), (Events{ cc (0, 1, 1, 100), cc (0, 1, 33, 3) }));
    EXPECT_NE (documentOf (*plugin).find ("<value value=\"12803\" scene=\"1\"/>"), std::string::npos);
}

TEST (DawTrack, MidiThroughKeepsOffsetsAndOrderWithTheOutput)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin);

    // Off (the default): what the plug-in does not use goes nowhere.
    const Events notes{ raw (10, { 0x90, 60, 100 }), raw (200, { 0x80, 60, 0 }) };
    EXPECT_EQ (runBlock (*plugin, 512, notes), Events{});

    plugin->setChunk (chunkOfText (R"(<brisquell><controllers><controller ccno="7" channel="1" name="7"><value value="10" scene="0"/></controller></controllers><scenes><scene id="0" colour="ff000000" x="0" y="0"/></scenes><gui width="300" height="300"/><session selection="0" midithrough="1"/></brisquell>)"));
    EXPECT_NE (documentOf (*plugin).find ("midithrough=\"1\""), std::string::npos);

    // The block's input is applied at its start (as always, with nothing played from a
    // controller): the restored scene with the new value of its controller goes out at offset 0,
    // after the note that came there; the controller's value (used) does not pass; the notes, a
    // pitch bend, aftertouch and a program change keep their offsets around it.
    EXPECT_EQ (runBlock (*plugin, 512, { raw (0, { 0x90, 60, 100 }), raw (40, { 0xe0, 0, 70 }), raw (40, { 0xd0, 20 }), cc (41, 1, 7, 11), raw (300, { 0xc0, 5 }), raw (511, { 0x80, 60, 0 }) }),
               (Events{ raw (0, { 0x90, 60, 100 }), cc (0, 1, 7, 11), raw (40, { 0xe0, 0, 70 }), raw (40, { 0xd0, 20 }), raw (300, { 0xc0, 5 }), raw (511, { 0x80, 60, 0 }) }));
    EXPECT_EQ (runBlock (*plugin, 512, { cc (0, 1, 119, 1) }), (Events{ cc (0, 1, 119, 1) }));

    // A host's reset is passed on (the synth behind needs it) and learns nothing.
    const auto burst = resetBurst (100, { { 64, 0 }, { 123, 0 } });
    EXPECT_EQ (runBlock (*plugin, 512, burst), burst);
}

TEST (DawTrack, SourceMovesAreReportedAsEditsAndTheHostsOwnChangesNever)
{
    // A cursor source on CC 1 and "report cursor moves to the host" on.
    const std::string project = R"(<brisquell><controllers><controller ccno="7" channel="1" name="7"><value value="0" scene="0"/></controller></controllers><scenes><scene id="0" colour="ff000000" x="0" y="0"/></scenes><gui width="300" height="300"/><cursorcontrol glide="0" shape="linear" xsource="cc" xchannel="1" xnumber="1"/><session reportcursor="1"/></brisquell>)";

    for (const auto reporting : { true, false })
    {
        SCOPED_TRACE (reporting ? "reporting" : "off");
        auto plugin = loadPlugin();
        ASSERT_NE (plugin, nullptr);
        startProcessing (*plugin);
        auto document = project;

        if (! reporting)
            document.replace (document.find ("<session reportcursor=\"1\"/>"), 27, "");

        plugin->setChunk (chunkOfText (document));
        EXPECT_EQ (textOf (plugin->getChunk()), document);

        // The host's own changes are never told back.
        for (int i = 0; i < 10; ++i)
        {
            plugin->setParameter (0, 0.1f * (float) i);
            runBlock (*plugin, 512);
        }

        std::this_thread::sleep_for (std::chrono::milliseconds (400));
        EXPECT_EQ (plugin->getCallbackCount (audioMasterAutomate), 0);
        EXPECT_EQ (plugin->getCallbackCount (audioMasterBeginEdit), 0);

        // A source's moves: one gesture, its values, and its end after a quiet spell.
        for (int value = 10; value <= 100; value += 10)
        {
            runBlock (*plugin, 512, { cc (0, 1, 1, value) });
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        }

        // With no editor open the edits go to the host from the audio thread: the next block
        // after the quiet spell ends the gesture.
        std::this_thread::sleep_for (std::chrono::milliseconds (600));
        runBlock (*plugin, 512);
        const auto numEdits = plugin->getCallbackCount (audioMasterAutomate);

        if (reporting)
        {
            EXPECT_GE (numEdits, 1);
            EXPECT_LE (numEdits, 10);
            EXPECT_EQ (plugin->getCallbackCount (audioMasterBeginEdit), 1);
            EXPECT_EQ (plugin->getCallbackCount (audioMasterEndEdit), 1);
            EXPECT_NEAR (plugin->getParameter (0), 100.0f / 127.0f, 0.01f);

            // Without an editor, on the thread that processes: not on a message thread of the
            // plug-in's own, which the host has never seen (one host crashed recording those).
            for (const auto& edit : plugin->getEdits())
                EXPECT_EQ (edit.thread, std::this_thread::get_id()) << "edit " << edit.opcode;
        }
        else
        {
            EXPECT_EQ (numEdits, 0);
            EXPECT_EQ (plugin->getCallbackCount (audioMasterBeginEdit), 0);
        }
    }
}

} // namespace brisquell::test
