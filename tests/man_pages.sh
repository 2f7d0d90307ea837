#!/bin/sh
# Renders each man page with every groff warning on, and through man as a
# reader would, and fails on any warning or on a line wider than the 80
# columns it is rendered for.
#
# Usage: tests/man_pages.sh PAGE...   (exit 77 when groff or man is missing)
set -u
if ! command -v groff >/dev/null || ! command -v man >/dev/null; then
    echo "groff or man is not installed"
    exit 77
fi
export LC_ALL=C.UTF-8 MANWIDTH=80 MANPAGER=cat PAGER=cat
warnings=$(mktemp)
trap 'rm -f "$warnings"' EXIT
status=0
for page in "$@"; do
    groff -man -ww -z -Tutf8 "$page" 2>"$warnings"
    text=$(man --warnings -l "$page" 2>>"$warnings")
    if [ -s "$warnings" ]; then
        echo "FAILED: $page renders with warnings:"
        cat "$warnings"
        status=1
    fi
    width=$(printf '%s\n' "$text" | wc -L)
    if [ "$width" -gt 80 ]; then
        echo "FAILED: $page has a line of $width columns"
        status=1
    fi
    [ -n "$text" ] || { echo "FAILED: $page renders empty"; status=1; }
done
exit $status
