#!/usr/bin/env bash
# Builds the suite in several ways and checks that every build prints the same
# console output and writes the same files, byte for byte, on the samples, on
# random pictures and through a learn-then-recognise flow, with both learning
# rules.
#
# glimprep, built where libpng and libjpeg are (every build but the cross
# builds), runs on PNG and JPEG photos of several sizes and orientations.
#
# Builds: GCC -O0, GCC -O2 (the default preset), GCC -O3, GCC -O3 for this
# processor (-march=native), Clang -O2, the sanitize preset (GCC, ASan and
# UBSan), and, when the cross compilers and qemu are installed, GCC -O2 for
# AArch64 and for s390x (big-endian) run under qemu. All of them with -ffp-contract=off, which the
# CMakeLists sets for every compiler.
#
# Usage: tests/reproducible.sh [PICTURES]   (PICTURES random pictures, default 12)
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
pictures=${1:-12}
top=$source_dir/build/repro
programs=(glimtest glimcut glimlearn glimsee)
rm -rf "$top/runs"
mkdir -p "$top/runs"

# Configures and builds the programs in build/repro/NAME with the given cache
# settings; with "view" first, glimprep too.
build() {
    local name=$1 view=OFF targets=("${programs[@]}")
    shift
    if [ "$1" = view ]; then
        view=ON
        targets+=(glimprep)
        shift
    fi
    cmake -S . -B "$top/$name" -G Ninja -DBUILD_TESTING=OFF -DGLIM_VIEW=$view \
        -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON -DGLIM_WERROR=ON "$@" >/dev/null
    cmake --build "$top/$name" -j 2 --target "${targets[@]}" >/dev/null
}

names=()
bins=()
runners=()
add() { names+=("$1"); bins+=("$2"); runners+=("${3:-}"); }

echo "== building"
build gcc-O0 view -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS=-O0
add gcc-O0 "$top/gcc-O0"
cmake --preset default >/dev/null
cmake --build --preset default --target "${programs[@]}" glimprep >/dev/null
add gcc-O2 "$source_dir/build/default"
build gcc-O3 view -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS=-O3
add gcc-O3 "$top/gcc-O3"
build gcc-O3-native view -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=None \
    "-DCMAKE_CXX_FLAGS=-O3 -march=native"
add gcc-O3-native "$top/gcc-O3-native"
build clang-O2 view -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS=-O2
add clang-O2 "$top/clang-O2"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize --target "${programs[@]}" glimprep >/dev/null
add sanitize "$source_dir/build/sanitize"
if command -v aarch64-linux-gnu-g++ >/dev/null && command -v qemu-aarch64 >/dev/null; then
    build aarch64-O2 -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR=aarch64 \
        -DCMAKE_CXX_COMPILER=aarch64-linux-gnu-g++ -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS=-O2
    add aarch64-O2 "$top/aarch64-O2" "qemu-aarch64 -L /usr/aarch64-linux-gnu"
else
    echo "(no AArch64 cross compiler or qemu-aarch64: AArch64 left out)"
fi
# A big-endian processor: the network file's reader and writer must not
# depend on the byte order.
if command -v s390x-linux-gnu-g++ >/dev/null && command -v qemu-s390x >/dev/null; then
    build s390x-O2 -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR=s390x \
        -DCMAKE_CXX_COMPILER=s390x-linux-gnu-g++ -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS=-O2
    add s390x-O2 "$top/s390x-O2" "qemu-s390x -L /usr/s390x-linux-gnu"
else
    echo "(no s390x cross compiler or qemu-s390x: s390x left out)"
fi

# The inputs, the same for every build.
inputs=$top/inputs
rm -rf "$inputs"
mkdir -p "$inputs"
cp samples/*.ppm "$inputs"
c++ -O2 -o "$top/draw_random" tests/draw_random.cpp
"$top/draw_random" "$inputs" "$pictures" 20240607
# Photos for glimprep: small PNGs and JPEGs of every kind, and JPEGs enlarged
# from one of them to sizes that glimprep decodes at 1/2, 1/4 and 1/8, one of
# them turned by its EXIF orientation.
mkdir -p "$inputs/photos"
c++ -O2 -o "$top/prep_seeds" fuzz/prep_seeds.cpp -lpng -ljpeg
c++ -O2 -o "$top/make_photo" bench/make_photo.cpp -ljpeg
"$top/prep_seeds" "$inputs/photos"
"$top/make_photo" "$inputs/photos/colour.jpg" "$inputs/photos/big.jpg" 1600 1200
"$top/make_photo" "$inputs/photos/colour.jpg" "$inputs/photos/mid.jpg" 700 500 6
"$top/make_photo" "$inputs/photos/colour.jpg" "$inputs/photos/wide.jpg" 4000 1000 3 progressive

# The flow, in a fresh folder: each step's standard output, standard error and
# exit status go to files of their own, which are compared with the rest.
flow() {
    local bin=$1 runner=$2 work=$3
    mkdir -p "$work"
    cp "$inputs"/*.ppm "$work"
    cd "$work"
    step=0
    run() {
        step=$((step + 1))
        local status=0
        # shellcheck disable=SC2086
        setsid -w $runner "$bin/$1" "${@:2}" </dev/null >"step-$step.out" 2>"step-$step.err" ||
            status=$?
        echo "$*: exit $status" >>steps.txt
    }
    run glimtest
    run glimcut train.ppm
    run glimlearn 6 50
    run glimsee test-1.ppm glimnet.net t1-%d.act
    run glimsee test-2.ppm glimnet.net t2-%d.act
    # Learning that overflows: every weight near the largest double and every
    # threshold infinite, so that sums, corrections and thresholds turn into
    # infinities and NaNs, which the network file then holds.
    mkdir diverge
    awk '/thresholds/ { t = 1 }
         /^  [-0-9]/ { gsub(/-?[0-9][0-9.]*(E[-+][0-9]+)?, /, t ? "INF, " : "1.7E+308, ") }
         { print }' glimnet.net >diverge/glimnet.net
    cp se-*.act diverge/
    cd diverge
    run glimlearn 6 3
    run glimsee ../test-1.ppm
    # The margin rule on the same values: its sums and steps meet them too.
    run glimlearn --rule margin 6 2
    cd ..
    # The margin rule to its early stop on the drawn shapes, then recall with
    # that network, and a run cut short on the training picture's patterns.
    mkdir margin
    cd margin
    run glimcut ../shapes.ppm
    run glimlearn --rule margin 6 50
    run glimsee ../test-1.ppm
    cp ../se-*.act .
    run glimlearn --rule margin 6 3
    cd ..
    for ((k = 0; k < pictures; k++)); do
        run glimcut "rand-$k.ppm" "r$k-%d.act"
        count=$(find . -maxdepth 1 -name "r$k-*.act" | wc -l)
        # Every run builds on the network the runs before it left.
        run glimlearn "$count" 10 "r$k-%d.act"
        run glimsee "rand-$k.ppm" glimnet.net "s$k-%d.act"
    done
    # Several pictures in one run.
    run glimcut --each test-1.ppm test-2.ppm
    run glimsee --each glimnet.net test-1.ppm test-2.ppm
    # glimprep, in a folder of its own, where it is built.
    if [ -x "$bin/glimprep" ]; then
        mkdir prep
        cd prep
        for photo in "$inputs"/photos/*; do
            name=$(basename "$photo")
            for mode in --fit --fill --stretch; do
                run glimprep "$mode" --background 204060 "$photo" "$name$mode.ppm"
            done
        done
        run glimprep --crop 100,50,400,300 "$inputs/photos/big.jpg" crop.ppm
        cd ..
    fi
    cd "$source_dir"
}

# The NaN that an invalid operation gives has its sign set on x86-64 and clear
# on AArch64 and s390x, and the network file writes NaN as printf does, sign included:
# a network that learning drove into NaN reads -NAN on one and NAN on the
# other. That sign is the only difference a build for another processor may
# show, and only in network files, where the longer "-NAN, " also moves the
# line breaks: such files are compared value by value.
without_nan_sign() {
    rm -rf "$2"
    cp -r "$1" "$2"
    find "$2" -name '*.net' | while read -r net; do
        sed 's/-NAN/NAN/g' "$net" | tr -d ' \n' >"$net.values"
        mv "$net.values" "$net"
    done
}

status=0
for i in "${!names[@]}"; do
    start=$(date +%s)
    run_dir=$top/runs/${names[$i]}
    flow "${bins[$i]}" "${runners[$i]}" "$run_dir"
    files=$(find "$run_dir" -type f | wc -l)
    echo "== ${names[$i]}: $files files in $(($(date +%s) - start)) s"
    [ "$i" -gt 0 ] || continue
    # A build without glimprep is compared on the rest.
    exclude=()
    if [ ! -d "$run_dir/prep" ]; then
        exclude=(-x prep)
        echo "   (no glimprep in this build: its files left out)"
    fi
    if diff -r "${exclude[@]}" "$top/runs/${names[0]}" "$run_dir" >"$run_dir.diff"; then
        continue
    fi
    if [ -n "${runners[$i]}" ]; then
        without_nan_sign "$top/runs/${names[0]}" "$top/nan-0"
        without_nan_sign "$run_dir" "$top/nan-$i"
        if diff -r "${exclude[@]}" "$top/nan-0" "$top/nan-$i" >/dev/null; then
            echo "   same bytes, but for the sign of NaN in network files"
            continue
        fi
    fi
    echo "   DIFFERS from ${names[0]}: see $run_dir.diff"
    head -20 "$run_dir.diff"
    status=1
done
if [ $status -eq 0 ]; then
    echo "== same bytes from all ${#names[@]} builds: ${names[*]}"
fi
exit $status
