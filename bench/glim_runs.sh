#!/usr/bin/env bash
# Whole-run benchmarks of glim: the processor time (user plus system) of
#  - glim teach of 20 examples (20 photos, the largest object of each), against
#    the target of 1 s;
#  - glim ask over COUNT photos of 640 x 480 in one process, against a shell
#    loop that brings each photo in with glimprep and asks glimview report
#    about it, as a user did before glim; the target is at most 1/5 of the loop.
# Both sides answer from the same five shapes of train.ppm.
#
# Usage: bench/glim_runs.sh BIN_DIR CPUTIME DRAW_PHOTOS [COUNT]
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
bin=$(cd "${1:?usage: bench/glim_runs.sh BIN_DIR CPUTIME DRAW_PHOTOS [COUNT]}" && pwd)
cputime=$(realpath "${2:?usage: bench/glim_runs.sh BIN_DIR CPUTIME DRAW_PHOTOS [COUNT]}")
draw=$(realpath "${3:?usage: bench/glim_runs.sh BIN_DIR CPUTIME DRAW_PHOTOS [COUNT]}")
count=${4:-1000}
top=$source_dir/build/glim-runs
rm -rf "$top"
mkdir -p "$top/photos" "$top/glim" "$top/loop" "$top/teach"
"$draw" "$top/photos" "$count" 20261209 samples/train.ppm samples/test-1.ppm samples/test-2.ppm

run() { setsid -w "$@" </dev/null >/dev/null; }
names=(square disc triangle ring cross)
(
    cd "$top/glim"
    cp "$source_dir/samples/train.ppm" .
    for j in 0 1 2 3 4; do run "$bin/glim" teach --object $j "${names[$j]}" train.ppm; done
)
(
    cd "$top/loop"
    cp "$source_dir/samples/train.ppm" .
    printf '%s\n' "${names[@]}" >labels.txt
    run "$bin/glimcut" train.ppm
    run "$bin/glimlearn" 5 50
)

seconds() { tail -1 "$1"; }
photos=$(for ((k = 0; k < count; k++)); do echo "$top/photos/photo-$k.jpg"; done)

# 20 examples in one teach.
(cd "$top/teach" && "$cputime" "$top/teach.cpu" "$bin/glim" teach thing $(echo "$photos" | head -20) >/dev/null)
# The loop: one glimprep and one glimview report per photo.
(
    cd "$top/loop"
    "$cputime" "$top/loop.cpu" sh -c 'for f in "$@"; do
        "$0/glimprep" "$f" photo.ppm >/dev/null || exit 1
        "$0/glimview" report photo.ppm --learned train.ppm --labels labels.txt -o report.png \
            >>answers.txt 2>/dev/null || exit 1
    done' "$bin" $photos
)
(cd "$top/glim" && "$cputime" "$top/ask.cpu" "$bin/glim" ask $photos >answers.txt)

loop_lines=$(wc -l <"$top/loop/answers.txt")
ask_lines=$(wc -l <"$top/glim/answers.txt")
machine=$(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -1)
echo "== glim whole runs on ${machine:-an unnamed processor}, CPU time"
awk -v t="$(seconds "$top/teach.cpu")" -v l="$(seconds "$top/loop.cpu")" \
    -v a="$(seconds "$top/ask.cpu")" -v n="$count" -v ll="$loop_lines" -v al="$ask_lines" 'BEGIN {
    printf "%-44s %10.3f s  (target < 1 s)\n", "glim teach, 20 examples", t
    printf "%-44s %10.3f s  %d object lines\n", "glimprep + glimview report loop, " n " photos", l, ll
    printf "%-44s %10.3f s  %d object lines, ratio %.3f (target <= 0.200)\n",
           "glim ask, " n " photos in one process", a, al, a / l
    exit !(t < 1 && a / l <= 0.2 && ll == al)
}'
