// SPDX-License-Identifier: GPL-3.0-or-later
// brisquellum-jack: the processor and its editor as a JACK client. MIDI comes in on
// "<name>:midi_in", the control changes go out on "<name>:midi_out", on JACK's sample clock.
// See AppOptions::usage() for the command line; the exit code is 0 after a clean quit and 1
// after any error, which is printed on stderr.
#include "jack/AppOptions.h"
#include "jack/AppWindow.h"
#include "jack/JackClient.h"
#include "jack/StateFile.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iostream>

using namespace brisquell;
using namespace brisquell::jack;

namespace
{
// Set by the signal handlers, read by the app's timer on the message thread.
std::atomic<bool> quitSignalled{ false };
std::atomic<bool> saveSignalled{ false };

extern "C" void onQuitSignal (int) { quitSignalled.store (true); }
extern "C" void onSaveSignal (int) { saveSignalled.store (true); }

void installSignalHandlers()
{
    struct sigaction action
    {
    };
    sigemptyset (&action.sa_mask);
    action.sa_flags = SA_RESTART;

    action.sa_handler = onQuitSignal;
    for (const auto signal : { SIGINT, SIGTERM, SIGHUP })
        sigaction (signal, &action, nullptr);

    action.sa_handler = onSaveSignal;
    sigaction (SIGUSR1, &action, nullptr);
}

void say (const juce::String& text)
{
    std::cout << text << std::endl;
}

void complain (const juce::String& text)
{
    std::cerr << "brisquellum-jack: " << text << std::endl;
}

//==============================================================================
/** Runs on the message thread: the window, the signals, the server's shutdown and the saves. */
class JackApp final : private juce::Timer
{
public:
    JackApp (const AppOptions& optionsToUse, BrisquellPlugInInterface& processorToUse, std::unique_ptr<JackClient> clientToUse)
        : options (optionsToUse), processor (processorToUse), client (std::move (clientToUse))
    {
        if (! options.headless)
        {
            window = std::make_unique<AppWindow> (client->getClientName(), std::unique_ptr<juce::Component> (processor.createEditorIfNeeded()));
            window->onSaveRequest = [this]
            { save(); };
            window->onQuitRequest = [this]
            { quit (0); };
        }

        startTimer (50);
    }

    /** Closes the window (the editor hands its state to the processor), stops the client, and
        saves the state a last time. Answers the exit code.
    */
    int finish()
    {
        stopTimer();
        window.reset();
        client.reset();

        if (options.stateFile != juce::File() && ! save())
            return 1;

        return exitCode;
    }

    AppWindow* getWindow() const noexcept { return window.get(); }

private:
    void timerCallback() override
    {
        if (saveSignalled.exchange (false))
            save();

        if (quitSignalled.load())
            quit (0);
        else if (client->hasShutDown())
        {
            complain ("the JACK server shut the client down (did it stop?)");
            quit (1);
        }
    }

    bool save()
    {
        if (options.stateFile == juce::File())
        {
            complain ("no state file to save to (start with --state FILE)");
            return false;
        }

        const auto result = statefile::save (options.stateFile, processor);

        if (result.failed())
        {
            complain (result.getErrorMessage());
            return false;
        }

        say ("saved the state to " + options.stateFile.getFullPathName());
        return true;
    }

    void quit (int code)
    {
        exitCode = code;
        stopTimer();
        juce::MessageManager::getInstance()->stopDispatchLoop();
    }

    const AppOptions& options;
    BrisquellPlugInInterface& processor;
    std::unique_ptr<JackClient> client;
    std::unique_ptr<AppWindow> window;
    int exitCode = 0;
};

int run (const AppOptions& options)
{
    if (! options.headless)
    {
        const auto* display = std::getenv ("DISPLAY");

        if (display == nullptr || *display == 0)
        {
            complain ("no X display to show the editor on (set DISPLAY, or run with --headless)");
            return 1;
        }
    }

    const juce::ScopedJuceInitialiser_GUI framework;
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();

    BrisquellPlugInInterface processor;

    if (options.userState && ! options.stateFile.getParentDirectory().createDirectory())
    {
        complain ("cannot make the folder of the state file " + options.stateFile.getFullPathName());
        return 1;
    }

    if (options.stateFile != juce::File())
    {
        if (const auto loaded = statefile::load (options.stateFile, processor); loaded.failed())
        {
            complain (loaded.getErrorMessage());
            return 1;
        }
    }

    MidiPeriod period (processor);
    juce::String error;
    auto client = JackClient::open (options.clientName, options.serverName, period, error);

    if (client == nullptr)
    {
        complain (error);
        return 1;
    }

    if (const auto activated = client->activate(); activated.failed())
    {
        complain (activated.getErrorMessage());
        return 1;
    }

    for (const auto& port : options.connectInputs)
    {
        if (const auto connected = client->connectInput (port); connected.failed())
        {
            complain (connected.getErrorMessage());
            return 1;
        }
    }

    for (const auto& port : options.connectOutputs)
    {
        if (const auto connected = client->connectOutput (port); connected.failed())
        {
            complain (connected.getErrorMessage());
            return 1;
        }
    }

    client->start();
    say ("ports " + client->getInputPortName() + " " + client->getOutputPortName() + " at "
         + juce::String ((int) client->getSampleRate()) + " Hz, " + juce::String (client->getPeriodSize()) + " frames a period");

    installSignalHandlers();
    JackApp app (options, processor, std::move (client));
    juce::MessageManager::getInstance()->runDispatchLoop();
    return app.finish();
}
} // namespace

int main (int argc, char** argv)
{
    AppOptions options;
    juce::StringArray arguments;

    for (int i = 1; i < argc; ++i)
        arguments.add (juce::String::fromUTF8 (argv[i]));

    juce::String error;

    if (! options.parse (arguments, error))
    {
        complain (error);
        std::cerr << AppOptions::usage();
        return 1;
    }

    if (options.showHelp)
    {
        std::cout << AppOptions::usage();
        return 0;
    }

    if (options.showVersion)
    {
        std::cout << "brisquellum-jack " << JucePlugin_VersionString << std::endl;
        return 0;
    }

    return run (options);
}
