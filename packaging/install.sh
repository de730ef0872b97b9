#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs Brisquellum from this archive for one user, where hosts look for plug-ins in a home
# folder: the VST 2.4 plug-in into ~/.vst, the LV2 bundle into ~/.lv2, the VST3 bundle into
# ~/.vst3, and the JACK app with its menu entry, icon, manual page and documents into ~/.local.
# With --prefix DIR, everything goes under DIR instead (DIR/lib/vst, DIR/lib/lv2, DIR/lib/vst3,
# DIR/bin, DIR/share), as the Debian package lays it out under /usr. uninstall.sh, with the
# same options, takes it all out again.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/layout.sh"
parse_layout_options install.sh "$@"

for file in $payload_files; do
    target=$(target_of "$file")
    mkdir -p "$(dirname "$target")"
    if [ "$file" = "$desktop_entry" ]; then
        # The menu runs the app where it was installed, whether or not that folder is on PATH.
        sed "s|^Exec=brisquellum-jack|Exec=$bin_dir/brisquellum-jack|" "$here/$file" >"$target.new"
    else
        cp "$here/$file" "$target.new"
    fi
    chmod "$(mode_of "$file")" "$target.new"
    mv -f "$target.new" "$target"
    echo "installed $target"
done

case ":$PATH:" in
*":$bin_dir:"*) ;;
*) echo "note: $bin_dir is not on your PATH; the menu entry runs $bin_dir/brisquellum-jack" ;;
esac
