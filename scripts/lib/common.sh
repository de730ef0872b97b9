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

# Starts Xvfb on a free display unless one is already usable; it is stopped when the script exits.
ensure_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    local n
    for n in $(seq 90 140); do
        if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
            Xvfb ":$n" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
            xvfb_pid=$!
            trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
            export DISPLAY=":$n"
            local i
            for i in $(seq 1 50); do
                xdpyinfo >/dev/null 2>&1 && return 0
                sleep 0.1
            done
            echo "could not start Xvfb on :$n" >&2
            return 1
        fi
    done
    echo "no free X display number" >&2
    return 1
}
