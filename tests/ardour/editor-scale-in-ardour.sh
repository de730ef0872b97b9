#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The editor at 200 % in Ardour 7's plug-in window, in each format, run by hand:
#
#   tests/ardour/editor-scale-in-ardour.sh [BUILD_DIR] [OUTPUT_DIR]
#
# A new instance's editor in Ardour's plug-in window (which it fills: Ardour's toolbar is wider
# than its 300 x 300), "200 %" chosen in the pane's menu: its window must become twice the size
# and fill Ardour's plug-in window below the toolbar, but for the few pixels at the bottom that
# Ardour adds to a VST 2.4 editor's window at every scale (see editor-in-ardour.sh, which does the
# work). About a minute and a half.
set -euo pipefail
build=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build}
BRISQUELL_ARDOUR_SCALE=1 BRISQUELL_ARDOUR_BOTTOM_GAP=${BRISQUELL_ARDOUR_BOTTOM_GAP:-8} \
    exec "$(dirname "${BASH_SOURCE[0]}")/editor-in-ardour.sh" "$build" "${2:-$build/ardour-editor-scale}"
