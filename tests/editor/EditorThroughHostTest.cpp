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
#include <X11/extensions/Xcomposite.h>

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
        return *window;
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
        return pixelAt (300, 60) == 0xffffff && pixelAt (60, 200) == 0xffffff && pixelAt (120 + 125, 175) == 0x000000;
    };

    EXPECT_TRUE (pumpUntil (hasPainted)) << "the editor never painted its window";
    EXPECT_EQ (pixelAt (300, 60), 0xffffffu) << "the pane's white";
    EXPECT_EQ (pixelAt (60, 200), 0xffffffu) << "the list's white below the row";
    EXPECT_EQ (pixelAt (120 + 125, 175), 0x000000u) << "the scene's black disc";
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
