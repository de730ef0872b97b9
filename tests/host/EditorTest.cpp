// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostFixture.h"
#include "tools/host/EditorWindow.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
std::unique_ptr<host::EditorWindow> openWindow (host::Plugin& plugin)
{
    std::string error;
    auto window = host::EditorWindow::open (plugin, "Brisquellum test", error);
    EXPECT_NE (window, nullptr) << error;
    return window;
}

std::vector<std::uint8_t> chunkWithEditorSize (int width, int height)
{
    const auto text = "<brisquell><gui width=\"" + std::to_string (width) + "\" height=\"" + std::to_string (height) + "\"/></brisquell>";
    const auto chunk = std::string ("VC2!") + (char) text.size() + std::string (3, '\0') + text + std::string (2, '\0');
    return { chunk.begin(), chunk.end() };
}
/** The chunk's text up to the editor's own parts (its size and the pane's view). */
std::string controllersAndScenes (const std::vector<std::uint8_t>& chunk)
{
    const auto text = chunk.size() > 8 ? std::string (chunk.begin() + 8, chunk.end()) : std::string();
    return text.substr (0, text.find ("<gui"));
}
} // namespace

TEST (Editor, SizeIsKnownBeforeTheEditorOpens)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);

    int width = 0, height = 0;
    ASSERT_TRUE (plugin->getEditorSize (width, height));
    EXPECT_EQ (width, 300);
    EXPECT_EQ (height, 300);
}

TEST (Editor, OpensInAnX11WindowOfTheStoredSize)
{
    if (! hasDisplay())
        GTEST_SKIP() << "no X display";

    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    plugin->setChunk (chunkWithEditorSize (420, 260));

    auto window = openWindow (*plugin);
    ASSERT_NE (window, nullptr);
    EXPECT_TRUE (plugin->isEditorOpen());
    EXPECT_EQ (window->getWidth(), 420);
    EXPECT_EQ (window->getHeight(), 260);

    int width = 0, height = 0;

    for (int i = 0; i < 10; ++i)
        window->pump();

    ASSERT_TRUE (window->queryServerSize (width, height));
    EXPECT_EQ (width, 420);
    EXPECT_EQ (height, 260);
}

TEST (Editor, OpensAndClosesManyTimesKeepingTheState)
{
    if (! hasDisplay())
        GTEST_SKIP() << "no X display";

    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin);
    runBlock (*plugin, 512, { cc (0, 1, 7, 1) });
    runBlock (*plugin, 512, { cc (0, 1, 7, 77) });
    const auto before = controllersAndScenes (plugin->getChunk());

    for (int cycle = 0; cycle < 25; ++cycle)
    {
        auto window = openWindow (*plugin);
        ASSERT_NE (window, nullptr) << "cycle " << cycle;
        window->pump();
    }

    // Closing hands the pane's view to the model; the controllers and scenes stay as they were.
    EXPECT_FALSE (plugin->isEditorOpen());
    EXPECT_EQ (controllersAndScenes (plugin->getChunk()), before);

    // Asking the size first, then opening, is what most hosts do.
    int width = 0, height = 0;
    EXPECT_TRUE (plugin->getEditorSize (width, height));
    EXPECT_NE (openWindow (*plugin), nullptr);
}

TEST (Editor, AudioThreadProcessesWhileTheUiThreadIdles)
{
    if (! hasDisplay())
        GTEST_SKIP() << "no X display";

    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin, 48000.0f, 128);
    auto window = openWindow (*plugin);
    ASSERT_NE (window, nullptr);

    std::atomic<bool> isDone { false };
    std::atomic<int> numSent { 0 };

    std::thread audio ([&]
                       {
                           for (int block = 0; block < 3000; ++block)
                           {
                               plugin->setParameter (block % 2, (float) (block % 100) / 100.0f);
                               const std::vector<host::MidiEvent> input { cc (block % 128, 1, block % 8, block % 128) };
                               numSent += (int) runBlock (*plugin, 128, input).size();
                           }

                           isDone = true;
                       });

    while (! isDone.load())
    {
        window->pump();
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
    }

    audio.join();
    window.reset();

    EXPECT_GT (numSent.load(), 3000);
    EXPECT_EQ (plugin->getChunk().size() > 10, true);
}

TEST (Editor, TheHostFitsItsWindowToTheSizeTheEditorAnswersOnceOpen)
{
    if (! hasDisplay())
        GTEST_SKIP() << "no X display";

    std::string error;
    auto stub = host::Plugin::load (BRISQUELL_STUB_EDITOR_PLUGIN_PATH, {}, error);
    ASSERT_NE (stub, nullptr) << error;

    int width = 0, height = 0;
    ASSERT_TRUE (stub->getEditorSize (width, height));
    ASSERT_EQ (width, 200) << "the stub answers its closed size";

    auto window = openWindow (*stub);
    ASSERT_NE (window, nullptr);
    EXPECT_EQ (window->getWidth(), 320);
    EXPECT_EQ (window->getHeight(), 240);

    window->pump();
    ASSERT_TRUE (window->queryServerSize (width, height));
    EXPECT_EQ (width, 320);
    EXPECT_EQ (height, 240);
}
