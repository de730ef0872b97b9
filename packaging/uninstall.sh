#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Removes what install.sh installed, given the same options (none, or --prefix DIR): every file
# of this archive's payload from where install.sh put it, and the bundles' and documents'
# folders. The JACK app's own state (~/.local/share/brisquellum) is kept.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/layout.sh"
parse_layout_options uninstall.sh "$@"

for file in $payload_files; do
    target=$(target_of "$file")
    if [ -e "$target" ] || [ -L "$target" ]; then
        rm -f "$target"
        echo "removed $target"
    fi
done

# The bundles' and the documents' folders go too; the folders hosts and desktops look in stay.
for dir in "$lv2_dir/Brisquellum.lv2" "$vst3_dir/Brisquellum.vst3" "$share_dir/doc/brisquellum"; do
    if [ -d "$dir" ]; then
        find "$dir" -depth -type d -empty -delete
    fi
done
