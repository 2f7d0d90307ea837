#!/bin/sh
# Runs the suite's main job in a scratch folder: usage: demo.sh BIN_DIR SAMPLES_DIR WORK_DIR
# Every program runs in a session of its own without a terminal (setsid, input
# from /dev/null), so glimtest's key waits return at once.
set -e
bin=$1
work=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work"

echo "== glimtest (in $work)"
setsid -w "$bin/glimtest" </dev/null
echo
echo "== glimtest wrote: $(ls)"
