// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/host/VstHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

// The header marks the opcodes whose names it has not confirmed as deprecated. This host
// answers a few of them (audioMasterIdle, ...), exactly as the plug-in built on it sends them.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace brisquell::host
{

namespace
{
// The instance whose entry point is running: the plug-in asks audioMasterVersion before it
// has an AEffect for the host to recognise it by.
thread_local Plugin* instanceBeingCreated = nullptr;

using EntryPoint = AEffect* (*) (audioMasterCallback);

constexpr int textBufferSize = 256;
} // namespace

//==============================================================================
MidiEvent MidiEvent::controlChange (int offset, int channel, int ccNumber, int value)
{
    MidiEvent e;
    e.offset = offset;
    e.bytes = { (std::uint8_t) (0xb0 | ((std::clamp (channel, 1, 16) - 1) & 0x0f)),
                (std::uint8_t) (ccNumber & 0x7f),
                (std::uint8_t) (value & 0x7f),
                0 };
    e.size = 3;
    return e;
}

MidiEvent MidiEvent::fromBytes (int offset, const std::vector<std::uint8_t>& data)
{
    MidiEvent e;
    e.offset = offset;
    e.size = (int) std::min<size_t> (data.size(), 4);
    std::copy (data.begin(), data.begin() + e.size, e.bytes.begin());
    return e;
}

std::string MidiEvent::describe() const
{
    char text[64];

    if (isControlChange())
    {
        std::snprintf (text, sizeof (text), "ch %d CC %d = %d", getChannel(), bytes[1], bytes[2]);
        return text;
    }

    std::string result = "midi";

    for (int i = 0; i < size; ++i)
    {
        std::snprintf (text, sizeof (text), " %02x", bytes[(size_t) i]);
        result += text;
    }

    return result;
}

bool MidiEvent::operator== (const MidiEvent& other) const noexcept
{
    return offset == other.offset && size == other.size
           && std::equal (bytes.begin(), bytes.begin() + size, other.bytes.begin());
}

//==============================================================================
std::unique_ptr<Plugin> Plugin::load (const std::string& libraryPath, const HostOptions& hostOptions, std::string& error)
{
    auto* handle = dlopen (libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);

    if (handle == nullptr)
    {
        const auto* reason = dlerror();
        error = "cannot load " + libraryPath + ": " + (reason != nullptr ? reason : "unknown error");
        return nullptr;
    }

    auto entry = reinterpret_cast<EntryPoint> (dlsym (handle, "VSTPluginMain"));

    if (entry == nullptr)
        entry = reinterpret_cast<EntryPoint> (dlsym (handle, "main"));

    if (entry == nullptr)
    {
        error = libraryPath + " exports neither VSTPluginMain nor main";
        dlclose (handle);
        return nullptr;
    }

    std::unique_ptr<Plugin> plugin (new Plugin (handle, hostOptions));

    instanceBeingCreated = plugin.get();
    auto* created = entry (&Plugin::hostCallback);
    instanceBeingCreated = nullptr;

    if (created == nullptr)
    {
        error = "the plug-in's entry point returned no instance";
        return nullptr;
    }

    if (created->magic != kEffectMagic)
    {
        error = "the plug-in's entry point returned a record without the VST magic";
        return nullptr;
    }

    plugin->effect = created;
    created->user = plugin.get();
    plugin->open();
    return plugin;
}

Plugin::Plugin (void* libraryHandle, const HostOptions& hostOptions)
    : library (libraryHandle), options (hostOptions)
{
    received.reserve ((size_t) std::max (0, options.eventCapacity));
    outgoingMidi.reserve (1024);
    outgoingList.reserve (sizeof (VstEvents) + 1024 * sizeof (VstEvent*));
}

Plugin::~Plugin()
{
    if (effect != nullptr)
    {
        if (editorOpen)
            closeEditor();

        if (resumed)
            suspend();

        dispatch (effClose);
        effect = nullptr;
    }

    if (library != nullptr)
        dlclose (library);
}

VstIntPtr Plugin::dispatch (int opcode, int index, VstIntPtr value, void* ptr, float opt)
{
    return effect != nullptr ? effect->dispatcher (effect, opcode, index, value, ptr, opt) : 0;
}

//==============================================================================
std::string Plugin::getText (int opcode, int index)
{
    char buffer[textBufferSize] = {};
    dispatch (opcode, index, 0, buffer, 0.0f);
    buffer[textBufferSize - 1] = 0;
    return buffer;
}

VstIntPtr Plugin::canDo (const std::string& capability)
{
    std::vector<char> text (capability.begin(), capability.end());
    text.push_back (0);
    return dispatch (effCanDo, 0, 0, text.data(), 0.0f);
}

float Plugin::getParameter (int index)
{
    return effect->getParameter (effect, index);
}

void Plugin::setParameter (int index, float value)
{
    effect->setParameter (effect, index, value);
}

//==============================================================================
void Plugin::open()
{
    dispatch (effOpen);
}

void Plugin::setSampleRate (float newSampleRate)
{
    sampleRate = newSampleRate;
    dispatch (effSetSampleRate, 0, 0, nullptr, newSampleRate);
}

void Plugin::setBlockSize (int numSamples)
{
    blockSize = numSamples;
    ensureChannels (numSamples);
    dispatch (effSetBlockSize, 0, numSamples);
}

void Plugin::resume()
{
    ensureChannels (blockSize);
    dispatch (effMainsChanged, 0, 1);
    resumed = true;
}

void Plugin::suspend()
{
    dispatch (effMainsChanged, 0, 0);
    resumed = false;
}

void Plugin::ensureChannels (int numSamples)
{
    const auto numChannels = (size_t) std::max ({ 1, effect != nullptr ? effect->numInputs : 0, effect != nullptr ? effect->numOutputs : 0 });
    const auto length = (size_t) std::max (1, numSamples);

    if (channelData.size() < numChannels)
        channelData.resize (numChannels);

    channelPointers.resize (channelData.size());

    for (size_t i = 0; i < channelData.size(); ++i)
    {
        if (channelData[i].size() < length)
            channelData[i].assign (length, 0.0f);

        channelPointers[i] = channelData[i].data();
    }
}

void Plugin::sendEvents (const std::vector<MidiEvent>& events)
{
    if (outgoingMidi.size() < events.size())
        outgoingMidi.resize (events.size());

    const auto listSize = sizeof (VstEvents) + events.size() * sizeof (VstEvent*);

    if (outgoingList.size() < listSize)
        outgoingList.resize (listSize);

    auto* list = reinterpret_cast<VstEvents*> (outgoingList.data());
    list->numEvents = (int) events.size();

    for (size_t i = 0; i < events.size(); ++i)
    {
        auto& midi = outgoingMidi[i];
        midi = VstMidiEvent {};
        midi.type = kVstMidiType;
        midi.byteSize = (int) sizeof (VstMidiEvent);
        midi.deltaFrames = events[i].offset;
        std::copy (events[i].bytes.begin(), events[i].bytes.begin() + events[i].size, midi.midiData);
        list->events[i] = reinterpret_cast<VstEvent*> (&midi);
    }

    dispatch (effProcessEvents, 0, 0, list, 0.0f);
}

const std::vector<MidiEvent>& Plugin::processBlock (int numSamples)
{
    if (numSamples > 0 && (channelData.empty() || channelData.front().size() < (size_t) numSamples))
        ensureChannels (numSamples);

    received.clear();
    processEventsCallsInBlock = 0;

    auto** channels = channelPointers.data();
    effect->processReplacing (effect, channels, channels, numSamples);
    return received;
}

void Plugin::receiveEvents (const VstEvents* events)
{
    ++processEventsCallsInBlock;

    if (events == nullptr)
        return;

    for (int i = 0; i < events->numEvents; ++i)
    {
        const auto* event = events->events[i];

        if (event == nullptr || event->type != kVstMidiType)
            continue;

        const auto* midi = reinterpret_cast<const VstMidiEvent*> (event);
        MidiEvent e;
        e.offset = midi->deltaFrames;
        std::copy (midi->midiData, midi->midiData + 4, e.bytes.begin());

        // The length follows from the status byte, as a host reads it.
        const auto status = e.bytes[0];
        e.size = (status & 0xf0) == 0xc0 || (status & 0xf0) == 0xd0 ? 2
               : status >= 0xf0                                     ? 1
                                                                    : 3;
        received.push_back (e);
    }
}

//==============================================================================
std::vector<std::uint8_t> Plugin::getChunk (bool programOnly, const void** pluginPointer)
{
    void* data = nullptr;
    const auto size = dispatch (effGetChunk, programOnly ? 1 : 0, 0, &data, 0.0f);

    if (pluginPointer != nullptr)
        *pluginPointer = data;

    if (data == nullptr || size <= 0)
        return {};

    const auto* bytes = static_cast<const std::uint8_t*> (data);
    return { bytes, bytes + size };
}

VstIntPtr Plugin::setChunk (const std::vector<std::uint8_t>& chunk, bool programOnly)
{
    // The plug-in receives a non-const pointer; hand it a copy it may do anything with.
    auto copy = chunk;
    return dispatch (effSetChunk, programOnly ? 1 : 0, (VstIntPtr) copy.size(), copy.empty() ? nullptr : copy.data(), 0.0f);
}

//==============================================================================
bool Plugin::getEditorSize (int& width, int& height)
{
    ERect* rect = nullptr;
    dispatch (effEditGetRect, 0, 0, &rect, 0.0f);

    if (rect == nullptr)
        return false;

    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
    return true;
}

VstIntPtr Plugin::setContentScale (float scale)
{
    const auto fourChars = [] (const char* text)
    {
        return (VstIntPtr) (((std::uint32_t) (std::uint8_t) text[0] << 24) | ((std::uint32_t) (std::uint8_t) text[1] << 16)
                            | ((std::uint32_t) (std::uint8_t) text[2] << 8) | (std::uint32_t) (std::uint8_t) text[3]);
    };

    return dispatch (effVendorSpecific, (int) fourChars ("PreS"), fourChars ("AeCs"), nullptr, scale);
}

bool Plugin::openEditor (unsigned long parentWindow)
{
    editorOpen = dispatch (effEditOpen, 0, 0, reinterpret_cast<void*> (parentWindow), 0.0f) != 0;
    return editorOpen;
}

void Plugin::closeEditor()
{
    dispatch (effEditClose);
    editorOpen = false;
}

void Plugin::idle()
{
    dispatch (effEditIdle);
}

void Plugin::setSizeWindowHandler (std::function<bool (int, int)> handler)
{
    const std::lock_guard<std::mutex> lock (uiMutex);
    sizeWindowHandler = std::move (handler);
}

//==============================================================================
int Plugin::slotFor (int opcode) noexcept
{
    switch (opcode)
    {
        case audioMasterAutomate:                return 1;
        case audioMasterVersion:                 return 2;
        case audioMasterWantMidi:                return 3;
        case audioMasterGetTime:                 return 4;
        case audioMasterProcessEvents:           return 5;
        case audioMasterSizeWindow:              return 6;
        case audioMasterGetSampleRate:           return 7;
        case audioMasterGetBlockSize:            return 8;
        case audioMasterGetCurrentProcessLevel:  return 9;
        case audioMasterCanDo:                   return 10;
        case audioMasterBeginEdit:               return 11;
        case audioMasterEndEdit:                 return 12;
        case audioMasterIdle:                    return 13;
        case audioMasterUpdateDisplay:           return 14;
        case audioMasterIOChanged:               return 15;
        case audioMasterGetVendorString:         return 16;
        case audioMasterGetProductString:        return 17;
        case audioMasterGetVendorVersion:        return 18;
        case audioMasterVendorSpecific:          return 19;
        default:                                 return 0;
    }
}

std::vector<Plugin::Edit> Plugin::getEdits() const
{
    const std::lock_guard<std::mutex> lock (editsMutex);
    return edits;
}

int Plugin::getCallbackCount (int opcode) const noexcept
{
    const auto slot = slotFor (opcode);
    return slot > 0 ? callbackCounts[(size_t) slot].load() : 0;
}

std::string Plugin::getLastCanDoQuestion() const
{
    const std::lock_guard<std::mutex> lock (uiMutex);
    return lastCanDo;
}

VstIntPtr Plugin::hostCallback (AEffect* fx, int opcode, int index, VstIntPtr value, void* ptr, float opt)
{
    auto* self = fx != nullptr && fx->user != nullptr ? static_cast<Plugin*> (fx->user) : instanceBeingCreated;

    if (self == nullptr)
        return opcode == audioMasterVersion ? kVstVersion : 0;

    return self->handleCallback (opcode, index, value, ptr, opt);
}

VstIntPtr Plugin::handleCallback (int opcode, int index, VstIntPtr value, void* ptr, float opt)
{
    callbackCounts[(size_t) slotFor (opcode)].fetch_add (1);

    if (opcode == audioMasterBeginEdit || opcode == audioMasterAutomate || opcode == audioMasterEndEdit)
    {
        const std::lock_guard<std::mutex> lock (editsMutex);
        edits.push_back ({ opcode, index, opcode == audioMasterAutomate ? opt : 0.0f, std::this_thread::get_id() });
    }

    switch (opcode)
    {
        case audioMasterVersion:
            return options.versionAnswer;

        case audioMasterWantMidi:
            return 1;

        case audioMasterProcessEvents:
            receiveEvents (static_cast<const VstEvents*> (ptr));
            return 1;

        case audioMasterGetCurrentProcessLevel:
            return options.processLevel;

        case audioMasterGetSampleRate:
            return (VstIntPtr) sampleRate;

        case audioMasterGetBlockSize:
            return blockSize;

        case audioMasterCanDo:
        {
            const auto* text = static_cast<const char*> (ptr);

            if (text == nullptr)
                return 0;

            {
                const std::lock_guard<std::mutex> lock (uiMutex);
                lastCanDo = text;
            }

            if (std::strcmp (text, "sizeWindow") == 0)
                return options.canSizeWindow ? 1 : 0;

            for (auto* capability : { "sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent" })
                if (std::strcmp (text, capability) == 0)
                    return 1;

            return 0;
        }

        case audioMasterSizeWindow:
        {
            if (! options.canSizeWindow)
                return 0;

            std::function<bool (int, int)> handler;

            {
                const std::lock_guard<std::mutex> lock (uiMutex);
                handler = sizeWindowHandler;
            }

            return handler == nullptr || handler (index, (int) value) ? 1 : 0;
        }

        case audioMasterGetVendorString:
        case audioMasterGetProductString:
            if (ptr != nullptr)
                std::snprintf (static_cast<char*> (ptr), 64, "%s", "brisquell-host");

            return 1;

        case audioMasterGetVendorVersion:
            return 1;

        default:
            // audioMasterIdle, audioMasterGetTime (no transport), audioMasterAutomate, ...
            return 0;
    }
}

} // namespace brisquell::host
