#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The package stage of scripts/test: builds the release packages with scripts/package, checks
# the .deb's file list and metadata, installs it on this machine with apt-get and runs what it
# installed from the system folders, purges it and checks that nothing of it is left; then
# installs the archive into a temporary prefix and a temporary home with install.sh, runs it
# there, and takes it out with uninstall.sh.
#
#   tests/package/check-package.sh BUILD_DIR
#
# BUILD_DIR is a normal build with the bundled host (brisquell-host) and the framework-hosting
# check (brisquell_installed_plugin_check). Needs root (or sudo) for apt-get. The package is
# purged when the stage ends, also on failure.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/lib/common.sh"
build_dir=$(cd "${1:?usage: check-package.sh BUILD_DIR}" && pwd)
out_dir=${BRISQUELL_PACKAGE_OUT:-$repo_root/out}
host=$build_dir/tools/host/brisquell-host
format_check=$build_dir/tests/package/brisquell_installed_plugin_check

if [ "$(id -u)" -eq 0 ]; then as_root() { "$@"; }; else as_root() { sudo "$@"; }; fi

version=$(sed -n 's/^project(Brisquellum VERSION \([0-9.]*\).*/\1/p' "$repo_root/CMakeLists.txt")
IFS=. read -r major minor patch <<<"$version"
version_code=$(printf '0x%x' $(( (major << 16) | (minor << 8) | patch )))
deb=$out_dir/brisquellum_${version}_amd64.deb
archive=$out_dir/brisquellum-${version}-linux-x86_64.tar.gz
scratch=$(mktemp -d /tmp/brisquell-package.XXXXXX)
failures=0
started_pids= # the JACK servers and apps the stage starts, ended by cleanup if they still run
installing=0  # 1 from the stage's apt-get install on: cleanup purges only a package of its own

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect_same <what> <expected text> <actual text>
expect_same() {
    if [ "$2" != "$3" ]; then
        fail "$1"
        diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") >&2 || true
    else
        echo "ok:   $1"
    fi
}

cleanup() {
    local pid
    for pid in ${started_pids:-}; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    if [ "$installing" = 1 ] && dpkg-query -W -f='${Status}' brisquellum 2>/dev/null | grep -q 'install ok'; then
        as_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q -o DPkg::Lock::Timeout=600 brisquellum >/dev/null || true
    fi
    rm -rf "$scratch"
}

# ---- The packages: built, their names, file list and metadata ---------------------------------
check_metadata() {
    [ -f "$deb" ] && [ -f "$archive" ] || { fail "scripts/package made $deb and $archive"; return; }
    expect_same "the changelog's latest entry is the project's version" "## $version" \
        "$(grep -m1 -o '^## [0-9][^ ]*' "$repo_root/CHANGELOG.md")"
    expect_same "the .deb's files" "$(cat "$here/expected-files.txt")" \
        "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | LC_ALL=C sort)"
    expect_same "the archive's files" \
        "$( (sed "s|^/usr/||" "$here/expected-files.txt"; printf '%s\n' install.sh layout.sh uninstall.sh) |
            sed "s|^|brisquellum-$version-linux-x86_64/|" | LC_ALL=C sort)" \
        "$(tar -tzf "$archive" | grep -v '/$' | LC_ALL=C sort)"
    expect_same "the package's name, version and architecture" "brisquellum $version amd64" \
        "$(dpkg-deb -f "$deb" Package Version Architecture | awk -F': ' '{ printf "%s%s", sep, $2; sep = " " } END { print "" }')"
    local depends recommends
    depends=$(dpkg-deb -f "$deb" Depends)
    for library in libc6 libstdc++6 libjack-jackd2-0 libfreetype6; do
        [[ $depends == *"$library "* ]] || fail "Depends names $library (it reads: $depends)"
    done
    recommends=$(dpkg-deb -f "$deb" Recommends)
    for library in libx11-6 libxext6; do
        [[ $recommends == *"$library"* ]] || fail "Recommends names $library, which the editor loads (it reads: $recommends)"
    done
    mkdir -p "$scratch/deb"
    dpkg-deb -x "$deb" "$scratch/deb"
    expect_same "the Debian changelog's version" "$version" \
        "$(dpkg-parsechangelog -l "$scratch/deb/usr/share/doc/brisquellum/changelog.gz" -S Version)"
}

# ---- What an installation runs, from its folders -----------------------------------------------
# check_installation <label> <vst dir> <lv2 dir> <vst3 dir> <bin dir> <applications dir>
check_installation() {
    local label=$1 vst=$2 lv2=$3 vst3=$4 bin=$5 applications=$6
    local home=$scratch/home-$label
    mkdir -p "$home"

    expect_same "$label: the bundled host reads the VST 2.4 binary's declarations" \
        "$(sed "s/@VERSION_CODE@/$version_code/" "$here/installed-vst2-info.expected")" \
        "$(timeout 60 "$host" --info --blocks 1 "$vst/Brisquellum.so" 2>&1)"
    expect_same "$label: the VST 2.4 binary plays a short session" "$(cat "$here/installed-session.expected")" \
        "$(timeout 60 "$host" --rate 44100 --block 441 --per-block --script "$here/installed-session.txt" "$vst/Brisquellum.so" 2>&1)"

    # LV2's own tools and the framework's hosting look in ~/.lv2 and the system folders: HOME is
    # a folder of the stage's own whose .lv2 is the installation's LV2 folder (none for the
    # system's), so that no other copy can stand in for the installed one.
    mkdir -p "$home"
    local lv2_seen=$lv2
    if [ "$lv2" != /usr/lib/lv2 ]; then
        ln -sfn "$lv2" "$home/.lv2"
        lv2_seen=$home/.lv2
    fi
    local lv2_env=(env -u LV2_PATH HOME="$home")
    "${lv2_env[@]}" lv2ls | grep -qx 'urn:brisquellum:plugin' && echo "ok:   $label: lv2ls finds the plug-in" ||
        fail "$label: lv2ls finds urn:brisquellum:plugin"
    "${lv2_env[@]}" lv2info urn:brisquellum:plugin >"$scratch/lv2info.txt" 2>&1 &&
        grep -q "Binary: *file://$lv2_seen/Brisquellum.lv2/Brisquellum.so" "$scratch/lv2info.txt" &&
        echo "ok:   $label: lv2info shows the plug-in in $lv2" ||
        { fail "$label: lv2info shows the plug-in in $lv2"; cat "$scratch/lv2info.txt" >&2; }
    grep -q "doap:revision \"$version\"" "$lv2/Brisquellum.lv2/dsp.ttl" &&
        grep -q "lv2:minorVersion $minor ;" "$lv2/Brisquellum.lv2/dsp.ttl" &&
        grep -q "lv2:microVersion $patch ;" "$lv2/Brisquellum.lv2/dsp.ttl" &&
        echo "ok:   $label: the LV2 bundle declares version $version" || fail "$label: the LV2 bundle declares version $version"
    "${lv2_env[@]}" timeout 120 "$format_check" lv2 urn:brisquellum:plugin "$(realpath "$lv2")/Brisquellum.lv2" ||
        fail "$label: the framework's LV2 hosting runs the installed bundle"
    HOME=$home timeout 120 "$format_check" vst3 "$vst3/Brisquellum.vst3" "$version" ||
        fail "$label: the framework's VST3 hosting runs the installed bundle"

    expect_same "$label: brisquellum-jack --version" "brisquellum-jack $version" "$("$bin/brisquellum-jack" --version)"
    desktop-file-validate "$applications/brisquellum-jack.desktop" && echo "ok:   $label: the desktop entry is valid" ||
        fail "$label: desktop-file-validate $applications/brisquellum-jack.desktop"
    check_user_state "$label" "$bin" "$applications/brisquellum-jack.desktop"
}

# The desktop entry's command keeps the session in the user's own file: run it on a JACK server
# of the stage's own, quit it as closing the window does, and find the state saved.
check_user_state() {
    local label=$1 bin=$2 entry=$3 server=brisquell-package-$$ data=$scratch/data-$1
    local command
    command=$(sed -n 's/^Exec=//p' "$entry")
    [[ $command == *"brisquellum-jack --user-state" ]] || fail "$label: the desktop entry runs brisquellum-jack --user-state ($command)"

    jackd -S -n "$server" --no-realtime -t 5000 -d dummy -r 48000 -p 256 >"$scratch/jackd.log" 2>&1 &
    local jackd_pid=$! app_pid
    started_pids+=" $jackd_pid"
    timeout 20 jack_wait -s "$server" -w >/dev/null 2>&1 || fail "$label: a JACK server of the stage's own"
    XDG_DATA_HOME=$data "$bin/brisquellum-jack" --user-state --headless --server "$server" >"$scratch/app.log" 2>&1 &
    app_pid=$!
    started_pids+=" $app_pid"
    local i
    for i in $(seq 1 100); do
        grep -q '^ports ' "$scratch/app.log" && break
        sleep 0.1
    done
    kill -TERM "$app_pid"
    wait "$app_pid" || fail "$label: brisquellum-jack --user-state quits cleanly"
    kill -TERM "$jackd_pid"
    wait "$jackd_pid" 2>/dev/null || true
    grep -q '<' "$data/brisquellum/session.brisquell" 2>/dev/null &&
        echo "ok:   $label: --user-state made the folder and saved the session in it" ||
        { fail "$label: --user-state saves to \$XDG_DATA_HOME/brisquellum/session.brisquell"; cat "$scratch/app.log" >&2; }
}

# ---- The .deb on this machine --------------------------------------------------------------
check_deb() {
    if dpkg-query -W -f='${Status}' brisquellum 2>/dev/null | grep -q 'install ok'; then
        fail "brisquellum is installed already; the stage installs and purges its own (apt-get purge brisquellum)"
        return
    fi
    installing=1
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o DPkg::Lock::Timeout=600 "$deb" >"$scratch/apt.log" 2>&1 ||
        { fail "apt-get install $deb"; cat "$scratch/apt.log" >&2; return; }
    echo "ok:   apt-get installs the package"

    check_installation system /usr/lib/vst /usr/lib/lv2 /usr/lib/vst3 /usr/bin /usr/share/applications
    "$repo_root/tests/ardour/system-install-plugins.sh" >"$scratch/ardour.log" 2>&1 &&
        echo "ok:   Ardour finds and runs the VST 2.4 and LV2 plug-ins from the system folders" ||
        { fail "Ardour finds and runs the installed VST 2.4 and LV2 plug-ins"; cat "$scratch/ardour.log" >&2; }

    as_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q -o DPkg::Lock::Timeout=600 brisquellum >"$scratch/apt.log" 2>&1 ||
        { fail "apt-get purge brisquellum"; cat "$scratch/apt.log" >&2; }
    local left
    left=$(while read -r path; do [ ! -e "$path" ] || echo "$path"; done <"$here/expected-files.txt"
        for path in /usr/lib/lv2/Brisquellum.lv2 /usr/lib/vst3/Brisquellum.vst3 /usr/share/doc/brisquellum; do
            [ ! -e "$path" ] || echo "$path"
        done)
    expect_same "apt-get purge leaves none of the package's files" "" "$left"
}

# ---- The archive, into a prefix and into a home ---------------------------------------------
check_archive() {
    tar -C "$scratch" -xzf "$archive"
    local unpacked=$scratch/brisquellum-$version-linux-x86_64 prefix=$scratch/prefix home=$scratch/home
    "$unpacked/install.sh" --prefix "$prefix" >/dev/null
    expect_same "install.sh --prefix installs every file" \
        "$(sed "s|^/usr/|$prefix/|" "$here/expected-files.txt")" "$(find "$prefix" -type f | LC_ALL=C sort)"
    check_installation prefix "$prefix/lib/vst" "$prefix/lib/lv2" "$prefix/lib/vst3" "$prefix/bin" "$prefix/share/applications"
    "$unpacked/uninstall.sh" --prefix "$prefix" >/dev/null
    expect_same "uninstall.sh --prefix leaves no file and no bundle or document folder" "" \
        "$(find "$prefix" -type f -o -iname '*brisquellum*')"

    # A home with the app's own state from an earlier session, which uninstall.sh keeps.
    mkdir -p "$home/.local/share/brisquellum"
    echo keep >"$home/.local/share/brisquellum/session.brisquell"
    env -u XDG_DATA_HOME HOME="$home" "$unpacked/install.sh" >/dev/null
    check_installation home "$home/.vst" "$home/.lv2" "$home/.vst3" "$home/.local/bin" "$home/.local/share/applications"
    env -u XDG_DATA_HOME HOME="$home" "$unpacked/uninstall.sh" >/dev/null
    expect_same "uninstall.sh leaves none of the files in the home, and the app's own state" \
        "$home/.local/share/brisquellum/session.brisquell" "$(find "$home" -type f | LC_ALL=C sort)"
    expect_same "uninstall.sh leaves no bundle or document folder" "" "$(find "$home" -iname '*brisquellum*' -type d | grep -v '/share/brisquellum$' || true)"
}

trap cleanup EXIT
trap 'exit 130' INT TERM HUP
"$repo_root/scripts/package"
check_metadata
check_deb
check_archive

if [ "$failures" -gt 0 ]; then
    echo "check-package: $failures check(s) failed" >&2
    exit 1
fi
echo "check-package: every check passed"
