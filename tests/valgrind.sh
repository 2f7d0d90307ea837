#!/usr/bin/env bash
# Runs every program of the suite under valgrind's memcheck over the sample
# pictures: cut the training picture, teach its patterns, recognise both test
# pictures, the self-test, glimview report, and glimprep on a PNG and a PPM.
# Any memory error, or a leak of memory nothing points to any more, fails the
# run. The weight blocks stay reachable until the process ends, as the design
# keeps them, and are not counted.
#
# Usage: tests/valgrind.sh BIN_DIR SAMPLES_DIR   (exit 77 when valgrind is missing)
set -euo pipefail
bin=$(cd "$1" && pwd)
samples=$(cd "$2" && pwd)
command -v valgrind >/dev/null || {
    echo "valgrind is not installed"
    exit 77
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$samples"/*.ppm "$work"
cd "$work"

status=0
check() {
    local log=vg-$1.log
    if setsid -w valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
        --errors-for-leak-kinds=definite,indirect --track-origins=yes --log-file="$log" \
        "$bin/$@" </dev/null >/dev/null; then
        echo "clean: $*"
    else
        echo "FAILED: $*"
        cat "$log"
        status=1
    fi
}
check glimcut train.ppm
check glimlearn 6 50
check glimsee test-1.ppm
check glimsee test-2.ppm
check glimtest
check glimview report test-1.ppm --learned train.ppm
check glimview scene test-2.ppm
check glimprep test-2-scene.png scene.ppm
check glimprep --fill --crop 10,10,60,40 train.ppm part.ppm
exit $status
