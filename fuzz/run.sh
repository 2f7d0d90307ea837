#!/usr/bin/env bash
# Builds the fuzz targets with clang (preset fuzz, build/fuzz) and runs each
# for SECONDS (default 60). Seeds: the sample pictures, the files the programs
# write on them, and a few small hand-made inputs. The corpus grows in
# build/fuzz/corpus; a crash, hang or sanitizer report is kept in
# build/fuzz/artifacts and fails the run.
#
# Usage: fuzz/run.sh [SECONDS] [TARGET...]   (targets: picture netfile netreaders actfile names prep jpeg)
#
# The jpeg target (glimprep's JPEG decoder on pictures of up to 2^22 pixels,
# where cut and hostile files of a real size live) runs for half of SECONDS.
#
# The mutations follow FUZZ_SEED (default 1), so that a run, in CI too, takes
# the same path each time; FUZZ_SEED=0 lets libFuzzer pick a new seed.
# FUZZ_RUNS=N ends each target after N executions instead (SECONDS is then
# ignored): the long recorded runs, e.g. FUZZ_RUNS=1000000 fuzz/run.sh 0 netfile.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(picture netfile netreaders actfile names prep jpeg)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

build=$PWD/build/fuzz
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds"/{picture,netfile,netreaders,actfile,names,prep,jpeg} "$build/artifacts"

# Files the programs write, from the samples.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp samples/*.ppm "$work"
(
    cd "$work"
    for step in "glimtest" "glimcut train.ppm" "glimlearn 6 50" "glimsee test-1.ppm"; do
        # shellcheck disable=SC2086
        setsid -w "$build"/$step </dev/null >/dev/null
    done
)
cp samples/*.ppm "$seeds/picture/"
cp "$work"/glimnet.net "$work"/glimtest.net "$seeds/netfile/"
cp "$work"/se-0.act "$work"/ca-0.act "$seeds/actfile/"
# A network file cut after its first blocks, and one with CR LF line ends.
head -c 40000 "$work/glimnet.net" >"$seeds/netfile/cut.net"
sed 's/$/\r/' "$seeds/netfile/cut.net" >"$seeds/netfile/crlf.net"
cp "$seeds"/netfile/* "$seeds/netreaders/"
sed 's/$/\r/' "$work/se-0.act" >"$seeds/actfile/crlf.act"

# Small pictures: other sizes, comments, CR LF, a refused magic, a short raster.
{ printf 'P6\n# small\n4 3\n255\n'; head -c 36 /dev/zero | tr '\0' '\377'; } >"$seeds/picture/small.ppm"
{ printf 'P6\r\n# crlf\r\n3 3\r\n15\n'; head -c 27 samples/train.ppm; } >"$seeds/picture/crlf.ppm"
printf 'P3\n2 2\n255\n0 0 0 1 1 1 2 2 2 3 3 3\n' >"$seeds/picture/ascii.ppm"
head -c 5000 samples/test-1.ppm >"$seeds/picture/short.ppm"

# Pictures for glimprep: PNGs and JPEGs of many kinds, the sample pictures,
# and PNM of every magic.
"$build/fuzz/prep_seeds" "$seeds/prep"
cp samples/*.ppm "$seeds/prep/"
printf 'P1\n# bits\n3 2\n101\n010\n' >"$seeds/prep/plain.pbm"
printf 'P2\n2 2\n65535\n0 65535\n32768 1\n' >"$seeds/prep/plain.pgm"
printf 'P3 1 1 7 7 0 3' >"$seeds/prep/plain.ppm"
{ printf 'P4\n9 2\n'; printf '\377\200\000\177'; } >"$seeds/prep/bits.pbm"
{ printf 'P5\n2 1\n300\n'; printf '\001\054\000\200'; } >"$seeds/prep/wide.pgm"

# JPEGs for the jpeg target: the seed JPEGs, and each of them cut in the
# middle and closed with an end marker.
for jpeg in "$seeds"/prep/*.jpg; do
    name=$(basename "$jpeg" .jpg)
    cp "$jpeg" "$seeds/jpeg/"
    { head -c $(($(stat -c %s "$jpeg") / 2)) "$jpeg"; printf '\377\331'; } >"$seeds/jpeg/$name-cut.jpg"
done

# Names: a rule byte, four bytes of a number, then the mask.
printf '\001\003\000\000\000se-%%d.act' >"$seeds/names/plain"
printf '\000\377\377\377\177pat%%05d.txt' >"$seeds/names/wide"
printf '\001\000\000\000\200dir/%%-+ 0250.3i-%%%%' >"$seeds/names/flags"
printf '\001\007\000\000\000%%s%%n%%*d%%ld' >"$seeds/names/refused"
printf '\000\011\000\000\000-0x7fffffff9' >"$seeds/names/number"

status=0
summary=()
for t in "${targets[@]}"; do
    mkdir -p "$build/corpus/$t"
    log=$build/fuzz_$t.log
    share=$seconds
    [ "$t" != jpeg ] || share=$(((seconds + 1) / 2))
    if [ -n "${FUZZ_RUNS:-}" ]; then
        limit=(-runs="$FUZZ_RUNS")
        echo "== fuzz_$t for $FUZZ_RUNS executions"
    else
        limit=(-max_total_time="$share")
        echo "== fuzz_$t for ${share}s"
    fi
    # One process per target: -reload=0 spares it rereading and hashing its
    # whole corpus folder every second, which only parallel jobs need.
    start=$SECONDS
    set +e
    "$build/fuzz/fuzz_$t" "$build/corpus/$t" "$seeds/$t" -dict=fuzz/glim.dict \
        -seed="${FUZZ_SEED:-1}" "${limit[@]}" -reload=0 -timeout=20 -close_fd_mask=3 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$t-" >"$log" 2>&1
    rc=$?
    set -e
    took=$((SECONDS - start))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if [ $rc -ne 0 ]; then
        status=1
        tail -60 "$log"
        summary+=("fuzz_$t: FAILED (exit $rc) after ${runs:-?} executions; see $log")
    else
        summary+=("fuzz_$t: ${runs:-?} executions in ${took}s, no findings")
    fi
done
echo "== fuzz summary"
printf '%s\n' "${summary[@]}"
exit $status
