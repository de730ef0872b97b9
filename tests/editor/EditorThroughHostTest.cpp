// The editor as a host opens it: the built plug-in binary loaded through the VST 2.4 ABI by the
// bundled host's library, its editor embedded in a real X11 window.
#include "plugin/StateChunk.h"
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

namespace brisquell
{
namespace
{

using Clock = std::chrono::steady_clock;

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
    }

    host::EditorWindow& openWindow()
    {
        std::string error;
        window = host::EditorWindow::open (*plugin, "Brisquellum", error);
        EXPECT_NE (window, nullptr) << error;
        return *window;
    }

    /** Pumps the host's UI (window events and effEditIdle) for about the given time. */
    void pumpFor (int milliseconds)
    {
        const auto end = Clock::now() + std::chrono::milliseconds (milliseconds);

        while (Clock::now() < end)
        {
            if (window != nullptr)
                window->pump();
            else
                plugin->idle();

            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
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
        auto* display = XOpenDisplay (nullptr);
        unsigned long pixel = 0xdeadbeef;

        if (auto* image = XGetImage (display, window->getWindowId(), x, y, 1, 1, AllPlanes, ZPixmap))
        {
            pixel = XGetPixel (image, 0, 0) & 0xffffff;
            XDestroyImage (image);
        }

        XCloseDisplay (display);
        return pixel;
    }

    std::unique_ptr<host::Plugin> plugin;
    std::unique_ptr<host::EditorWindow> window;
};

TEST_F (EditorThroughHost, ANewInstanceAnswers300By300AndARestoredDocumentItsOwnSize)
{
    EXPECT_EQ (editorRect(), std::make_pair (300, 300)) << "effEditGetRect makes the editor";

    restoreDocument (R"(<brisquell><controllers/><scenes/><gui width="520" height="330"/></brisquell>)");
    EXPECT_EQ (editorRect(), std::make_pair (300, 300)) << "the editor that exists keeps its size";

    // effEditOpen replaces that editor with a new one at the restored size, which the host
    // learns by asking again, as hosts do after opening.
    openWindow();
    pumpFor (50);
    EXPECT_EQ (editorRect(), std::make_pair (520, 330));
    window.reset();

    EXPECT_EQ (editorRect(), std::make_pair (520, 330));
}

TEST_F (EditorThroughHost, TheEditorPaintsIntoTheHostsWindow)
{
    restoreDocument (R"(<brisquell><controllers><controller ccno="7" channel="1" name="volume"/></controllers>
                        <scenes><scene x="100" y="150"/></scenes><gui width="400" height="300"/></brisquell>)");
    openWindow();

    // The host's window is black until the editor covers it with its white.
    const auto deadline = Clock::now() + std::chrono::seconds (5);

    while (pixelAt (300, 60) != 0xffffff && Clock::now() < deadline)
        pumpFor (20);

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
        const auto before = eventsOut.load();
        auto& shown = openWindow();
        ASSERT_TRUE (plugin->isEditorOpen());
        EXPECT_EQ (shown.getWidth(), 300);
        pumpFor (40);
        window.reset();
        EXPECT_FALSE (plugin->isEditorOpen());

        if (eventsOut.load() > before)
            ++cyclesWithOutput;
    }

    stop = true;
    audio.join();

    EXPECT_EQ (cyclesWithOutput, cycles) << "control changes went out while each editor was open";
    EXPECT_GT (blocks.load(), cycles);

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
