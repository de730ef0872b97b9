# Shared by the project's scripts: paths, ccache settings, the build and a virtual display.

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_dir=${BRISQUELL_BUILD_DIR:-$repo_root/build}
jobs=${BRISQUELL_JOBS:-$(nproc)}

# The JUCE modules compile to the same objects in every clone: let ccache share them.
export CCACHE_NOHASHDIR=1
export CCACHE_BASEDIR=$repo_root
export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros}

# configure_and_build <build dir> [extra cmake arguments...]
configure_and_build() {
    local dir=$1
    shift
    cmake -S "$repo_root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" -j "$jobs"
}

# A bare X server has no window manager, so the atoms one would create do not exist, and JUCE
# fails with BadAtom when it sets a window's WM_PROTOCOLS. Interning them (the server keeps them,
# as it runs with -noreset) lets plug-in and test windows open.
intern_window_manager_atoms() {
    local atom
    for atom in WM_PROTOCOLS WM_TAKE_FOCUS WM_DELETE_WINDOW _NET_WM_PING WM_CHANGE_STATE WM_STATE; do
        xprop -root -f _BRISQUELL_ATOMS 32a -set _BRISQUELL_ATOMS "$atom"
    done
    xprop -root -remove _BRISQUELL_ATOMS
}

# Starts Xvfb on a free display unless one is already usable; it is stopped when the script exits.
ensure_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    local n
    for n in $(seq 90 140); do
        if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
            Xvfb ":$n" -screen 0 1600x1200x24 -nolisten tcp -noreset >/dev/null 2>&1 &
            xvfb_pid=$!
            trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
            export DISPLAY=":$n"
            local i
            for i in $(seq 1 50); do
                if xdpyinfo >/dev/null 2>&1; then
                    intern_window_manager_atoms
                    return 0
                fi
                sleep 0.1
            done
            echo "could not start Xvfb on :$n" >&2
            return 1
        fi
    done
    echo "no free X display number" >&2
    return 1
}
