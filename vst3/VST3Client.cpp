// SPDX-License-Identifier: GPL-3.0-or-later
// The VST3 binary: the framework's VST3 client wrapped around the processor that
// createPluginFilter() makes. It exports GetPluginFactory, ModuleEntry and ModuleExit, and nothing
// else. VST3 carries no MIDI control changes as events: the client offers one hidden parameter
// per channel and controller and maps them through IMidiMapping, so a host turns incoming CCs into
// changes of those parameters, which the client hands to the processor as control changes at
// their sample offsets. The processor's own control changes go out as legacy MIDI CC events.
// The VST3 SDK's sources are compiled once in brisquell_juce (JUCE_PLUGINHOST_VST3).
#include <juce_audio_plugin_client/juce_audio_plugin_client_VST3.cpp>
