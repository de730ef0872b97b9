// SPDX-License-Identifier: GPL-3.0-or-later
// The editor embedded as hosts with their own controls embed it: in a window under a toolbar,
// which the host sizes from the editor's.
#include "EditorThroughHostFixture.h"

namespace brisquell
{
namespace
{

struct ServerSizes
{
    std::pair<int, int> editor, embedding;
};

/** The top-left corner, on the screen, of the topmost menu-like window there: a viewable
    override-redirect child of the root larger than a toolkit's helper window; none when there is
    no such window.
*/
std::optional<std::pair<int, int>> findMenuWindow (Display* display)
{
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned int numChildren = 0;
    std::optional<std::pair<int, int>> found;

    if (XQueryTree (display, DefaultRootWindow (display), &root, &parent, &children, &numChildren) == 0)
        return found;

    for (unsigned int i = 0; i < numChildren; ++i)
    {
        XWindowAttributes attributes{};

        if (XGetWindowAttributes (display, children[i], &attributes) != 0 && attributes.map_state == IsViewable
            && attributes.override_redirect && attributes.width > 50 && attributes.x >= 0)
            found = std::make_pair (attributes.x, attributes.y);
    }

    if (children != nullptr)
        XFree (children);

    return found;
}

/** Right-clicks where the hand is and answers the menu window's place on the screen. On a
    loaded machine the release can reach the menu so late that it counts as a click on the menu
    and closes it at once; the hand then clicks again, up to three times.
*/
std::optional<std::pair<int, int>> openMenuWithRightClick (EditorThroughHost& test, EditorThroughHost::Hand& hand)
{
    std::optional<std::pair<int, int>> menu;

    for (int attempt = 0; attempt < 3 && ! menu.has_value(); ++attempt)
    {
        hand.button (3, true);
        hand.button (3, false);
        test.pumpUntil ([&]
                        { return (menu = findMenuWindow (test.reader)).has_value(); });
    }

    return menu;
}

/** Presses Escape until the menu has gone: on a loaded machine the key can reach the screen before
    the menu has taken the keyboard, and is lost. Up to three presses, each given two seconds.
*/
bool closeMenuWithEscape (EditorThroughHost& test, EditorThroughHost::Hand& hand)
{
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        hand.key (XK_Escape, true);
        hand.key (XK_Escape, false);

        for (int waited = 0; waited < 2000; waited += 50)
        {
            if (! findMenuWindow (test.reader).has_value())
                return true;

            test.pumpFor (50);
        }
    }

    return false;
}

/** Every pixel of a window's area as the screen shows it (0xRRGGBB each). */
std::vector<unsigned long> screenPixels (Display* display, ::Window window, int width, int height)
{
    std::vector<unsigned long> pixels;

    if (auto* image = XGetImage (display, window, 0, 0, (unsigned int) width, (unsigned int) height, AllPlanes, ZPixmap))
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.push_back (XGetPixel (image, x, y) & 0xffffff);

        XDestroyImage (image);
    }

    return pixels;
}

constexpr auto documentWithARowAndScenes = R"(<brisquell><controllers><controller ccno="7" channel="1" name="volume"><value value="10" scene="0"/></controller></controllers>
    <scenes><scene id="0" colour="ffd62728" x="40" y="60"/><scene id="1" colour="ff000000" x="220" y="200"/></scenes><gui width="400" height="300"/></brisquell>)";

TEST_F (EditorThroughHost, InAHostWindowSizedFromTheEditorsTheSizeSettlesAtOnceAndStays)
{
    // A host that adds its toolbar exactly, and one that counts its frame 6 pixels too many
    // (each answer to the editor's size leaves the editor's parent 6 pixels taller than it).
    for (const auto miscount : { 0, 6 })
    {
        SCOPED_TRACE ("miscount " + std::to_string (miscount));
        auto& shown = openFramedWindow ({ 34, 392, miscount });

        const auto sizesNow = [&]
        {
            ServerSizes sizes;
            EXPECT_TRUE (shown.queryChildSize (sizes.editor.first, sizes.editor.second));
            XWindowAttributes attributes{};
            XGetWindowAttributes (reader, shown.getEmbeddingWindowId(), &attributes);
            sizes.embedding = { attributes.width, attributes.height };
            return sizes;
        };

        // Opened: the editor fills the toolbar's width, and the host's answers end at once.
        ASSERT_TRUE (pumpUntil ([&]
                                { return sizesNow().editor.first == 392; }));
        pumpFor (500);
        const auto settled = sizesNow();
        EXPECT_LE (settled.editor.second, 300 + 2 * miscount);
        EXPECT_LE (settled.embedding.second - settled.editor.second, miscount);
        const auto requests = plugin->getCallbackCount (audioMasterSizeWindow);
        pumpFor (2000);
        EXPECT_EQ (sizesNow().editor, settled.editor) << "the editor stays";
        EXPECT_EQ (sizesNow().embedding, settled.embedding) << "the host's window stays";
        EXPECT_EQ (plugin->getCallbackCount (audioMasterSizeWindow), requests) << "no more requests";

        // The user makes the host's window 600 x 500: the editor takes what the toolbar leaves,
        // in one step, and keeps it; that size is what the project saves.
        shown.resizeByUser (600, 500);
        ASSERT_TRUE (pumpUntil ([&]
                                { return sizesNow().editor.first == 600; }));
        pumpFor (500);
        const auto followed = sizesNow();
        EXPECT_EQ (followed.editor.second, 500 - 34);
        pumpFor (2000);
        EXPECT_EQ (sizesNow().editor, followed.editor);
        EXPECT_EQ (sizesNow().embedding, followed.embedding);
        EXPECT_EQ (editorRect(), followed.editor);

        window.reset();
        const auto document = savedDocument();
        ASSERT_NE (document, nullptr);
        EXPECT_EQ (document->getChildByName ("gui")->getIntAttribute ("width"), followed.editor.first);
        EXPECT_EQ (document->getChildByName ("gui")->getIntAttribute ("height"), followed.editor.second);
        restoreDocument (R"(<brisquell><controllers/><scenes/><gui width="300" height="300"/></brisquell>)");
    }
}

TEST_F (EditorThroughHost, TypingReachesANumberBoxWhileTheHostKeepsTheFocus)
{
    // One controller and a selected scene, where the typed value goes.
    restoreDocument (R"(<brisquell><controllers><controller ccno="7" channel="1" name="volume"><value value="10" scene="0"/></controller></controllers>
        <scenes><scene id="0" colour="ff000000" x="100" y="150"/></scenes><gui width="400" height="300"/><session selection="0"/></brisquell>)");
    auto& shown = openFramedWindow ({ 34, 392, 0 });
    keepWindowContentsOffScreen();
    ASSERT_TRUE (waitForPixel (300, 250, 0xffffff)) << "the editor never painted";

    // A click opens the row's value box; the host takes the X focus back to its own window,
    // as GTK's embedding does, and hands the keys it receives to the plug-in's window.
    {
        Hand hand (*this, 60);
        ASSERT_NE (hand.display, nullptr);
        hand.moveTo (20, 12);
        hand.button (1, true);
        hand.button (1, false);
        hand.moveTo (300, 250);
    }

    shown.takeFocus();
    pumpFor (200);

    for (auto symbol : { XK_6, XK_4, XK_Return })
    {
        shown.forwardKey (symbol, true);
        shown.forwardKey (symbol, false);
        pumpFor (60);
    }

    const auto valueIs64 = [this]
    {
        const auto document = savedDocument();
        const auto* value = document != nullptr ? document->getChildByName ("controllers")->getChildByName ("controller")->getChildByName ("value") : nullptr;
        return value != nullptr && value->getIntAttribute ("scene") == 0 && value->getIntAttribute ("value") == 64;
    };

    EXPECT_TRUE (pumpUntil (valueIs64)) << "the typed value never reached the controller: "
                                        << savedDocument()->toString (juce::XmlElement::TextFormat().singleLine());
}

TEST_F (EditorThroughHost, MenusOpenAtTheClickAfterTheHostsWindowMoved)
{
    restoreDocument (documentWithARowAndScenes);
    auto& shown = openFramedWindow ({ 34, 392, 0 });
    ASSERT_TRUE (waitForPixel (300, 250, 0xffffff)) << "the editor never painted";

    // The host's window goes to the screen's right half, below the middle for clicks on the
    // pane, with room for the widest menu right of every click (a menu that would cross the
    // screen's edge is moved in): the editor's own window is not told that it moved.
    XMoveWindow (reader, shown.getWindowId(), 700, 420);
    XSync (reader, False);
    pumpFor (300);

    // The pane's empty area, a row of the list, and a scene.
    const std::pair<int, int> clicks[] = { { 330, 180 }, { 60, 12 }, { 120 + 220 + 10, 200 + 10 } };

    for (auto [x, y] : clicks)
    {
        SCOPED_TRACE ("click at " + std::to_string (x) + ", " + std::to_string (y));
        Hand hand (*this, 60);
        ASSERT_NE (hand.display, nullptr);
        hand.moveTo (x, y);
        const auto menu = openMenuWithRightClick (*this, hand);
        ASSERT_TRUE (menu.has_value()) << "no menu opened";
        EXPECT_NEAR (menu->first, hand.originX + x, 2);
        EXPECT_NEAR (menu->second, hand.originY + y, 2);

        ASSERT_TRUE (closeMenuWithEscape (*this, hand)) << "the menu stayed open";
    }
}

TEST_F (EditorThroughHost, AQuestionAboutAWindowThatWentMeanwhileDoesNotEndTheHost)
{
    openWindow();

    // What a host meets when a plug-in's menu closes between listing the windows and asking
    // about one of them.
    const auto gone = XCreateSimpleWindow (reader, DefaultRootWindow (reader), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow (reader, gone);
    XSync (reader, False);

    XWindowAttributes attributes{};
    EXPECT_EQ (XGetWindowAttributes (reader, gone, &attributes), 0);
    pumpFor (100);
    int width = 0, height = 0;
    EXPECT_TRUE (window->queryChildSize (width, height)) << "the editor's window went with it";
}

TEST_F (EditorThroughHost, AMenuClosedOverThePaneLeavesItsPixelsAsTheyWere)
{
    restoreDocument (documentWithARowAndScenes);
    auto& shown = openFramedWindow ({ 34, 392, 0 });
    ASSERT_TRUE (waitForPixel (300, 250, 0xffffff)) << "the editor never painted";
    XMoveWindow (reader, shown.getWindowId(), 600, 200);
    XSync (reader, False);

    int width = 0, height = 0;
    ASSERT_TRUE (shown.queryChildSize (width, height));

    for (int round = 0; round < 4; ++round)
    {
        SCOPED_TRACE ("round " + std::to_string (round));
        Hand hand (*this, 60);
        ASSERT_NE (hand.display, nullptr);
        hand.moveTo (200, 40);
        pumpFor (300);
        const auto before = screenPixels (reader, shown.getEmbeddingWindowId(), width, height);

        ASSERT_TRUE (openMenuWithRightClick (*this, hand).has_value()) << "no menu opened";
        pumpFor (200);
        ASSERT_TRUE (closeMenuWithEscape (*this, hand)) << "the menu stayed open";

        // The pane's pixels come back as they were before the menu opened.
        EXPECT_TRUE (pumpUntil ([&]
                                { return screenPixels (reader, shown.getEmbeddingWindowId(), width, height) == before; }))
            << "pieces of the menu stay on the pane";
    }
}

} // namespace
} // namespace brisquell
