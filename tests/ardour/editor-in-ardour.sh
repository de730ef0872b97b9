#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The editor in Ardour 7's own plug-in window, in each format (VST 2.4, LV2, VST3), run by hand:
#
#   tests/ardour/editor-in-ardour.sh [BUILD_DIR] [OUTPUT_DIR]
#
# Needs Debian's ardour (7.x, with ardour7-lua), Xvfb, openbox, xdotool, wmctrl, xwininfo and
# ImageMagick's import. It starts a virtual display of its own with openbox, gives Ardour a home
# folder of its own (the built plug-ins linked into ~/.vst, ~/.lv2 and ~/.vst3, its plug-in cache
# filled by its own scanners, a configuration that picks the "None (Dummy)" engine and skips the
# first-run dialogs), scripts a session with one MIDI track per format through ardour7-lua, and
# then for each format starts Ardour's window, opens the plug-in's window from the mixer and
#   1. logs the plug-in window's size every 0.25 s for 15 s (OUTPUT_DIR/<format>-sizes.txt): it
#      must not change;
#   2. moves the window to the screen's lower right, right-clicks the pane, where the menu must
#      open at the click, and chooses "add controller", then "add scene" the same way;
#   3. clicks the new row's value box, types "64" and Return, and takes a screenshot
#      (OUTPUT_DIR/<format>-typed-64.png; the row's value shows 64), then saves the session and
#      reads the plug-in's state back from it: the controller's value in the scene must be 64.
# With BRISQUELL_ARDOUR_SCALE=1 (what tests/ardour/editor-scale-in-ardour.sh sets), after step 1
# "200 %" is chosen from the pane menu's "scale" submenu with the mouse, and the plug-in's own
# window must then be twice its size and fill Ardour's plug-in window to its right and bottom edges
# (up to BRISQUELL_ARDOUR_BOTTOM_GAP pixels at the bottom; OUTPUT_DIR/<format>-scaled.png); steps 2
# and 3 are left out.
# Exits 0 when every check passes in every format. Slow (about two minutes) and not part of CTest.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
out=$(mkdir -p "${2:-$build/ardour-editor}" && cd "${2:-$build/ardour-editor}" && pwd)
work=$(mktemp -d /tmp/brisquell-ardour.XXXXXX)
failures=0

for tool in ardour ardour7-lua Xvfb openbox xdotool wmctrl xwininfo import; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own, with a window manager (Ardour's dialogs and windows expect one).
for n in $(seq 160 199); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
        Xvfb ":$n" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
        pids+=($!)
        export DISPLAY=":$n"
        break
    fi
done
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)

# Ardour's home: the built plug-ins, its plug-in cache, its configuration.
export HOME=$work/home
mkdir -p "$HOME/.vst" "$HOME/.lv2" "$HOME/.vst3" "$HOME/.config/ardour7"
ln -s "$build/plugin/Brisquellum.so" "$HOME/.vst/Brisquellum.so"
ln -s "$build/plugins/lv2/Brisquellum.lv2" "$HOME/.lv2/Brisquellum.lv2"
ln -s "$build/plugins/vst3/Brisquellum.vst3" "$HOME/.vst3/Brisquellum.vst3"
export LXVST_PATH=$HOME/.vst VST3_PATH=$HOME/.vst3 LV2_PATH=$HOME/.lv2:/usr/lib/lv2
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -q -f "$HOME/.vst/Brisquellum.so"
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -q -f "$HOME/.vst3/Brisquellum.vst3"
touch "$HOME/.config/ardour7/.a7" # the first-run wizard has been seen

# The session: one MIDI track per format, the plug-in on each.
session=$work/session
cat >"$work/make-session.lua" <<EOF
AudioEngine:set_backend ("None (Dummy)", "", "")
local s = create_session ("$session", "editor", 48000)
assert (s, "no session")
local function add (name, id, kind)
  local tracks = s:new_midi_track (ARDOUR.ChanCount (ARDOUR.DataType ("midi"), 1), ARDOUR.ChanCount (ARDOUR.DataType ("audio"), 0), false, ARDOUR.PluginInfo (), nil, nil, 1, name, ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
  for t in tracks:iter () do
    local p = ARDOUR.LuaAPI.new_plugin (s, id, kind, "")
    assert (not p:isnil (), "no plug-in for " .. name)
    t:add_processor_by_index (p, 0, nil, true)
  end
end
add ("vst2", "Brisquellum", ARDOUR.PluginType.LXVST)
add ("lv2", "urn:brisquellum:plugin", ARDOUR.PluginType.LV2)
add ("vst3", "Brisquellum", ARDOUR.PluginType.VST3)
s:save_state ("", false, false, false, false, false)
close_session ()
EOF
ardour7-lua "$work/make-session.lua" >"$work/make-session.log" 2>&1

# Ardour's configuration: the dummy engine, started at once.
cat >"$HOME/.config/ardour7/config" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="try-autostart-engine" value="1"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device="" output-device="" sample-rate="48000" buffer-size="1024" n-periods="0" input-latency="0" output-latency="0" lm-input="" lm-output="" active="1" use-buffered-io="0" midi-option="1 in, 1 out, Silence"><MIDIDevices/></State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
EOF

# The id of the first visible window whose title matches, or nothing.
window_id() { wmctrl -l | awk -v pattern="$1" '$0 ~ pattern { print $1; exit }'; }
window_size() { xwininfo -id "$1" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'; }
wm_origin() { wmctrl -lG | awk -v id="$1" '$1 == id { print $3, $4 }'; }
window_origin() { xwininfo -id "$1" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 } END { print x, y }'; }

# The plug-in's own window inside Ardour's: the deepest first child under the toolbar.
editor_window() {
    xwininfo -id "$1" -tree | awk '/[0-9]+x[0-9]+\+0\+[0-9]+/ && $1 ~ /^0x/ { id = $1 } END { print id }'
}

fail() {
    echo "FAIL ($format): $*"
    failures=$((failures + 1))
}

# The plug-in's own window has the expected size and reaches the right and bottom edges of
# Ardour's plug-in window (above it only Ardour's toolbar).
check_scaled_editor() {
    local editor before shown wx wy ex ey window menu mx my mw mh
    editor=$(editor_window "$1")
    before=$(window_size "$editor")
    read -r ex ey < <(window_origin "$editor")

    # The pane's menu; its last item, "scale", opens the submenu, whose last item is "200 %".
    xdotool mousemove $((ex + 200)) $((ey + 120)) click 3
    sleep 1
    menu=$(popup_windows | tail -1)
    [ -n "$menu" ] || { fail "no menu opened"; return; }
    read -r mx my mw mh < <(window_geometry "$menu")
    echo "$format: menu $menu at $mx,$my, $mw x $mh" >>"$out/$format-scale-menus.txt"
    xdotool mousemove $((mx + 30)) $((my + mh - 10)) click 1
    sleep 1
    import -window root "$out/$format-scale-menu.png"
    menu=$(popup_windows | grep -v "^$menu\$" | tail -1)
    [ -n "$menu" ] || { fail "no submenu opened"; return; }
    read -r mx my mw mh < <(window_geometry "$menu")
    echo "$format: submenu $menu at $mx,$my, $mw x $mh" >>"$out/$format-scale-menus.txt"
    xdotool mousemove $((mx + 30)) $((my + mh * 9 / 10)) click 1
    sleep 2

    editor=$(editor_window "$1")
    shown=$(window_size "$editor")
    window=$(window_size "$1")
    read -r wx wy < <(window_origin "$1")
    read -r ex ey < <(window_origin "$editor")
    import -window "$1" "$out/$format-scaled.png"
    echo "$format: the editor $before at 100 %; at 200 % Ardour's window $window at $wx,$wy, the editor $shown at $ex,$ey"
    [ "${shown%x*}" -ge $((2 * ${before%x*})) ] && [ "${shown#*x}" -ge $((2 * ${before#*x})) ] \
        || fail "the editor is $shown at 200 %, $before at 100 %"
    [ $((ex + ${shown%x*})) -eq $((wx + ${window%x*})) ] || fail "the editor ends at x $((ex + ${shown%x*})), the window at $((wx + ${window%x*}))"
    [ $((wy + ${window#*x} - ey - ${shown#*x})) -le "${BRISQUELL_ARDOUR_BOTTOM_GAP:-0}" ] \
        || fail "the editor ends at y $((ey + ${shown#*x})), the window at $((wy + ${window#*x}))"
}

# The viewable override-redirect windows on the screen larger than the toolkits' helpers (menus),
# oldest first; and a window's origin and size.
popup_windows() {
    xwininfo -root -children | awk '$1 ~ /^0x/ && /[0-9]+x[0-9]+\+/ { print $1 }' | while read -r w; do
        xwininfo -id "$w" | awk -v id="$w" '/Absolute upper-left X:/ { x = $4 } /Width:/ { width = $2 }
            /Map State:/ { viewable = ($3 == "IsViewable") } /Override Redirect State: yes/ { redirect = 1 }
            END { if (viewable && redirect && x >= 0 && width > 50) print id }'
    done
}
window_geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }'
}

run_format() {
    format=$1 title=$2 strip=$3

    ardour "$session/editor.ardour" >"$out/$format-ardour.log" 2>&1 &
    local ardour_pid=$!
    pids+=("$ardour_pid")

    # Ardour says once that the engine's device differs from the session's: answer it. Then its
    # mixer (the "Mix" button at the window's top right), where a double click on the strip's
    # plug-in opens the plug-in's window. Places are those of Ardour's first window, 1348 x 713.
    local main="" plugin_window="" i ax ay
    for i in $(seq 1 240); do
        main=$(window_id 'editor - Ardour')
        [ -n "$main" ] && break
        local dialog
        dialog=$(wmctrl -lG | awk '$8 == "" && $5 > 400 && $6 < 200 { print $1; exit }')
        if [ -n "$dialog" ]; then
            read -r dx dy < <(wm_origin "$dialog")
            xdotool mousemove $((dx + 395)) $((dy + 83)) click 1
        fi
        sleep 0.5
    done
    sleep 2
    if [ -n "$main" ]; then
        read -r ax ay < <(wm_origin "$main")
        xdotool mousemove $((ax + 1324)) $((ay + 52)) click 1
        sleep 2
        xdotool mousemove $((ax + 330 + 110 * strip)) $((ay + 166)) click --repeat 2 --delay 80 1
        for i in $(seq 1 40); do
            plugin_window=$(window_id "$title")
            [ -n "$plugin_window" ] && break
            sleep 0.25
        done
    fi
    if [ -z "$plugin_window" ]; then
        import -window root "$out/$format-no-window.png"
        fail "the plug-in window never opened"
        kill "$ardour_pid"
        wait "$ardour_pid" 2>/dev/null || true
        return
    fi

    # 1. The window's size, four times a second for 15 s.
    : >"$out/$format-sizes.txt"
    for i in $(seq 1 60); do
        echo "$(date +%s.%N | cut -c1-14) $(window_size "$plugin_window") editor $(window_size "$(editor_window "$plugin_window")")" >>"$out/$format-sizes.txt"
        sleep 0.25
    done
    local sizes
    sizes=$(awk '{ print $2, $4 }' "$out/$format-sizes.txt" | sort -u | wc -l)
    [ "$sizes" -eq 1 ] || fail "the window's size changed: $(awk '{ print $2, $4 }' "$out/$format-sizes.txt" | uniq | tr '\n' ';')"
    echo "$format: window and editor $(tail -1 "$out/$format-sizes.txt" | cut -d' ' -f2-) for 15 s"

    if [ -n "${BRISQUELL_ARDOUR_SCALE:-}" ]; then
        check_scaled_editor "$plugin_window"
        kill "$ardour_pid"
        wait "$ardour_pid" 2>/dev/null || true
        return
    fi

    # 2. The window moved to the screen's lower right (the framework's menus used to open towards
    #    the screen's middle, and its idea of the window's place went stale with the move): a
    #    right click on the pane opens its menu at the click; "add controller" is its third item.
    wmctrl -ir "$plugin_window" -e 0,900,500,-1,-1
    sleep 1
    local editor ex ey
    editor=$(editor_window "$plugin_window")
    read -r ex ey < <(window_origin "$editor")
    xdotool mousemove $((ex + 200)) $((ey + 120)) click 3
    sleep 1
    import -window root "$out/$format-menu.png"
    local menu mx my
    menu=$(xwininfo -root -children | awk '$1 ~ /^0x/ && /[0-9]+x[0-9]+\+/ { print $1 }' | while read -r w; do
        # A viewable override-redirect window on the screen, larger than the toolkits' helpers.
        xwininfo -id "$w" | awk -v id="$w" '/Absolute upper-left X:/ { x = $4 } /Width:/ { width = $2 }
            /Map State:/ { viewable = ($3 == "IsViewable") } /Override Redirect State: yes/ { redirect = 1 }
            END { if (viewable && redirect && x >= 0 && width > 50) print id }'
    done | tail -1 || true)
    if [ -n "$menu" ]; then
        read -r mx my < <(window_origin "$menu")
        if [ $((mx - ex - 200)) -lt -2 ] || [ $((mx - ex - 200)) -gt 2 ] || [ $((my - ey - 120)) -lt -2 ] || [ $((my - ey - 120)) -gt 2 ]; then
            fail "the menu opened at $mx,$my for a click at $((ex + 200)),$((ey + 120))"
        fi
        echo "$format: click at $((ex + 200)),$((ey + 120)), menu at $mx,$my"
    else
        fail "no menu opened"
    fi
    xdotool mousemove $((ex + 240)) $((ey + 120 + 55)) click 1
    sleep 1

    # A scene to hold the value: "add scene", the menu's first item, adds one where the click
    # was, and the editor selects it. (Without a selected scene the first change of a value keys
    # an empty scene at the cursor, with auto-key on, and the typed value is not kept in it.)
    xdotool mousemove $((ex + 300)) $((ey + 40)) click 3
    sleep 1
    xdotool mousemove $((ex + 340)) $((ey + 40 + 11)) click 1
    sleep 1

    # 3. The row's value box: click, type 64, Return (the plug-in's window active, as after a
    #    user's click on its title: the menus may have left another of Ardour's windows active).
    wmctrl -ia "$plugin_window" || true
    sleep 0.5
    xdotool mousemove $((ex + 25)) $((ey + 150)) click 1
    sleep 0.5
    xdotool mousemove $((ex + 25)) $((ey + 12)) click 1
    sleep 0.5
    echo "$format: X focus on $(printf '0x%x' "$(xdotool getwindowfocus -f)"), the editor's window $editor" >>"$out/$format-focus.txt"
    sleep 0.5
    xdotool type --delay 150 64
    xdotool key Return
    sleep 1
    xdotool mousemove $((ex + 200)) $((ey + 250))
    sleep 0.5
    import -window root "$out/$format-typed-64.png"
    if [ -n "${BRISQUELL_ARDOUR_HOLD:-}" ]; then
        echo "$format: holding for ${BRISQUELL_ARDOUR_HOLD} s on DISPLAY=$DISPLAY"
        sleep "$BRISQUELL_ARDOUR_HOLD"
    fi

    # Close the plug-in's window (so that the next start opens none), save, then read the value
    # back from the session's copy of the plug-in's state.
    wmctrl -ic "$plugin_window" || true
    sleep 1
    wmctrl -ia "$main" || true
    xdotool key ctrl+s
    sleep 2
    if "$repo/tests/ardour/ardour-session-ids.py" --value "$session" "$format" >"$out/$format-value.txt" 2>&1; then
        echo "$format: saved value $(cat "$out/$format-value.txt")"
        [ "$(cat "$out/$format-value.txt")" = 64 ] || fail "the saved value is $(cat "$out/$format-value.txt"), not 64"
    else
        fail "no value in the saved state: $(cat "$out/$format-value.txt")"
    fi

    if [ -n "${BRISQUELL_ARDOUR_KEEP:-}" ]; then cp -r "$session" "$out/$format-session"; fi
    kill "$ardour_pid"
    wait "$ardour_pid" 2>/dev/null || true
}

# BRISQUELL_ARDOUR_FORMATS="vst2 lv2" runs only those; BRISQUELL_ARDOUR_HOLD=SECONDS keeps
# Ardour open that long after the typing, to look at it; BRISQUELL_ARDOUR_KEEP=1 copies each
# format's saved session into the output folder.
for format in ${BRISQUELL_ARDOUR_FORMATS:-vst2 lv2 vst3}; do
    case $format in
        vst2) run_format vst2 'vst2: Brisquellum' 0 ;;
        lv2) run_format lv2 'lv2: Brisquellum' 1 ;;
        vst3) run_format vst3 'vst3: Brisquellum' 2 ;;
    esac
done

echo "logs and screenshots in $out"
[ "$failures" -eq 0 ] && echo "all checks passed" || echo "$failures check(s) failed"
[ "$failures" -eq 0 ]
