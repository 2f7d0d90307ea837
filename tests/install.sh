#!/bin/sh
# Installs the build into a DESTDIR and checks what arrived: every program,
# man page and sample. Then runs the installed glimtest, and the installed
# glimcut on the installed training picture, against the recorded run.
#
# Usage: tests/install.sh CMAKE BUILD_DIR RECORDED_DIR PROGRAM...
set -eu
cmake=$1
build=$2
recorded=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*"
    exit 1
}

DESTDIR="$work/dest" "$cmake" --install "$build" --prefix /opt/glim >"$work/install.log" ||
    { cat "$work/install.log"; fail "cmake --install"; }
root=$work/dest/opt/glim
for program in "$@"; do
    [ -x "$root/bin/$program" ] || fail "bin/$program not installed"
    [ -s "$root/share/man/man1/$program.1.gz" ] || fail "man page of $program not installed"
done
for file in share/man/man5/glim.5.gz share/doc/glim/README.md share/doc/glim/docs/test-1-scene.png \
    share/doc/glim/samples/train.ppm share/doc/glim/samples/test-1.ppm \
    share/doc/glim/samples/test-2.ppm share/doc/glim/samples/shapes.ppm \
    share/doc/glim/samples/train-labels.txt; do
    [ -s "$root/$file" ] || fail "$file not installed"
done
# Nothing lands outside the prefix.
[ "$(ls "$work/dest")" = opt ] && [ "$(ls "$work/dest/opt")" = glim ] || fail "files outside the prefix"

# The installed programs run from there, without a terminal.
mkdir "$work/run"
cd "$work/run"
setsid -w "$root/bin/glimtest" </dev/null >glimtest.out || fail "installed glimtest exits $?"
[ -s glimtest.net ] || fail "installed glimtest wrote no glimtest.net"
grep -q '^testing pattern 2' glimtest.out || fail "installed glimtest printed no second test"
setsid -w "$root/bin/glimcut" "$root/share/doc/glim/samples/train.ppm" 'se-%d.act' </dev/null \
    >glimcut.out || fail "installed glimcut exits $?"
cmp -s glimcut.out "$recorded/glimcut-train.out" ||
    fail "installed glimcut printed other bytes than the recorded run"
for i in 0 1 2 3 4 5; do
    cmp -s "se-$i.act" "$recorded/se-$i.act" || fail "installed glimcut wrote another se-$i.act"
done
echo "installed and ran: $*"
