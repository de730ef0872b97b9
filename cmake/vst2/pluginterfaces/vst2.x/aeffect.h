// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Forwards the VST 2.4 ABI to Debian's clean-room FST headers.
#include <pluginterfaces/fst/aeffect.h>
