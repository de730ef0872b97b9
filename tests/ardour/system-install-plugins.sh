#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Ardour 7 finds and runs the installed VST 2.4 and LV2 plug-ins from the system folders, with
# no plug-in path set (tests/ardour/system-install-plugins.lua). Needs the package installed;
# the package stage of scripts/test runs it (tests/package/check-package.sh).
#
# Ardour's Lua session tool reads Ardour's index of VST 2.4 plug-ins and never scans; Ardour's
# window indexes new plug-ins at start with its scanner. This does the same first, with the
# same scanner, for the VST 2.4 binaries in the system's VST folder. The HOME is a folder of
# its own (Ardour's settings, its index and the session go there, and no ~/.vst or ~/.lv2
# copy can stand in for the installed one), removed at the end.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
home=$(mktemp -d /tmp/brisquell-ardour.XXXXXX)
trap 'rm -rf "$home"' EXIT
unset LXVST_PATH VST_PATH LV2_PATH

scanner=/usr/lib/ardour7/ardour-vst-scanner
for binary in /usr/lib/vst/*.so; do
    HOME=$home LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 "$scanner" --quiet "$binary" || true
done

HOME=$home timeout 300 ardour7-lua "$here/system-install-plugins.lua" 2>&1 | tee "$home/ardour.log"
# ardour7-lua ends with 0 after a Lua error as well: only the script's last line says it passed.
grep -q '^ardour: Brisquellum runs as VST 2.4 and LV2 from the system folders$' "$home/ardour.log"
