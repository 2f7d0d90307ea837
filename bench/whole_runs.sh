#!/usr/bin/env bash
# Whole-run benchmarks: the processor time (user plus system) of the programs
# run as a user runs them, each against the same run of a baseline build of
# commit 72fcddd, the suite before its whole-run speed work, which this script
# builds from the repository's history into build/whole-runs/baseline. Each
# case runs ROUNDS times in turn with the baseline, in fresh folders; the
# medians give the ratio. The first round of every case also compares what the
# two builds print on standard output and write: every byte must be the same.
#
# Usage: bench/whole_runs.sh BIN_DIR CPUTIME [ROUNDS]
#   BIN_DIR  the build whose programs are measured (build/default)
#   CPUTIME  the glim_cputime helper built beside the benchmarks
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
bin=$(cd "${1:?usage: bench/whole_runs.sh BIN_DIR CPUTIME [ROUNDS]}" && pwd)
cputime=$(realpath "${2:?usage: bench/whole_runs.sh BIN_DIR CPUTIME [ROUNDS]}")
rounds=${3:-9}
baseline_commit=72fcddd
top=$source_dir/build/whole-runs
base=$top/baseline

if ! git -C "$source_dir" cat-file -e "$baseline_commit^{commit}" 2>/dev/null; then
    echo "whole-run benchmarks skipped: commit $baseline_commit is not in this clone's history"
    exit 0
fi
if [ ! -x "$base/build/glimsee" ]; then
    echo "== building the baseline $baseline_commit"
    rm -rf "$base"
    mkdir -p "$base/src"
    git -C "$source_dir" archive "$baseline_commit" | tar -x -C "$base/src"
    cmake -S "$base/src" -B "$base/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DBUILD_TESTING=OFF -DGLIM_VIEW=OFF -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >/dev/null
    cmake --build "$base/build" -j 2 --target glimtest glimcut glimlearn glimsee >/dev/null
fi

# Inputs: the samples, a trained network, 100 random pictures and 200 pattern
# files cut from random pictures.
inputs=$top/inputs
rm -rf "$inputs"
mkdir -p "$inputs/pictures" "$inputs/patterns"
c++ -O2 -o "$top/draw_random" tests/draw_random.cpp
"$top/draw_random" "$inputs/pictures" 160 20241208
cp samples/*.ppm "$inputs"
(
    cd "$inputs"
    setsid -w "$bin/glimcut" train.ppm </dev/null >/dev/null
    setsid -w "$bin/glimlearn" 6 50 </dev/null >/dev/null
    cd patterns
    n=0
    for ((k = 0; k < 160 && n < 200; k++)); do
        setsid -w "$bin/glimcut" "../pictures/rand-$k.ppm" "r-%d.act" </dev/null >/dev/null
        for ((j = 0; n < 200; j++)); do
            [ -e "r-$j.act" ] || break
            mv "r-$j.act" "se-$n.act"
            n=$((n + 1))
        done
        rm -f r-*.act
    done
    [ "$n" -eq 200 ] || { echo "only $n pattern files from the random pictures" >&2; exit 1; }
)

# Each case, its fields separated by '@': a name, a function that fills the
# folder it runs in, the command, and the suite's own command where it differs.
# Commands run through sh, so that a case may be several runs.
setup_cut() { cp "$inputs/train.ppm" .; }
setup_see() { cp "$inputs/test-1.ppm" "$inputs/glimnet.net" .; }
setup_see_many() {
    cp "$inputs/glimnet.net" .
    for ((k = 0; k < 100; k++)); do cp "$inputs/pictures/rand-$k.ppm" .; done
}
setup_learn() { cp "$inputs"/patterns/se-*.act .; }
setup_test() { :; }
# The baseline takes one process per picture; the suite now takes the 100 in
# one run (--each), which writes the same files and prints the network lines
# once, so the outputs of that case are compared without those lines.
see_many_base='for k in $(seq 0 99); do "$1/glimsee" rand-$k.ppm glimnet.net "rand-$k-ca-%d.act" || exit 1; done'
see_many_now='"$1/glimsee" --each glimnet.net $(for k in $(seq 0 99); do echo rand-$k.ppm; done)'
cases=(
    "glimcut, one picture@setup_cut@\"\$1/glimcut\" train.ppm"
    "glimsee, one picture@setup_see@\"\$1/glimsee\" test-1.ppm"
    "glimsee, 100 pictures@setup_see_many@$see_many_base@$see_many_now"
    "glimlearn 200 x 20@setup_learn@\"\$1/glimlearn\" 200 20"
    "glimtest@setup_test@\"\$1/glimtest\""
)

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

machine=$(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -1)
echo "== whole runs on ${machine:-an unnamed processor}, $rounds rounds, medians of CPU time"
printf '%-24s %12s %12s %8s  %s\n' run "baseline ms" "now ms" ratio outputs
status=0
for case_line in "${cases[@]}"; do
    IFS='@' read -r name setup command command_now <<<"$case_line"
    slug=$(echo "$name" | tr -c 'a-z0-9\n' '-')
    rm -f "$top/$slug".{base,now}
    verdict=same
    for ((round = 0; round < rounds; round++)); do
        for side in base now; do
            dir=$top/run-$slug-$side
            rm -rf "$dir"
            mkdir -p "$dir"
            programs=$bin
            run=${command_now:-$command}
            [ "$side" = base ] && programs=$base/build && run=$command
            (
                cd "$dir"
                $setup
                run_status=0
                "$cputime" "$top/$slug.$side" sh -c "$run" sh "$programs" \
                    >"$top/out-$side" 2>"$top/err-$side" || run_status=$?
                echo "$run_status" >"$top/status-$side"
            )
        done
        if [ "$round" -eq 0 ]; then
            if [ -n "$command_now" ]; then
                for side in base now; do
                    grep -v -e '^Initializing network' -e '^Loading network' "$top/out-$side" \
                        >"$top/out-$side.body" || true
                    mv "$top/out-$side.body" "$top/out-$side"
                done
            fi
            for stream in out status; do
                cmp -s "$top/$stream-base" "$top/$stream-now" || verdict="DIFFER ($stream)"
            done
            diff -r "$top/run-$slug-base" "$top/run-$slug-now" >/dev/null || verdict="DIFFER (files)"
            [ "$verdict" = same ] || status=1
            # Messages on standard error that later work added (warnings) are
            # shown, not counted as a difference of the results.
            cmp -s "$top/err-base" "$top/err-now" || verdict="$verdict, new stderr"
        fi
    done
    base_s=$(median "$top/$slug.base")
    now_s=$(median "$top/$slug.now")
    awk -v n="$name" -v b="$base_s" -v c="$now_s" -v v="$verdict" \
        'BEGIN { printf "%-24s %12.2f %12.2f %8.3f  %s\n", n, b * 1000, c * 1000, c / b, v }'
done
exit $status
