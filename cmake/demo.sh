#!/bin/sh
# The suite's main job, in a scratch folder: cuts the training picture into
# pattern files, teaches them to the network, and recognises the objects of a
# test picture. Usage: demo.sh BIN_DIR SAMPLES_DIR WORK_DIR
#
# Every program runs in a session of its own without a terminal (setsid, input
# from /dev/null), so nothing can wait for a key.
set -e
bin=$1
samples=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work"
cp "$samples/train.ppm" "$samples/test-1.ppm" "$samples/test-2.ppm" .

run() {
    echo
    echo "===== $*"
    setsid -w "$bin/$@" </dev/null
}

echo "Working in $work"
run glimcut train.ppm
run glimlearn 6 50
run glimsee test-1.ppm
echo
echo "===== Files in $work:"
ls
