// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The VST 2.4 ABI, from the clean-room header (brisquell_host silences its #warning lines,
// which say which of its names are guesses).
#include <pluginterfaces/fst/fst.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace brisquell::host
{

//==============================================================================
/** One MIDI message at a sample offset within a block. */
struct MidiEvent
{
    int offset = 0;
    std::array<std::uint8_t, 4> bytes{};
    int size = 0;

    /** A control change: status 0xB0 | (channel - 1), then the CC number and the value. */
    static MidiEvent controlChange (int offset, int channel, int ccNumber, int value);

    /** A message of 1 to 4 raw bytes (more are cut to 4). */
    static MidiEvent fromBytes (int offset, const std::vector<std::uint8_t>& bytes);

    bool isControlChange() const noexcept { return size >= 3 && (bytes[0] & 0xf0) == 0xb0; }
    int getChannel() const noexcept { return (bytes[0] & 0x0f) + 1; }

    /** "ch 1 CC 7 = 64" for a control change, otherwise the bytes in hex. */
    std::string describe() const;

    bool operator== (const MidiEvent& other) const noexcept;
    bool operator!= (const MidiEvent& other) const noexcept { return ! operator== (other); }
};

//==============================================================================
/** What the host answers the plug-in. */
struct HostOptions
{
    /** The answer to audioMasterVersion; a plug-in refuses to start with 0. */
    VstIntPtr versionAnswer = 2400;

    /** Whether the host answers audioMasterCanDo "sizeWindow" with 1 and resizes its window. */
    bool canSizeWindow = true;

    /** The answer to audioMasterGetCurrentProcessLevel (kVstProcessLevelRealtime, 2). */
    VstIntPtr processLevel = kVstProcessLevelRealtime;

    /** Room kept for the events of one audioMasterProcessEvents call without allocating. */
    int eventCapacity = 65536;
};

//==============================================================================
/** One plug-in instance loaded from a VST 2.4 library through dlopen and its entry point,
    driven through the AEffect record as any host drives it.

    Threads: processing (sendEvents, processBlock) may run on an audio thread of the caller's
    while another thread makes the editor and parameter calls, as real hosts do. The steady
    processing path allocates nothing once the buffers have grown to the block size.
*/
class Plugin final
{
public:
    /** Loads the library and creates an instance. On failure answers none and sets the error
        text ("the plug-in's entry point returned no instance" for a refusal).
    */
    static std::unique_ptr<Plugin> load (const std::string& libraryPath, const HostOptions& options, std::string& error);

    /** Suspends the plug-in if it is resumed, closes it (effClose) and unloads the library. */
    ~Plugin();

    AEffect& getEffect() noexcept { return *effect; }

    /** A raw dispatcher call. */
    VstIntPtr dispatch (int opcode, int index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);

    //==============================================================================
    /** effGetEffectName, effGetProductString, effGetVendorString, or any opcode that fills a
        text buffer (256 zeroed bytes are handed over).
    */
    std::string getText (int opcode, int index = 0);
    VstIntPtr canDo (const std::string& capability);

    std::string getParameterName (int index) { return getText (effGetParamName, index); }
    std::string getParameterDisplay (int index) { return getText (effGetParamDisplay, index); }
    std::string getParameterLabel (int index) { return getText (effGetParamLabel, index); }
    float getParameter (int index);
    void setParameter (int index, float value);

    //==============================================================================
    /** Calls effOpen; load() does so already. */
    void open();
    void setSampleRate (float sampleRate);
    void setBlockSize (int numSamples);
    /** effMainsChanged 1 and 0. */
    void resume();
    void suspend();
    bool isResumed() const noexcept { return resumed; }

    /** Hands the events to the plug-in (effProcessEvents), in the order given. */
    void sendEvents (const std::vector<MidiEvent>& events);

    /** Runs one processReplacing call of numSamples and answers the events the plug-in sent
        back through audioMasterProcessEvents during the call, in the order sent.
    */
    const std::vector<MidiEvent>& processBlock (int numSamples);

    /** The number of audioMasterProcessEvents calls the last processBlock received. */
    int getProcessEventsCallsInLastBlock() const noexcept { return processEventsCallsInBlock; }

    //==============================================================================
    /** effGetChunk: a copy of the chunk, and (optionally) the plug-in's own pointer to it. */
    std::vector<std::uint8_t> getChunk (bool programOnly = false, const void** pluginPointer = nullptr);
    VstIntPtr setChunk (const std::vector<std::uint8_t>& chunk, bool programOnly = false);

    //==============================================================================
    /** effEditGetRect: the editor's size, or false when the plug-in answers none. */
    bool getEditorSize (int& width, int& height);
    /** effEditOpen with the host's window; true when the plug-in opened its editor. */
    bool openEditor (unsigned long parentWindow);
    void closeEditor();
    /** effEditIdle: lets the plug-in run its pending work on this (the UI) thread. */
    void idle();
    bool isEditorOpen() const noexcept { return editorOpen; }

    /** Tells the plug-in the host's scale of its user interface, as hosts on high-resolution
        screens do: effVendorSpecific with index 'PreS', value 'AeCs' and the scale (1 for 100 %)
        as the float argument. Answers what the plug-in returned (1 when it took the scale).
    */
    VstIntPtr setContentScale (float scale);

    /** Called on audioMasterSizeWindow with the width and height the plug-in asks for. */
    void setSizeWindowHandler (std::function<bool (int, int)> handler);

    //==============================================================================
    /** How often the plug-in made a host call with the opcode (audioMasterVersion, ...). */
    int getCallbackCount (int opcode) const noexcept;

    /** One edit the plug-in reported: audioMasterBeginEdit, audioMasterAutomate or
        audioMasterEndEdit, the parameter's index and (for audioMasterAutomate) its value.
    */
    struct Edit
    {
        int opcode = 0, index = 0;
        float value = 0.0f;
        std::thread::id thread; // the thread the plug-in reported it on
    };

    /** The edits the plug-in reported so far, in order, as a host recording automation sees
        them. Any thread.
    */
    std::vector<Edit> getEdits() const;

    /** The last capability text the plug-in asked the host about. */
    std::string getLastCanDoQuestion() const;

    const HostOptions& getOptions() const noexcept { return options; }

private:
    Plugin (void* libraryHandle, const HostOptions& hostOptions);

    static VstIntPtr hostCallback (AEffect* effect, int opcode, int index, VstIntPtr value, void* ptr, float opt);
    VstIntPtr handleCallback (int opcode, int index, VstIntPtr value, void* ptr, float opt);
    void receiveEvents (const VstEvents* events);
    void ensureChannels (int numSamples);

    static int slotFor (int opcode) noexcept;
    static constexpr int numCallbackSlots = 24;

    void* library = nullptr;
    AEffect* effect = nullptr;
    HostOptions options;
    bool resumed = false, editorOpen = false;
    float sampleRate = 44100.0f;
    int blockSize = 512;

    // Audio thread: outgoing events and the buffers of one block.
    std::vector<VstMidiEvent> outgoingMidi;
    std::vector<std::uint8_t> outgoingList;
    std::vector<MidiEvent> received;
    int processEventsCallsInBlock = 0;
    std::vector<std::vector<float>> channelData;
    std::vector<float*> channelPointers;

    std::array<std::atomic<int>, numCallbackSlots> callbackCounts{};
    mutable std::mutex editsMutex;
    std::vector<Edit> edits;
    mutable std::mutex uiMutex;
    std::string lastCanDo;
    std::function<bool (int, int)> sizeWindowHandler;
};

} // namespace brisquell::host
