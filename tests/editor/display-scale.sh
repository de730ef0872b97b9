#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The editor follows the display's density: the bundled host opens a new instance's editor
# (300 x 300) on a virtual display of 192 dots per inch (this script's own), where it must open
# at 200 %, 600 x 600. (At the other tests' 100 dots per inch it opens at 300 x 300.)
# Usage: display-scale.sh HOST PLUGIN
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/common.sh"
host=$1 plugin=$2
xvfb_pid= host_pid=
cleanup() {
    [ -z "$host_pid" ] || kill "$host_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# start_display DPI: a new Xvfb on a free display number, with the atoms a window manager makes.
start_display() {
    local n i
    for n in $(seq 170 230); do
        [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] && continue
        Xvfb ":$n" -screen 0 1600x1200x24 -dpi "$1" -nolisten tcp -noreset >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        for i in $(seq 1 50); do
            xdpyinfo >/dev/null 2>&1 && intern_window_manager_atoms && return 0
            sleep 0.1
        done
        kill "$xvfb_pid" 2>/dev/null || true
    done
    echo "could not start Xvfb" >&2
    return 1
}

# expect_editor DPI SIZE: the host's window for the editor takes SIZE (WxH) on that display.
expect_editor() {
    start_display "$1"
    "$host" --quiet --editor --hold 10000 "$plugin" >/dev/null 2>&1 &
    host_pid=$!
    local size= i
    for i in $(seq 1 100); do
        size=$(xwininfo -root -tree | awk '/"Brisquellum"/ { print $4; exit }')
        [ "$size" = "$2+0+0" ] && break
        sleep 0.1
    done
    kill "$host_pid" 2>/dev/null || true
    wait "$host_pid" 2>/dev/null || true
    host_pid=
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
    if [ "$size" != "$2+0+0" ]; then
        echo "at $1 dots per inch the editor's window is ${size:-missing}, not $2" >&2
        return 1
    fi
    echo "at $1 dots per inch: $2"
}

expect_editor 192 600x600
