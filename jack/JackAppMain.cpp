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

    // A write beyond the file size limit fails (and the save says so) instead of ending the app.
    std::signal (SIGXFSZ, SIG_IGN);
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
    JackApp (const AppOptions& optionsToUse, BrisquellPlugInInterface& processorToUse, MidiPeriod& periodToUse, std::unique_ptr<JackClient> clientToUse)
        : options (optionsToUse), processor (processorToUse), period (periodToUse), client (std::move (clientToUse)),
          sampleRate (client->getSampleRate()), periodSize (client->getPeriodSize())
    {
        if (! options.headless)
            openWindow();

        startTimer (50);
    }

    /** Closes the window (the editor hands its state to the processor), stops the client, and
        saves the state a last time; when that fails, leaves a rescue file. Answers the exit code.
    */
    int finish()
    {
        stopTimer();
        window.reset();
        client.reset();
        say (describeDropped());

        if (options.stateFile == juce::File() || savedForQuit)
            return exitCode;

        if (save())
            return exitCode;

        rescue();
        return 1;
    }

private:
    void openWindow()
    {
        window = std::make_unique<AppWindow> (client->getClientName(), std::unique_ptr<juce::Component> (processor.createEditorIfNeeded()));
        window->onSaveRequest = [this]
        { save(); };
        // The window goes away in there: not while its own button's event is handled.
        window->onQuitRequest = [this]
        { juce::MessageManager::callAsync ([this]
                                           { closeWindow(); }); };
        updateTitle();
    }

    /** The window's close button: the state is saved with the editor's last word in it, and a
        save that fails brings the window back and asks what to do.
    */
    void closeWindow()
    {
        if (window == nullptr)
            return;

        if (options.stateFile == juce::File())
        {
            quit (0);
            return;
        }

        window.reset();

        if (save())
        {
            savedForQuit = true;
            quit (0);
            return;
        }

        openWindow();
        auto dialog = juce::MessageBoxOptions()
                          .withIconType (juce::MessageBoxIconType::WarningIcon)
                          .withTitle ("Quit without the state saved?")
                          .withMessage ("Could not save the state:\n" + saveFailure
                                        + "\n\nTry again (after making room or fixing the permissions), quit leaving a rescue copy"
                                          " beside the state file, or keep working.")
                          .withButton ("Try again")
                          .withButton ("Quit, leave a rescue copy")
                          .withButton ("Keep working")
                          .withAssociatedComponent (window.get());

        juce::AlertWindow::showAsync (dialog, [this] (int choice)
                                      {
                                          if (choice == 1)
                                              closeWindow();
                                          else if (choice == 2)
                                          {
                                              window.reset();
                                              savedForQuit = true;
                                              rescue();
                                              quit (1);
                                          } });
    }

    void timerCallback() override
    {
        followServer();

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
        const auto failedBefore = saveFailure.isNotEmpty();
        saveFailure = result.failed() ? result.getErrorMessage() : juce::String();
        updateTitle();

        if (result.failed())
        {
            complain (result.getErrorMessage() + " (the file keeps what was saved before)");

            // The window tells of a failure once, until a save works again.
            if (window != nullptr && ! failedBefore)
                juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, "The state was not saved", saveFailure + "\n\nThe file keeps what was saved before.", {}, window.get());

            return false;
        }

        say ("saved the state to " + options.stateFile.getFullPathName());
        return true;
    }

    /** Writes the state into a rescue file and says where; false when none could be written. */
    bool rescue()
    {
        const auto written = statefile::saveRescue (options.stateFile, processor);

        if (written == juce::File())
        {
            complain ("could not write a rescue copy of the state either: the state is lost");
            return false;
        }

        complain ("the state was not saved to " + statefile::resolve (options.stateFile).getFullPathName()
                  + "; a rescue copy is in " + written.getFullPathName());
        return true;
    }

    /** Tells of the server's new rate or period size (the period has followed already), and
        sizes the period's buffers anew when the project or the refresh rate needs it.
    */
    void followServer()
    {
        if (client->getSampleRate() != sampleRate || client->getPeriodSize() != periodSize)
        {
            sampleRate = client->getSampleRate();
            periodSize = client->getPeriodSize();
            say ("following the server: " + juce::String ((int) sampleRate) + " Hz, " + juce::String (periodSize) + " frames a period");
        }

        period.updateRoom();
        updateTitle();
    }

    /** The window's title: the client's name, and whether the last save failed and what was
        dropped.
    */
    void updateTitle()
    {
        if (window == nullptr || client == nullptr)
            return;

        auto title = client->getClientName();

        if (saveFailure.isNotEmpty())
            title << " - NOT SAVED";

        if (const auto dropped = describeDropped(); dropped != nothingDropped)
            title << " - " << dropped;

        if (window->getName() != title)
            window->setName (title);
    }

    /** What the period and the processor left out so far, in one line. */
    juce::String describeDropped() const
    {
        juce::StringArray parts;
        const auto add = [&parts] (juce::uint64 count, const char* what)
        {
            if (count > 0)
                parts.add (juce::String (count) + " " + what);
        };

        add (period.getNumLostOutputEvents(), "outgoing messages the output port had no room for");
        add (processor.getNumDroppedOutputTicks(), "output ticks the buffers had no room for");
        add (period.getNumDroppedInputEvents() + processor.getNumDroppedControlChanges() + processor.getNumDroppedPassedMessages(), "incoming messages");
        add (period.getNumHeldPeriods(), "periods passed by while following the server");
        return parts.isEmpty() ? juce::String (nothingDropped) : "dropped " + parts.joinIntoString (", ");
    }

    static constexpr const char* nothingDropped = "dropped nothing";

    void quit (int code)
    {
        exitCode = code;
        stopTimer();
        juce::MessageManager::getInstance()->stopDispatchLoop();
    }

    const AppOptions& options;
    BrisquellPlugInInterface& processor;
    MidiPeriod& period;
    std::unique_ptr<JackClient> client;
    std::unique_ptr<AppWindow> window;
    double sampleRate;
    int periodSize;
    juce::String saveFailure; // the last save's failure; empty once a save works
    bool savedForQuit = false;
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
        // A session that could not be saved is refused before it starts.
        if (const auto writable = statefile::checkWritable (options.stateFile); writable.failed())
        {
            complain (writable.getErrorMessage());
            return 1;
        }

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
    JackApp app (options, processor, period, std::move (client));
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
