// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in binary: the framework's VST 2.4 client wrapped around the processor that
// createPluginFilter() makes. It exports VSTPluginMain and main, and nothing else.
#include <juce_audio_plugin_client/juce_audio_plugin_client_VST2.cpp>
