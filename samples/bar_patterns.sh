#!/bin/sh
# Writes COUNT pattern files shaped as the object encoder shapes them (each
# of the 16 rows a bar of ones from column 0), with bar lengths from a seeded
# generator, so the same seed gives the same files everywhere. Many such
# patterns are more than the network can hold: with about 80 or more the
# learning rule drives the weights beyond every bound within ten cycles.
# Usage: bar_patterns.sh COUNT [SEED [MASK]]   (MASK default bar-%d.act)
set -e
count=${1:?usage: bar_patterns.sh COUNT [SEED [MASK]]}
seed=${2:-1}
mask=${3:-bar-%d.act}
# The minimal standard generator (multiplier 16807, modulus 2^31 - 1): its
# products stay below 2^46, exact in any shell's integer arithmetic.
state=$((seed % 2147483646 + 1))
p=0
while [ "$p" -lt "$count" ]; do
    {
        echo "int act[256] = {"
        row=0
        while [ "$row" -lt 16 ]; do
            state=$((state * 16807 % 2147483647))
            length=$((state % 17))
            line=" "
            column=0
            while [ "$column" -lt 16 ]; do
                if [ "$column" -lt "$length" ]; then line="$line 1,"; else line="$line 0,"; fi
                column=$((column + 1))
            done
            echo "$line"
            row=$((row + 1))
        done
        echo "}"
    } >"$(printf "$mask" "$p")"
    p=$((p + 1))
done
