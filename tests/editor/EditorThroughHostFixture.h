// SPDX-License-Identifier: GPL-3.0-or-later
// The fixture of the editor-through-host tests: the built plug-in binary loaded through the VST 2.4
// ABI by the bundled host's library, its editor embedded in a real X11 window, a hand on the X
// server and a reader of the window's pixels.
#pragma once

#include "plugin/StateChunk.h"
#include "support/MessageLoop.h"
#include "tools/host/EditorWindow.h"
#include "tools/host/VstHost.h"

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <algorithm>
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

    /** Opens the editor in a host window with a toolbar above the plug-in's (see
        host::EditorWindow::Frame).
    */
    host::EditorWindow& openFramedWindow (host::EditorWindow::Frame frame)
    {
        std::string error;
        window = host::EditorWindow::openFramed (*plugin, "Brisquellum", error, frame);
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
                XTranslateCoordinates (display, test.window->getEmbeddingWindowId(), DefaultRootWindow (display), 0, 0, &originX, &originY, &child);
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

    /** The colour of a pixel of the window the editor is embedded in, as the X server holds it
        (0xRRGGBB).
    */
    unsigned long pixelAt (int x, int y)
    {
        unsigned long pixel = 0xdeadbeef;

        if (auto* image = XGetImage (reader, window->getEmbeddingWindowId(), x, y, 1, 1, AllPlanes, ZPixmap))
        {
            pixel = XGetPixel (image, 0, 0) & 0xffffff;
            XDestroyImage (image);
        }

        return pixel;
    }

    /** The pixels of the window the editor is embedded in (width x height from its top left),
        as the X server holds them; an invalid image when they cannot be read.
    */
    juce::Image windowImage (int width, int height)
    {
        juce::Image result;

        if (auto* image = XGetImage (reader, window->getEmbeddingWindowId(), 0, 0, (unsigned int) width, (unsigned int) height, AllPlanes, ZPixmap))
        {
            result = juce::Image (juce::Image::RGB, width, height, false);
            const juce::Image::BitmapData pixels (result, juce::Image::BitmapData::writeOnly);

            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    pixels.setPixelColour (x, y, juce::Colour ((juce::uint32) (XGetPixel (image, x, y) | 0xff000000)));

            XDestroyImage (image);
        }

        return result;
    }

    std::unique_ptr<host::Plugin> plugin;
    std::unique_ptr<host::EditorWindow> window;
    Display* reader = XOpenDisplay (nullptr); // the test's own connection, for reading pixels
};

} // namespace brisquell
