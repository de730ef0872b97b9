#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check-version.sh VERSION BRISQUELLUM_JACK CHANGELOG.md MANUAL_PAGE: the project's version is
# what the JACK app prints, what the manual page's header names and CHANGELOG.md's newest entry.
set -uo pipefail
version=$1 app=$2 changelog=$3 manual=$4
status=0

expect() {
    if [ "$2" = "$3" ]; then
        echo "ok:   $1: $3"
    else
        echo "FAIL: $1: \"$3\", expected \"$2\""
        status=1
    fi
}

expect "brisquellum-jack --version" "brisquellum-jack $version" "$("$app" --version 2>&1)"
expect "CHANGELOG.md's newest entry" "## $version" "$(grep -m1 -o '^## [^ ]*' "$changelog")"
expect "the manual page's header" "\"brisquellum $version\"" "$(sed -n 's/^\.TH [^"]*"[^"]*" \("[^"]*"\).*/\1/p' "$manual")"
exit "$status"
