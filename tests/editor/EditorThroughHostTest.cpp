// SPDX-License-Identifier: GPL-3.0-or-later
// The editor as a host opens it: the built plug-in binary loaded through the VST 2.4 ABI by the
// bundled host's library, its editor embedded in a real X11 window.
#include "plugin/StateChunk.h"
#include "support/MessageLoop.h"
#include "tools/host/EditorWindow.h"
#include "tools/host/VstHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

// Last: Xlib's macros (None, Bool, ...) would clash with the declarations above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/keysym.h>

namespace brisquell
{
namespace
{

struct EditorThroughHost : public ::testing::Test
{
    void SetUp() override
    {
        const auto* display = std::getenv ("DISPLAY");

        if (display == nullptr || *display == 0)
            GTEST_SKIP() << "no X display (run under scripts/test, which starts one)";

        std::string error;
        plugin = host::Plugin::load (BRISQUELL_PLUGIN_PATH, {}, error);
        ASSERT_NE (plugin, nullptr) << error;
        plugin->setSampleRate (44100.0f);
        plugin->setBlockSize (256);
        plugin->resume();
    }

    void TearDown() override
    {
        window.reset();
        plugin.reset();

        if (reader != nullptr)
            XCloseDisplay (reader);
    }

    host::EditorWindow& openWindow()
    {
        std::string error;
        window = host::EditorWindow::open (*plugin, "Brisquellum", error);
        EXPECT_NE (window, nullptr) << error;
        moveAsideWindow();
        return *window;
    }

    /** Opens the editor in a host window of the given size, as a host with a toolbar does. */
    host::EditorWindow& openWindowOfSize (int width, int height)
    {
        std::string error;
        window = host::EditorWindow::open (*plugin, "Brisquellum", error, width, height);
        EXPECT_NE (window, nullptr) << error;
        moveAsideWindow();
        return *window;
    }

    /** Moves the host's window away from the screen's top-left corner, where the windows of
        other tests on the same display open: a window on top of this one would take the
        pointer's events and hide the pixels that are read back.
    */
    void moveAsideWindow()
    {
        if (window == nullptr)
            return;

        auto* display = XOpenDisplay (nullptr);
        XMoveWindow (display, window->getWindowId(), 900, 600);
        XSync (display, False);
        XCloseDisplay (display);
    }

    /** A user's hand on the X server: its own connection, the host window's origin on the
        screen, and a hand's pace (the editor takes in each event before the next comes).
    */
    struct Hand
    {
        Hand (EditorThroughHost& t, int millisecondsPerStep) : test (t), pace (millisecondsPerStep)
        {
            ::Window child = 0;

            if (display != nullptr)
                XTranslateCoordinates (display, test.window->getWindowId(), DefaultRootWindow (display), 0, 0, &originX, &originY, &child);
        }

        ~Hand()
        {
            if (display != nullptr)
                XCloseDisplay (display);
        }

        void moveTo (int x, int y)
        {
            step ([&]
                  { XTestFakeMotionEvent (display, -1, originX + x, originY + y, CurrentTime); });
        }
        void button (unsigned int number, bool down)
        {
            step ([&]
                  { XTestFakeButtonEvent (display, number, down, CurrentTime); });
        }
        void key (unsigned long symbol, bool down)
        {
            step ([&]
                  { XTestFakeKeyEvent (display, XKeysymToKeycode (display, symbol), down, CurrentTime); });
        }

        template <typename Event>
        void step (Event&& event)
        {
            event();
            XFlush (display);
            test.pumpFor (pace);
        }

        EditorThroughHost& test;
        const int pace;
        Display* display = XOpenDisplay (nullptr);
        int originX = 0, originY = 0;
    };

    /** Presses the left button at one point of the host's window, drags in steps to another and
        releases there, through the X server as a user's pointer would.
    */
    void dragWithThePointer (int fromX, int fromY, int toX, int toY)
    {
        Hand hand (*this, 30);
        ASSERT_NE (hand.display, nullptr);
        hand.moveTo (fromX, fromY);
        hand.button (1, true);

        for (int i = 1; i <= 10; ++i)
            hand.moveTo (fromX + (toX - fromX) * i / 10, fromY + (toY - fromY) * i / 10);

        hand.button (1, false);
    }

    /** Clicks the right button at one point of the host's window, then types the keys (X key
        symbols) one by one, through the X server as a user would: the keys go to whatever the
        click opened.
    */
    void rightClickThenType (int x, int y, std::initializer_list<unsigned long> keySymbols)
    {
        Hand hand (*this, 60);
        ASSERT_NE (hand.display, nullptr);
        hand.moveTo (x, y);
        hand.button (3, true);
        hand.button (3, false);

        // The pointer rests on the editor's bottom-left corner, away from the menus it opened,
        // where the item it would hover over cannot take the place of the keys' choice.
        hand.moveTo (10, 290);

        for (auto symbol : keySymbols)
        {
            hand.key (symbol, true);
            hand.key (symbol, false);
        }
    }

    /** Pumps the host's UI (window events and effEditIdle) until the condition holds; false
        when it never does (see test::eventTimeoutMs).
    */
    bool pumpUntil (const std::function<bool()>& condition)
    {
        return test::pumpUntil (condition, [this]
                                {
            if (window != nullptr)
                window->pump();
            else
                plugin->idle(); });
    }

    /** Pumps until the pixel has the colour (0xRRGGBB); false when it never gets it. */
    bool waitForPixel (int x, int y, unsigned long colour)
    {
        return pumpUntil ([=]
                          { return pixelAt (x, y) == colour; });
    }

    /** Pumps the host's UI for about the given time: only for checks that nothing more
        happens, and for a hand's pace between pointer events.
    */
    void pumpFor (int milliseconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (milliseconds);

        while (std::chrono::steady_clock::now() < end)
        {
            if (window != nullptr)
                window->pump();
            else
                plugin->idle();

            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
    }

    /** Keeps the host's window and the editor inside it in storage of their own on the X
        server, so that the pixels read back are the editor's, whatever other windows on the
        shared display (another test's, opened every few milliseconds) lie on top of it.
        Without this a covered window reads back what covers it, and drawing into it is lost.
        The redirection lasts while the connection that asked for it stays open.
    */
    void keepWindowContentsOffScreen()
    {
        int eventBase = 0, errorBase = 0;
        ASSERT_TRUE (XCompositeQueryExtension (reader, &eventBase, &errorBase)) << "the X server has no Composite extension";
        XCompositeRedirectWindow (reader, window->getWindowId(), CompositeRedirectAutomatic);
        XSync (reader, False);
    }

    std::pair<int, int> editorRect()
    {
        int width = -1, height = -1;
        EXPECT_TRUE (plugin->getEditorSize (width, height));
        return { width, height };
    }

    /** Restores a state document through effSetChunk, as a host reopening a project does. */
    void restoreDocument (const char* text)
    {
        auto document = juce::parseXML (text);
        ASSERT_NE (document, nullptr);
        juce::MemoryBlock chunk;
        chunk::write (*document, chunk);
        const auto* bytes = static_cast<const std::uint8_t*> (chunk.getData());
        plugin->setChunk ({ bytes, bytes + chunk.getSize() });
    }

    /** The state document the plug-in hands out through effGetChunk. */
    std::unique_ptr<juce::XmlElement> savedDocument()
    {
        const auto bytes = plugin->getChunk();
        return chunk::read (bytes.data(), bytes.size());
    }

    /** The colour of a pixel of the host's window, as the X server holds it (0xRRGGBB). */
    unsigned long pixelAt (int x, int y)
    {
        unsigned long pixel = 0xdeadbeef;

        if (auto* image = XGetImage (reader, window->getWindowId(), x, y, 1, 1, AllPlanes, ZPixmap))
        {
            pixel = XGetPixel (image, 0, 0) & 0xffffff;
            XDestroyImage (image);
        }

        return pixel;
    }

    std::unique_ptr<host::Plugin> plugin;
    std::unique_ptr<host::EditorWindow> window;
    Display* reader = XOpenDisplay (nullptr); // the test's own connection, for reading pixels
};

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

} // namespace
} // namespace brisquell
