# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by install.sh and uninstall.sh: where each file of the archive's payload goes. The
# payload is laid out as under a prefix (bin/, lib/vst/, lib/lv2/, lib/vst3/, share/).

desktop_entry=share/applications/brisquellum-jack.desktop

parse_layout_options() {
    script=$1
    shift
    prefix=
    while [ $# -gt 0 ]; do
        case $1 in
        --prefix)
            [ $# -ge 2 ] && [ -n "$2" ] || { echo "$script: --prefix needs a folder" >&2; exit 1; }
            prefix=$2
            shift 2
            ;;
        --prefix=*)
            prefix=${1#--prefix=}
            [ -n "$prefix" ] || { echo "$script: --prefix needs a folder" >&2; exit 1; }
            shift
            ;;
        -h | --help)
            echo "usage: $script [--prefix DIR]"
            echo "  without --prefix: ~/.vst, ~/.lv2, ~/.vst3 and ~/.local"
            exit 0
            ;;
        *)
            echo "$script: unknown option \"$1\" (usage: $script [--prefix DIR])" >&2
            exit 1
            ;;
        esac
    done

    if [ -n "$prefix" ]; then
        mkdir -p "$prefix"
        base_dir=$(cd "$prefix" && pwd)
        vst_dir=$base_dir/lib/vst
        lv2_dir=$base_dir/lib/lv2
        vst3_dir=$base_dir/lib/vst3
        bin_dir=$base_dir/bin
        share_dir=$base_dir/share
    else
        [ -n "${HOME:-}" ] || { echo "$script: HOME is not set; give --prefix DIR" >&2; exit 1; }
        base_dir=$HOME
        vst_dir=$HOME/.vst
        lv2_dir=$HOME/.lv2
        vst3_dir=$HOME/.vst3
        bin_dir=$HOME/.local/bin
        share_dir=${XDG_DATA_HOME:-$HOME/.local/share}
    fi

    # Every regular file of the payload, as a path relative to the archive's folder (no names
    # with spaces: the payload has none).
    payload_files=$(cd "$here" && find bin lib share -type f | LC_ALL=C sort)
}

# target_of <payload path>: where install.sh puts it.
target_of() {
    case $1 in
    bin/*) echo "$bin_dir/${1#bin/}" ;;
    lib/vst/*) echo "$vst_dir/${1#lib/vst/}" ;;
    lib/lv2/*) echo "$lv2_dir/${1#lib/lv2/}" ;;
    lib/vst3/*) echo "$vst3_dir/${1#lib/vst3/}" ;;
    share/*) echo "$share_dir/${1#share/}" ;;
    *) echo "layout.sh: no place for $1" >&2; exit 1 ;;
    esac
}

# mode_of <payload path>: the app runs, everything else is read.
mode_of() {
    case $1 in
    bin/*) echo 755 ;;
    *) echo 644 ;;
    esac
}
