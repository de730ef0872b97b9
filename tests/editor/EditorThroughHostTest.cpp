// SPDX-License-Identifier: GPL-3.0-or-later
// The editor as a host opens it: the built plug-in binary loaded through the VST 2.4 ABI by the
// bundled host's library, its editor embedded in a real X11 window.
#include "EditorThroughHostFixture.h"

namespace brisquell
{
namespace
{

TEST_F (EditorThroughHost, ANewInstanceAnswers300By300AndARestoredDocumentItsOwnSize)
{
    EXPECT_EQ (editorRect(), std::make_pair (300, 300)) << "effEditGetRect makes the editor";

    restoreDocument (R"(<brisquell><controllers/><scenes/><gui width="520" height="330"/></brisquell>)");
    EXPECT_EQ (editorRect(), std::make_pair (300, 300)) << "the editor that exists keeps its size";

    // effEditOpen replaces that editor with a new one at the restored size, which the host
    // learns by asking again, as hosts do after opening.
    openWindow();
    EXPECT_TRUE (pumpUntil ([this]
                            { return editorRect() == std::make_pair (520, 330); }))
        << "the editor answers " << editorRect().first << " x " << editorRect().second;
    window.reset();

    EXPECT_EQ (editorRect(), std::make_pair (520, 330));
}

TEST_F (EditorThroughHost, TheEditorPaintsIntoTheHostsWindow)
{
    restoreDocument (R"(<brisquell><controllers><controller ccno="7" channel="1" name="volume"/></controllers>
                        <scenes><scene x="100" y="150"/></scenes><gui width="400" height="300"/></brisquell>)");
    openWindow();
    keepWindowContentsOffScreen();

    // The host's window is black until the editor covers it with its white: wait for the
    // editor's paint to reach the window, however long a busy machine delays it.
    const auto hasPainted = [this]
    {
        return pixelAt (300, 60) == 0xffffff && pixelAt (60, 200) == 0xffffff && pixelAt (120 + 125, 162) == 0x000000;
    };

    EXPECT_TRUE (pumpUntil (hasPainted)) << "the editor never painted its window";
    EXPECT_EQ (pixelAt (300, 60), 0xffffffu) << "the pane's white";
    EXPECT_EQ (pixelAt (60, 200), 0xffffffu) << "the list's white below the row";
    EXPECT_EQ (pixelAt (120 + 125, 162), 0x000000u) << "the scene's black disc, above its label";
}

TEST_F (EditorThroughHost, FillsALargerHostWindowAndFollowsItLargerAndSmaller)
{
    // A new instance's 300 x 300 editor in a host window with room for a toolbar's width.
    auto& shown = openWindowOfSize (420, 350);
    keepWindowContentsOffScreen();
    ASSERT_TRUE (shown.pumpUntilEditorSizeIs (420, 350, test::eventTimeoutMs)) << "the editor fills the window";
    EXPECT_TRUE (waitForPixel (400, 330, 0xffffff)) << "white where the host's black was";

    const std::pair<int, int> sizes[] = { { 640, 480 }, { 360, 320 }, { 500, 320 }, { 500, 410 } };

    for (auto [width, height] : sizes)
    {
        shown.resizeByUser (width, height);
        ASSERT_TRUE (shown.pumpUntilEditorSizeIs (width, height, test::eventTimeoutMs)) << width << " x " << height;

        int serverWidth = 0, serverHeight = 0;
        ASSERT_TRUE (shown.queryServerSize (serverWidth, serverHeight));
        EXPECT_EQ (std::make_pair (serverWidth, serverHeight), std::make_pair (width, height)) << "the host's window keeps the user's size";
        EXPECT_TRUE (waitForPixel (width - 20, height - 20, 0xffffff)) << width << " x " << height;
    }

    // The size is the editor's own from now on, kept in the document for the next opening.
    window.reset();
    const auto document = savedDocument();
    ASSERT_NE (document, nullptr);
    EXPECT_EQ (document->getChildByName ("gui")->getIntAttribute ("width"), 500);
    EXPECT_EQ (document->getChildByName ("gui")->getIntAttribute ("height"), 410);
    EXPECT_EQ (editorRect(), std::make_pair (500, 410));
}

TEST_F (EditorThroughHost, AHostWindowOfTheEditorsSizeOrSmallerSeesNoChange)
{
    openWindow();
    pumpFor (300); // long enough for the editor to look at its host's window several times
    EXPECT_EQ (editorRect(), std::make_pair (300, 300));
    EXPECT_EQ (plugin->getCallbackCount (audioMasterSizeWindow), 0) << "no size request";
    window.reset();

    openWindowOfSize (250, 280);
    pumpFor (300);
    EXPECT_EQ (editorRect(), std::make_pair (300, 300)) << "a smaller window does not shrink a new editor";
    EXPECT_EQ (plugin->getCallbackCount (audioMasterSizeWindow), 0);
}

TEST_F (EditorThroughHost, TheEditorsOwnBorderStillAsksTheHostForASize)
{
    auto& shown = openWindow();
    keepWindowContentsOffScreen();
    ASSERT_TRUE (waitForPixel (250, 250, 0xffffff));

    // The user drags the editor's bottom-right corner 60 pixels right and 40 down.
    dragWithThePointer (298, 298, 358, 338);
    ASSERT_TRUE (shown.pumpUntilEditorSizeIs (360, 340, test::eventTimeoutMs));
    EXPECT_GE (plugin->getCallbackCount (audioMasterSizeWindow), 1);

    int serverWidth = 0, serverHeight = 0;
    ASSERT_TRUE (shown.queryServerSize (serverWidth, serverHeight));
    EXPECT_EQ (std::make_pair (serverWidth, serverHeight), std::make_pair (360, 340)) << "the host resized its window on request";

    // And the host's window, made larger by the user, is followed from that size on.
    shown.resizeByUser (420, 340);
    EXPECT_TRUE (shown.pumpUntilEditorSizeIs (420, 340, test::eventTimeoutMs));
}

TEST_F (EditorThroughHost, ASelectionTheDocumentCarriesWinsOverTheLastSceneRule)
{
    openWindow();
    keepWindowContentsOffScreen();

    // Restored while the editor is open: the pane is rebuilt and shows the saved selection
    // (a red ring on the first scene's disc), not the last scene alone.
    restoreDocument (R"(<brisquell><controllers><controller ccno="7" channel="1" name="volume"/></controllers>
                        <scenes><scene x="60" y="60"/><scene x="10" y="200"/><scene x="110" y="200"/></scenes>
                        <gui width="300" height="300"/><session selection="0"/></brisquell>)");
    EXPECT_TRUE (waitForPixel (120 + 60 + 25, 60, 0xff0000)) << "the first scene's ring";
    EXPECT_NE (pixelAt (120 + 110 + 25, 200), 0xff0000u) << "the last scene's edge not red, unselected";
    EXPECT_LT (pixelAt (120 + 110 + 25, 212), 0x101010u) << "the last scene's disc black";

    auto saved = savedDocument();
    auto session = saved->getChildByName ("session");
    ASSERT_NE (session, nullptr) << saved->toString();
    EXPECT_EQ (session->getStringAttribute ("selection"), "0");

    // Without a selection in the document, the editor's rule picks the last scene as before.
    restoreDocument (R"(<brisquell><controllers/><scenes><scene x="60" y="60"/><scene x="110" y="200"/></scenes>
                        <gui width="300" height="300"/></brisquell>)");
    EXPECT_TRUE (waitForPixel (120 + 110 + 25, 200, 0xff0000)) << "the last scene's ring";
    EXPECT_NE (pixelAt (120 + 60 + 25, 60), 0xff0000u);
    EXPECT_LT (pixelAt (120 + 60 + 25, 72), 0x101010u);
}

TEST_F (EditorThroughHost, TheRowsSendAsMenuMakesA14BitControllerAndRescalesItsValues)
{
    restoreDocument (R"(<brisquell><controllers><controller ccno="7" channel="1" name="volume">
                        <value value="64" scene="0"/><value value="127" scene="1"/></controller></controllers>
                        <scenes><scene x="60" y="60"/><scene x="200" y="60"/></scenes>
                        <gui width="300" height="300"/></brisquell>)");
    openWindow();
    keepWindowContentsOffScreen();
    ASSERT_TRUE (waitForPixel (250, 250, 0xffffff));

    // A right click on the row's name, then the menu by keyboard: down to "send as" (the third
    // item), into its submenu (on "CC"), down to "14-bit CC", Return.
    rightClickThenType (80, 6, { XK_Down, XK_Down, XK_Down, XK_Right, XK_Down, XK_Return });

    std::unique_ptr<juce::XmlElement> saved;
    ASSERT_TRUE (pumpUntil ([&]
                            {
        saved = savedDocument();
        auto* controllers = saved != nullptr ? saved->getChildByName ("controllers") : nullptr;
        auto* controller = controllers != nullptr ? controllers->getFirstChildElement() : nullptr;
        return controller != nullptr && controller->getStringAttribute ("kind") == "cc14"; }))
        << (saved != nullptr ? saved->toString() : juce::String());

    // The sound stays: 64 of 127 is 8192 of 16383, and the top stays the top.
    const auto* controller = saved->getChildByName ("controllers")->getFirstChildElement();
    EXPECT_EQ (controller->getIntAttribute ("ccno"), 7);
    ASSERT_EQ (controller->getNumChildElements(), 2);
    EXPECT_EQ (controller->getChildElement (0)->getIntAttribute ("value"), 8192);
    EXPECT_EQ (controller->getChildElement (1)->getIntAttribute ("value"), 16383);
}

TEST_F (EditorThroughHost, OpensAndClosesManyTimesWhileMidiFlowsAndKeepsTheState)
{
    std::atomic<bool> stop{ false };
    std::atomic<int> blocks{ 0 }, eventsOut{ 0 };

    // The audio thread: a control change into every block, as a controller being turned.
    std::thread audio ([&]
                       {
        for (int block = 0; ! stop.load(); ++block)
        {
            plugin->sendEvents ({ host::MidiEvent::controlChange (0, 1, 20 + block % 3, block % 128) });
            eventsOut += (int) plugin->processBlock (256).size();
            ++blocks;
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        } });

    constexpr int cycles = 40;
    int cyclesWithOutput = 0;

    for (int cycle = 0; cycle < cycles; ++cycle)
    {
        // Each editor stays open until the audio thread has run a few blocks and sent their
        // control changes, however long that takes on a busy machine.
        const auto eventsBefore = eventsOut.load();
        const auto blocksBefore = blocks.load();
        auto& shown = openWindow();
        ASSERT_TRUE (plugin->isEditorOpen());
        EXPECT_EQ (shown.getWidth(), 300);

        if (pumpUntil ([&]
                       { return blocks.load() >= blocksBefore + 3 && eventsOut.load() > eventsBefore; }))
            ++cyclesWithOutput;

        window.reset();
        EXPECT_FALSE (plugin->isEditorOpen());
    }

    stop = true;
    audio.join();

    EXPECT_EQ (cyclesWithOutput, cycles) << "control changes went out while each editor was open";

    const auto document = savedDocument();
    ASSERT_NE (document, nullptr);
    const auto* controllers = document->getChildByName ("controllers");
    ASSERT_NE (controllers, nullptr);
    EXPECT_EQ (controllers->getNumChildElements(), 3) << "the three learned controllers survived every close";
    EXPECT_NE (document->getChildByName ("morphpanestate"), nullptr) << "the last editor left its view";
    EXPECT_EQ (document->getChildByName ("gui")->getIntAttribute ("width"), 300);
}

// A drag of the cursor on the pane, made with the pointer through the X server, is what a host
// in write or touch mode records with "report cursor moves to the host" on: per axis a begin of
// the gesture, its values and its end, on "cursor X" (0) and "cursor Y" (1), nothing else.
// With the option off the host hears nothing of it.
TEST_F (EditorThroughHost, ADragOfTheCursorIsReportedToTheHostOnlyWhenAsked)
{
    for (const auto reporting : { true, false })
    {
        SCOPED_TRACE (reporting ? "reporting" : "off");

        if (! reporting)
        {
            // A fresh instance, as SetUp made the first.
            window.reset();
            plugin.reset();
            SetUp();
        }

        const auto document = std::string (R"(<brisquell><controllers/><scenes/><gui width="300" height="300"/>)")
                              + (reporting ? R"(<session reportcursor="1"/>)" : "") + "</brisquell>";
        restoreDocument (document.c_str());
        openWindow();
        keepWindowContentsOffScreen();
        pumpFor (300);
        ASSERT_TRUE (plugin->getEdits().empty());

        // The cursor of a new project sits at the pane's origin, right of the 120-pixel list.
        const auto x = plugin->getParameter (0), y = plugin->getParameter (1);
        dragWithThePointer (130, 10, 230, 150);
        ASSERT_TRUE (pumpUntil ([&]
                                { return plugin->getParameter (0) > x && plugin->getParameter (1) > y; }))
            << "the drag never moved the cursor";

        // The gesture's end follows the release on the message thread: wait for both axes'.
        if (reporting)
        {
            EXPECT_TRUE (pumpUntil ([this]
                                    {
                    const auto edits = plugin->getEdits();
                    return std::count_if (edits.begin(), edits.end(), [] (const host::Plugin::Edit& e)
                                          { return e.opcode == audioMasterEndEdit; }) >= 2; }))
                << "the gesture never ended";
        }

        pumpFor (300);
        const auto edits = plugin->getEdits();

        if (! reporting)
        {
            EXPECT_TRUE (edits.empty()) << edits.size() << " edits reported";
            continue;
        }

        for (const auto axis : { 0, 1 })
        {
            std::vector<int> opcodes;
            float last = -1.0f;

            for (const auto& edit : edits)
            {
                EXPECT_TRUE (edit.index == 0 || edit.index == 1) << edit.index;

                if (edit.index != axis)
                    continue;

                if (opcodes.empty() || opcodes.back() != edit.opcode)
                    opcodes.push_back (edit.opcode);

                if (edit.opcode == audioMasterAutomate)
                    last = edit.value;
            }

            EXPECT_EQ (opcodes, (std::vector<int>{ audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit })) << "axis " << axis;
            EXPECT_NEAR (last, plugin->getParameter (axis), 0.001f) << "the last value reported is where the drag ended";
        }
    }
}

} // namespace
} // namespace brisquell
