#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# "pass other MIDI through" in Ardour 7, headless, with the built VST 2.4 binary:
#
#   tests/ardour/midi-through-in-ardour.sh [BUILD_DIR]
#
# A MIDI track with a note generator, Brisquellum and a MIDI sink (two small Lua DSP scripts of
# midi-through-scripts/): with MIDI through off no note reaches the sink, with it on (the
# session element's midithrough="1" in the plug-in's state chunk, set in the saved session as a
# user's menu choice would leave it) every note does. Needs Debian's ardour (7.x, with
# ardour7-lua) and python3. Ardour gets a HOME of its own (the built plug-in linked into ~/.vst,
# its index made by Ardour's own scanner, the Lua scripts in its scripts folder), removed at the
# end. Exits 0 when every check passed. Not part of CTest (about half a minute).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
home=$(mktemp -d /tmp/brisquell-ardour.XXXXXX)
trap 'rm -rf "$home"' EXIT

for tool in ardour7-lua python3; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

export HOME=$home
mkdir -p "$HOME/.vst" "$HOME/.config/ardour7/scripts"
ln -s "$build/plugin/Brisquellum.so" "$HOME/.vst/Brisquellum.so"
cp "$here"/midi-through-scripts/*.lua "$HOME/.config/ardour7/scripts/"
export LXVST_PATH=$HOME/.vst
unset VST_PATH VST3_PATH LV2_PATH
LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 /usr/lib/ardour7/ardour-vst-scanner -q -f "$HOME/.vst/Brisquellum.so"

run_step() {
    # ardour7-lua ends with 0 after a Lua error as well: only the script's last line says it passed.
    STEP=$1 timeout 300 ardour7-lua "$here/midi-through-in-ardour.lua" 2>&1 | tee "$home/$1.log"
    grep -q "^ardour: $2" "$home/$1.log" || { echo "FAILED: step $1" >&2; exit 1; }
}

run_step create "the session with MIDI through off is made"
python3 "$here/midi-through-chunk.py" "$home/midi-through/midi-through.ardour"
run_step play "notes pass through Brisquellum with MIDI through on"
# Recording a source's moves in touch mode, and playing the recording back. With the editor
# closed the plug-in reports the moves from the audio thread: Ardour 7.3 crashed when they came
# from the framework's own message thread (Temporal::TempoMap::metric_at, SIGSEGV).
python3 "$here/midi-through-chunk.py" --record "$home/midi-through/midi-through.ardour"
run_step automation "a source's moves recorded in touch mode play back"
echo "midi-through-in-ardour: passed"
