# SPDX-License-Identifier: GPL-3.0-or-later
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
# fails with BadAtom when it sets a window's WM_PROTOCOLS. The plug-in's editor makes them itself
# (tests/host/EditorOnBareDisplayTest.cpp); the tests' own windows (menus and dialogs opened
# without an editor) need them too. Interning them here (the server keeps them, as it runs with
# -noreset) lets those open.
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

# ---- Sanitizer and fuzzing stages (scripts/test) ----------------------------------------------

# The compilers of the sanitizer builds. The ASan+UBSan build, which also holds the fuzzers,
# needs clang for libFuzzer. The TSan build uses GCC: clang 14's shared TSan runtime, which
# executables and the plug-in binary would have to share, crashes at start-up.
sanitizer_cc=${BRISQUELL_SANITIZER_CC:-clang-14}
sanitizer_cxx=${BRISQUELL_SANITIZER_CXX:-clang++-14}
tsan_cc=${BRISQUELL_TSAN_CC:-gcc}
tsan_cxx=${BRISQUELL_TSAN_CXX:-g++}

# Suppressions for the sanitizers, kept with the stress tests.
sanitizer_suppressions=$repo_root/tests/stress/sanitizers

# Runtime options of the sanitizers for every process a stage starts. A fault stops the
# process with a report; LeakSanitizer runs at every exit of the ASan build.
export_sanitizer_options() {
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:strict_init_order=1}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1:suppressions=$sanitizer_suppressions/ubsan.supp}
    export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$sanitizer_suppressions/lsan.supp:print_suppressions=0}
    export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$sanitizer_suppressions/tsan.supp}
}

# configure_sanitizer_build <build dir> <address|thread> [extra cmake arguments...]
# Configures a build with the sanitizer; the caller builds the targets it needs.
configure_sanitizer_build() {
    local dir=$1 sanitizer=$2 cc=$sanitizer_cc cxx=$sanitizer_cxx
    shift 2
    if [ "$sanitizer" = thread ]; then
        cc=$tsan_cc
        cxx=$tsan_cxx
    fi
    CC=$cc CXX=$cxx cmake -S "$repo_root" -B "$dir" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRISQUELL_SANITIZE="$sanitizer" \
        -DBRISQUELL_BUILD_BENCHMARKS=OFF "$@"
}

# stage <name> <command...>: runs the command as one named stage and prints how long it took.
stage() {
    local name=$1 start
    shift
    start=$(date +%s)
    echo "==== stage: $name"
    "$@"
    echo "==== stage: $name took $(( $(date +%s) - start )) s"
}

# run_fuzzer <build dir> <fuzzer> <seconds>: runs the fuzzer from the repository's corpus for
# a bounded time. New inputs go to a scratch corpus in the build folder, never into the
# repository; an input that breaks a property is written to <build dir>/fuzz-artifacts/ and
# fails the run.
run_fuzzer() {
    local dir=$1 name=$2 seconds=$3
    local work=$dir/fuzz-work/$name artifacts=$dir/fuzz-artifacts/ log=$dir/fuzz-work/$name.log
    local extra=() status=0
    mkdir -p "$work" "$artifacts"
    if [ -f "$repo_root/fuzz/${name#fuzz_}.dict" ]; then
        extra+=("-dict=$repo_root/fuzz/${name#fuzz_}.dict")
    fi
    "$dir/fuzz/$name" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$artifacts" "${extra[@]}" "$work" "$repo_root/fuzz/corpus/$name" >"$log" 2>&1 || status=$?
    # libFuzzer's progress lines stay in the log; its summary and any report are shown.
    grep -E '^#[0-9]+ +(INITED|DONE)|^stat::number_of_executed_units|^Done ' "$log" || true
    if [ "$status" -ne 0 ]; then
        tail -n 80 "$log"
        echo "run_fuzzer: $name failed; the input is in $artifacts" >&2
    fi
    return "$status"
}
