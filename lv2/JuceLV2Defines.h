// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The framework's LV2 client includes this header for the plug-in's URI. The LV2 target defines
// JucePlugin_LV2URI itself (lv2/CMakeLists.txt), so there is nothing to add here.
#ifndef JucePlugin_LV2URI
#error "JucePlugin_LV2URI must be defined on the LV2 target"
#endif
