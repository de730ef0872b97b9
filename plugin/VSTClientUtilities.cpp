// SPDX-License-Identifier: GPL-3.0-or-later
// The client's shared helpers (the vendor-specific opcode hook the VST 2.4 client calls).
// The framework allows its setting checks only once per translation unit, so they live here,
// apart from VSTClient.cpp.
#include <juce_audio_plugin_client/juce_audio_plugin_client_utils.cpp>
