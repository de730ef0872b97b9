// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 binary: the framework's LV2 client (plug-in and X11 UI) wrapped around the processor
// that createPluginFilter() makes. It exports lv2_descriptor and lv2ui_descriptor, and nothing
// else. Incoming MIDI arrives through the "in" atom port, the processor's control changes leave
// through the "out" port at their sample offsets, "cursor X" and "cursor Y" are patch:Set
// parameters, and the state is the state chunk (plugin/StateChunk.h), base64-encoded, as one
// string property.
#include <juce_audio_plugin_client/juce_audio_plugin_client_LV2.cpp>
