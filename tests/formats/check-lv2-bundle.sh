#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The built LV2 bundle as LV2's own tools see it.
#   check-lv2-bundle.sh <bundle folder> <plug-in URI> <allow-list>
# 1. lv2info, with only the bundle's folder on LV2_PATH, finds the plug-in under its URI, with
#    its name, MIDI atom ports, X11 UI, state interface and the two cursor parameters.
# 2. lv2_validate checks manifest.ttl, dsp.ttl and ui.ttl against the installed LV2 schemas;
#    every finding must be on the allow-list (one extended regular expression per line, matched
#    against the finding's lines joined into one), and every entry of the list must still be
#    found, so that the list shrinks when the framework mends its Turtle.
set -euo pipefail
bundle=$1 uri=$2 allowed=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

info=$(LV2_PATH=$(dirname "$bundle") lv2info "$uri" 2>&1) || fail "lv2info does not find $uri: $info"
echo "$info"
expect() { grep -qE -- "$1" <<<"$info" || fail "lv2info shows no line matching: $1"; }
expect "^$uri\$"
expect 'Name: +Brisquellum$'
expect 'Author: +K4TZ$'
expect "Binary: +file://$bundle/Brisquellum.so\$"
expect "^[[:space:]]+$uri:UI\$"
expect 'Class: +http://lv2plug.in/ns/extensions/ui#X11UI'
expect 'Extension Data: +http://lv2plug.in/ns/ext/state#interface'
expect 'Symbol: +in$'
expect 'Symbol: +out$'
[ "$(grep -c 'ns/ext/atom#AtomPort' <<<"$info")" -eq 2 ] || fail "expected two atom ports"
grep -q 'AudioPort' <<<"$info" && fail "the plug-in declares audio ports"

# The parameters and the atom ports' MIDI support, from the plug-in's own description.
dsp=$bundle/dsp.ttl
grep -qE "^plug:cursorX\$" "$dsp" || fail "dsp.ttl has no parameter plug:cursorX"
grep -qE "^plug:cursorY\$" "$dsp" || fail "dsp.ttl has no parameter plug:cursorY"
grep -q 'rdfs:label "cursor X"' "$dsp" || fail "dsp.ttl does not name cursor X"
grep -q 'rdfs:label "cursor Y"' "$dsp" || fail "dsp.ttl does not name cursor Y"
[ "$(grep -c 'midi:MidiEvent' "$dsp")" -eq 2 ] || fail "both atom ports must support midi:MidiEvent"

# lv2_validate prints each finding as an "error:" or "warning:" line followed by the indented
# triple it concerns (sometimes after a blank line); its exit code is 1 whenever there are errors.
report=$(cd "$bundle" && lv2_validate manifest.ttl dsp.ttl ui.ttl 2>&1) || true
echo "$report"
findings=$(awk '
    /^(error|warning): / { if (f != "") print f; f = $0; next }
    /^[[:space:]]*$/ { next }
    /^[[:space:]]+[^[:space:]]/ && f != "" { sub(/^[[:space:]]+/, ""); f = f " | " $0; next }
    { if (f != "") print f; f = "" }
    END { if (f != "") print f }' <<<"$report")
patterns=$(grep -vE '^[[:space:]]*(#|$)' "$allowed")
status=0
while IFS= read -r finding; do
    [ -n "$finding" ] || continue
    if ! grep -qEf <(printf '%s\n' "$patterns") <<<"$finding"; then
        echo "FAIL: lv2_validate finding not on the allow-list: $finding" >&2
        status=1
    fi
done <<<"$findings"
while IFS= read -r pattern; do
    grep -qE -- "$pattern" <<<"$findings" || { echo "FAIL: allow-list entry no longer found (remove it): $pattern" >&2; status=1; }
done <<<"$patterns"
grep -qE '^Found [0-9]+ errors? among' <<<"$report" || grep -q 'checked' <<<"$report" || { echo "FAIL: lv2_validate did not run" >&2; status=1; }
exit $status
