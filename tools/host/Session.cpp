// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/host/Session.h"
#include "tools/host/EditorWindow.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace brisquell::host
{

namespace
{
using Clock = std::chrono::steady_clock;

// Hosts let the plug-in idle at their screen's pace; without an editor a slower pace will do.
constexpr auto idleInterval = std::chrono::milliseconds (10);

// How long a resized window waits for the editor to take its size before the run goes on.
constexpr int editorFollowLimitMs = 2000;

struct BlockPlan
{
    std::vector<const Action*> actions;
    std::vector<MidiEvent> midi;
};

std::string formatCursor (float x, float y)
{
    char text[64];
    std::snprintf (text, sizeof (text), "cursor (%.3f, %.3f)", (double) x, (double) y);
    return text;
}

class SessionRunner
{
public:
    SessionRunner (Plugin& p, const std::vector<Action>& actions, const SessionSettings& s, std::ostream& o, std::ostream& e)
        : plugin (p), settings (s), out (o), errors (e)
    {
        int lastBlock = -1;

        for (auto& action : actions)
        {
            auto& plan = plans[action.block];

            if (action.kind == Action::Kind::midi)
                plan.midi.push_back (action.event);
            else
                plan.actions.push_back (&action);

            lastBlock = std::max (lastBlock, action.block);
        }

        numBlocks = settings.numBlocks >= 0 ? settings.numBlocks : lastBlock + 1;

        // Hosts deliver each block's events sorted by offset; equal offsets keep their order.
        for (auto& [block, plan] : plans)
            std::stable_sort (plan.midi.begin(), plan.midi.end(), [] (const MidiEvent& a, const MidiEvent& b) { return a.offset < b.offset; });
    }

    int run()
    {
        plugin.setSampleRate (settings.sampleRate);
        plugin.setBlockSize (settings.blockSize);

        if (! settings.loadChunkPath.empty() && ! loadChunk (settings.loadChunkPath))
            return 1;

        plugin.resume();

        std::unique_ptr<EditorWindow> window;

        if (settings.uiScale > 0.0f)
            plugin.setContentScale (settings.uiScale);

        if (settings.opensEditor)
        {
            std::string error;
            window = settings.windowWidth > 0 && settings.windowHeight > 0
                         ? EditorWindow::open (plugin, "Brisquellum", error, settings.windowWidth, settings.windowHeight)
                         : EditorWindow::open (plugin, "Brisquellum", error);

            if (window == nullptr)
            {
                errors << "brisquell-host: " << error << "\n";
                plugin.suspend();
                return 1;
            }
        }

        editorWindow = window.get();

        if (settings.usesAudioThread)
        {
            std::thread audio ([this] { processAll (nullptr); });

            while (! isFinished.load())
            {
                pumpUi (window.get());
                serveWindowRequest();
                std::this_thread::sleep_for (std::chrono::milliseconds (5));
            }

            audio.join();
        }
        else
        {
            processAll (window.get());
        }

        const auto holdEnd = Clock::now() + std::chrono::milliseconds (settings.holdMilliseconds);

        while (Clock::now() < holdEnd && ! (window != nullptr && window->wasCloseRequested()))
        {
            pumpUi (window.get());
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        }

        editorWindow = nullptr;
        window.reset();
        plugin.suspend();

        if (! settings.saveChunkPath.empty() && ! saveChunk (settings.saveChunkPath))
            return 1;

        return hasFailed ? 1 : 0;
    }

private:
    void pumpUi (EditorWindow* window)
    {
        if (window != nullptr)
            window->pump();
        else
            plugin.idle();

        lastIdle = Clock::now();
    }

    void processAll (EditorWindow* window)
    {
        const auto start = Clock::now();
        const BlockPlan empty;

        for (int block = 0; block < numBlocks && ! hasFailed; ++block)
        {
            const auto found = plans.find (block);
            const auto& plan = found != plans.end() ? found->second : empty;
            std::string cursorText;

            for (auto* action : plan.actions)
                perform (*action, cursorText);

            if (! plan.midi.empty())
                plugin.sendEvents (plan.midi);
            const auto& sent = plugin.processBlock (settings.blockSize);
            print (block, sent, cursorText);

            // On this thread only when it is also the UI thread.
            if (! settings.usesAudioThread && Clock::now() - lastIdle >= idleInterval)
                pumpUi (window);

            if (settings.isRealtime)
            {
                const auto due = start + std::chrono::duration<double> ((block + 1) * (double) settings.blockSize / (double) settings.sampleRate);
                std::this_thread::sleep_until (std::chrono::time_point_cast<Clock::duration> (due));
            }
        }

        isFinished.store (true);
    }

    void perform (const Action& action, std::string& cursorText)
    {
        switch (action.kind)
        {
            case Action::Kind::say:
                out << "== " << action.text << "\n";
                break;

            case Action::Kind::cursor:
                if (action.setsX)
                    plugin.setParameter (0, action.x);

                if (action.setsY)
                    plugin.setParameter (1, action.y);

                cursorText = formatCursor (plugin.getParameter (0), plugin.getParameter (1));
                break;

            case Action::Kind::save:
                hasFailed = ! saveChunk (action.text) || hasFailed;
                break;

            case Action::Kind::load:
                hasFailed = ! loadChunk (action.text) || hasFailed;
                break;

            case Action::Kind::reload:
                plugin.setChunk (plugin.getChunk());
                break;

            case Action::Kind::set:
            {
                auto chunk = plugin.getChunk();

                if (! setStateAttributes (chunk, action.text, action.index, action.attributes))
                {
                    errors << "brisquell-host: the saved state has no element " << action.text << " " << action.index << "\n";
                    hasFailed = true;
                    break;
                }

                plugin.setChunk (chunk);
                break;
            }

            case Action::Kind::deselect:
                plugin.setChunk (withoutSceneSelection (plugin.getChunk()));
                break;

            case Action::Kind::window:
                resizeWindow (action);
                break;

            case Action::Kind::midi:
                break;
        }
    }

    /** The window action: the window is resized on the UI thread, which then lets the editor
        idle until it has taken the window's size (or the limit passes), and the outcome is
        printed: "block 3  window 600 x 450  editor 600 x 450".
    */
    void resizeWindow (const Action& action)
    {
        if (editorWindow == nullptr)
        {
            errors << "brisquell-host: \"window\" needs the editor (--editor)\n";
            hasFailed = true;
            return;
        }

        std::string outcome;

        if (settings.usesAudioThread)
        {
            std::unique_lock<std::mutex> lock (windowMutex);
            windowRequest = std::make_pair (action.width, action.height);

            while (windowRequest.has_value())
                windowServed.wait (lock);

            outcome = windowOutcome;
        }
        else
        {
            outcome = resizeAndWait (action.width, action.height);
        }

        if (! settings.isQuiet)
            out << "block " << action.block << "  " << outcome << "\n";
    }

    /** UI thread: carries out a window request of the audio thread, if there is one. */
    void serveWindowRequest()
    {
        std::lock_guard<std::mutex> lock (windowMutex);

        if (! windowRequest.has_value() || editorWindow == nullptr)
            return;

        windowOutcome = resizeAndWait (windowRequest->first, windowRequest->second);
        windowRequest.reset();
        windowServed.notify_all();
    }

    /** UI thread. */
    std::string resizeAndWait (int width, int height)
    {
        editorWindow->resizeByUser (width, height);
        editorWindow->pumpUntilEditorSizeIs (width, height, editorFollowLimitMs);
        lastIdle = Clock::now();

        int editorWidth = 0, editorHeight = 0;
        plugin.getEditorSize (editorWidth, editorHeight);
        return "window " + std::to_string (width) + " x " + std::to_string (height) + "  editor "
               + std::to_string (editorWidth) + " x " + std::to_string (editorHeight);
    }

    void print (int block, const std::vector<MidiEvent>& sent, const std::string& cursorText)
    {
        if (settings.isQuiet)
            return;

        if (! settings.isPerBlock)
        {
            for (auto& e : sent)
                out << "block " << block << " offset " << e.offset << " " << e.describe() << "\n";

            return;
        }

        if (sent.empty() && cursorText.empty())
            return;

        out << "block " << block;

        if (! cursorText.empty())
            out << "  " << cursorText;

        int lastOffset = -1;

        for (auto& e : sent)
        {
            if (e.offset != lastOffset)
            {
                out << "  @" << e.offset << ":";
                lastOffset = e.offset;
            }

            if (e.isControlChange())
                out << " CC" << (int) e.bytes[1] << "=" << (int) e.bytes[2] << (e.getChannel() != 1 ? "/ch" + std::to_string (e.getChannel()) : "");
            else
                out << " [" << e.describe() << "]";
        }

        out << "\n";
    }

    bool loadChunk (const std::string& path)
    {
        std::vector<std::uint8_t> chunk;

        if (! readFile (path, chunk))
        {
            errors << "brisquell-host: cannot read the chunk file " << path << "\n";
            return false;
        }

        plugin.setChunk (chunk);
        return true;
    }

    bool saveChunk (const std::string& path)
    {
        if (! writeFile (path, plugin.getChunk()))
        {
            errors << "brisquell-host: cannot write the chunk file " << path << "\n";
            return false;
        }

        return true;
    }

    Plugin& plugin;
    const SessionSettings& settings;
    std::ostream& out;
    std::ostream& errors;
    std::map<int, BlockPlan> plans;
    int numBlocks = 0;
    bool hasFailed = false;
    std::atomic<bool> isFinished { false };
    Clock::time_point lastIdle = Clock::now();

    // The open editor's window, and a window request of the audio thread for the UI thread.
    EditorWindow* editorWindow = nullptr;
    std::mutex windowMutex;
    std::condition_variable windowServed;
    std::optional<std::pair<int, int>> windowRequest;
    std::string windowOutcome;
};
} // namespace

//==============================================================================
int runSession (Plugin& plugin, const std::vector<Action>& actions, const SessionSettings& settings,
                std::ostream& out, std::ostream& errors)
{
    SessionRunner runner (plugin, actions, settings, out, errors);
    return runner.run();
}

std::vector<std::uint8_t> withoutSceneSelection (const std::vector<std::uint8_t>& chunk)
{
    // "VC2!", the text's length (32 bits, little-endian), the text, then two zero bytes.
    constexpr size_t headerSize = 8;

    if (chunk.size() < headerSize || std::string (chunk.begin(), chunk.begin() + 4) != "VC2!")
        return chunk;

    const auto length = std::min ((size_t) chunk[4] | ((size_t) chunk[5] << 8) | ((size_t) chunk[6] << 16) | ((size_t) chunk[7] << 24),
                                  chunk.size() - headerSize);
    auto text = std::string (chunk.begin() + headerSize, chunk.begin() + (std::ptrdiff_t) (headerSize + length));
    const auto session = text.find ("<session ");
    const auto end = session == std::string::npos ? std::string::npos : text.find ("/>", session);
    const auto attribute = session == std::string::npos ? std::string::npos : text.find (" selection=\"", session);

    const auto closingQuote = attribute == std::string::npos ? std::string::npos : text.find ('"', attribute + 12);

    if (closingQuote == std::string::npos || closingQuote > end)
        return chunk;

    text.erase (attribute, closingQuote + 1 - attribute);

    std::vector<std::uint8_t> result (chunk.begin(), chunk.begin() + 4);

    for (int shift = 0; shift < 32; shift += 8)
        result.push_back ((std::uint8_t) ((text.size() >> shift) & 0xff));

    result.insert (result.end(), text.begin(), text.end());
    result.insert (result.end(), chunk.begin() + (std::ptrdiff_t) (headerSize + length), chunk.end());
    return result;
}

bool readFile (const std::string& path, std::vector<std::uint8_t>& contents)
{
    std::ifstream stream (path, std::ios::binary);

    if (! stream)
        return false;

    contents.assign (std::istreambuf_iterator<char> (stream), std::istreambuf_iterator<char>());
    return ! stream.bad();
}

bool writeFile (const std::string& path, const std::vector<std::uint8_t>& contents)
{
    std::ofstream stream (path, std::ios::binary | std::ios::trunc);

    if (! stream)
        return false;

    stream.write (reinterpret_cast<const char*> (contents.data()), (std::streamsize) contents.size());
    return (bool) stream;
}

} // namespace brisquell::host
