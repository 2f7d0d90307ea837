#!/bin/sh
# Measures glimview report's distance limit: teaches the network train.ppm as
# the demo does, reports on every picture that draw_trials draws (learned
# shapes moved, scaled and recoloured; shapes never learned), prints each
# object's distances, then for each limit how many verdicts are wrong, and
# the errors of each group at the best limit.
# Usage: measure.sh BIN_DIR SAMPLES_DIR WORK_DIR
set -e
bin=$1
samples=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work"
cp "$samples/train.ppm" .
setsid -w "$bin/glimcut" train.ppm </dev/null >/dev/null
setsid -w "$bin/glimlearn" 6 50 </dev/null >/dev/null
mkdir trials
"$bin/draw_trials" trials

# One row per object: picture, expected learned number (- for never
# learned), the object's fields. The limit of 256 lets every verdict through,
# so that the rows show the distances alone.
for picture in trials/*.ppm; do
    name=${picture#trials/}
    case $name in
    L-*) expected=$(echo "$name" | cut -d- -f2) ;;
    *) expected=- ;;
    esac
    "$bin/glimview" report "$picture" --learned train.ppm --limit 256 -o report.png 2>/dev/null |
        sed "s|^|$name expected=$expected |"
done >rows.txt

echo "Objects (picture, expected learned object, report fields):"
cat rows.txt
# A verdict is right when a learned shape is recognised as its own learned
# object, and when a shape never learned is unknown. The report's own
# verdict= and learned= fields are read: at the limit of 256 every object the
# report recognises is in them, and a smaller limit keeps those whose
# settling moved no more units than the limit (report's --limit).
awk '
function field(name,   i, kv) {
    for (i = 1; i <= NF; i++) { split($i, kv, "="); if (kv[1] == name) return kv[2] }
}
{
    n++
    expected[n] = field("expected"); learned[n] = field("learned")
    recognised[n] = field("verdict") == "recognised"; moved[n] = field("moved_bits") + 0
    split($1, part, "-"); group[n] = part[1] == "U" ? "never-learned" : part[4]
}
function wrong(i, limit,   known) {
    known = recognised[i] && moved[i] <= limit
    return expected[i] == "-" ? known : !(known && learned[i] == expected[i])
}
END {
    best = -1
    print ""
    print "limit  wrong of " n
    for (limit = 0; limit <= 256; limit++) {
        errors = 0
        for (i = 1; i <= n; i++) errors += wrong(i, limit)
        if (best < 0 || errors < best_errors) { best = limit; best_errors = errors }
        if (limit == 0 || errors != last) printf "%5d  %d\n", limit, errors
        last = errors
    }
    printf "\nBest limit: %d, %d of %d verdicts wrong\n", best, best_errors, n
    for (i = 1; i <= n; i++) { count[group[i]]++; bad[group[i]] += wrong(i, best) }
    for (g in count) printf "  %-14s %2d wrong of %2d\n", g, bad[g], count[g]
}' rows.txt
