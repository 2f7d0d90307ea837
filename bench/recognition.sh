#!/usr/bin/env bash
# The recognition evaluation: how often glim names an object right, wrong or
# not at all, through glim teach and glim ask as a user runs them.
#
# bench/recognition_set draws the photos (640 x 480 JPEGs): objects cut from
# real photographs of Debian packages and drawn objects, on a plain dark
# ground. Each taught object is taught from its example photos, then asked
# about moved (3 photos), resized to 0.75, 0.9, 1.1 and 1.25 (4), under 0.6,
# 0.8 and 1.25 times the light (3) and on a light and a stony ground (2);
# never-taught objects are asked about in 3 photos each.
#
# The answer for a photo is the verdict on the object whose box overlaps the
# object's true box most (at least 30 % of their union): right, wrong (another
# label), unknown, or not found (no box overlaps enough). Labels given to
# other boxes of the photo (the ground's texture) are counted as stray names.
#
# Two sets of objects: "tuning", on which glim's defaults were chosen, and
# "heldout", which was never looked at while choosing.
#
# Usage: bench/recognition.sh BIN_DIR [COMBINATION...]
#   BIN_DIR holds glim and bench/recognition_set (build/default).
#   COMBINATION: names from the table below; default all of them.
# The photos come from python3-skimage (0.19.3), python3-sklearn (1.2.1) and
# python-matplotlib-data, read from RECOGNITION_PACKAGES (default
# build/recognition-packages), where the first two are unpacked, not
# installed; the script says how when they are missing. RECOGNITION_SETS
# ("tuning", "heldout" or both, the default) chooses the sets measured, so
# that options can be chosen without a look at the held-out answers.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
bin=$(cd "${1:?usage: bench/recognition.sh BIN_DIR [COMBINATION...]}" && pwd)
shift
packages=${RECOGNITION_PACKAGES:-$source_dir/build/recognition-packages}
hopper=/usr/share/matplotlib/mpl-data/sample_data/grace_hopper.jpg
skimage=$packages/x/usr/lib/python3/dist-packages/skimage/data
sklearn=$packages/x/usr/lib/python3/dist-packages/sklearn/datasets/images
if [[ ! -f $skimage/coins.png || ! -f $sklearn/flower.jpg || ! -f $hopper ]]; then
    # The bench target runs the evaluation only where the photos are.
    if [[ -n ${RECOGNITION_OPTIONAL:-} ]]; then
        echo "== recognition: skipped, the sample photos are missing (see bench/recognition.sh)"
        exit 0
    fi
    cat >&2 <<EOF
bench/recognition.sh: the sample photos are missing; get them once with
  apt-get install -y python-matplotlib-data
  mkdir -p $packages && cd $packages &&
  apt-get download python3-skimage python3-sklearn &&
  for p in python3-skimage_*.deb python3-sklearn_*.deb; do dpkg-deb -x \$p x; done
(the two packages are unpacked there, not installed)
EOF
    exit 2
fi

# name | glim teach options | example photos per object. "before" is glim as
# it was before these measurements (--classic); "default" is glim's default
# for a new model, the best of the rest on the tuning set. Each other
# combination starts from --classic and spells what it changes.
combinations=(
    "before|--classic|1"
    "default||1"
    "default-x3||3"
    "grey|--classic --grey|1"
    "levels|--classic --levels auto|1"
    "grey-levels|--classic --grey --levels auto|1"
    "normalised|--classic --grey --levels auto --encoding normalised|1"
    "sizes|--classic --grey --levels auto --encoding normalised --sizes 0.8,0.9,1,1.1,1.25|1"
    "examples3|--classic --grey --levels auto --encoding normalised --sizes 0.8,0.9,1,1.1,1.25|3"
    "settled-derived|--classic --grey --levels auto --encoding normalised --sizes 0.8,0.9,1,1.1,1.25 --limit derived|3"
    "agreed-derived|--classic --grey --levels auto --encoding normalised --sizes 0.8,0.9,1,1.1,1.25 --verdict agreed --limit derived|3"
    "nearest-derived|--classic --grey --levels auto --encoding normalised --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit derived|3"
    "nearest-16|--classic --grey --levels auto --encoding normalised --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit 16|3"
    "nearest-24-gap8|--classic --grey --levels auto --encoding normalised --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit 24 --gap 8|3"
    "agreed-24-gap8|--classic --grey --levels auto --encoding normalised --sizes 0.8,0.9,1,1.1,1.25 --verdict agreed --limit 24 --gap 8|3"
    "classic-24-gap8|--classic --grey --levels auto --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit 24 --gap 8|3"
    "nearest-24-gap8-x1|--classic --grey --levels auto --encoding normalised --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit 24 --gap 8|1"
    "nearest-24-gap6|--classic --grey --levels auto --encoding normalised --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit 24 --gap 6|3"
    "nearest-24-gap10|--classic --grey --levels auto --encoding normalised --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit 24 --gap 10|3"
    "masked|--encoding masked|1"
    "masked-x3|--encoding masked|3"
    "masked-16-gap8|--encoding masked --limit 16|3"
    "silhouette-x3|--classic --grey --levels auto --encoding silhouette --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit 24 --gap 8|3"
    "silhouette-x1|--classic --grey --levels auto --encoding silhouette --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit 24 --gap 8|1"
    "silhouette-x3-sizes1|--classic --grey --levels auto --encoding silhouette --sizes 1 --verdict nearest --limit 24 --gap 8|3"
    "silhouette-x3-16|--classic --grey --levels auto --encoding silhouette --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit 16 --gap 8|3"
    "silhouette-x3-32-gap12|--classic --grey --levels auto --encoding silhouette --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit 32 --gap 12|3"
    "detail-x3|--classic --grey --levels auto --encoding detail --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit 24 --gap 8|3"
    "detail-x1|--classic --grey --levels auto --encoding detail --sizes 0.8,0.9,1,1.1,1.25 --verdict nearest --limit 24 --gap 8|1"
    "ground-x3|--ground clear|3"
    "sizes7-gap8|--classic --grey --levels auto --encoding normalised --sizes 0.75,0.8,0.9,1,1.1,1.2,1.3 --verdict nearest --limit 24 --gap 8|3"
)

top=$source_dir/build/recognition
rm -rf "$top"
mkdir -p "$top/photos" "$top/models"
"$bin/bench/recognition_set" "$top/photos" "$packages/x" "$hopper"

chosen=("$@")
if [[ ${#chosen[@]} -eq 0 ]]; then
    for c in "${combinations[@]}"; do chosen+=("${c%%|*}"); done
fi

# Teaches the objects of set $2 under combination $1 and asks about the set's
# questions; the answers go to $top/models/$1-$2.answers.
evaluate() {
    local name=$1 set=$2 options=$3 examples=$4
    local model=$top/models/$name-$set
    local label example file
    while read -r s label example file; do
        [[ $s == "$set" && $example -lt $examples ]] || continue
        # shellcheck disable=SC2086
        "$bin/glim" --model "$model" teach $options "$label" "$top/photos/$file" >/dev/null \
            2>>"$top/models/$name-$set.teach-errors" || echo "$label $file" >>"$top/models/$name-$set.untaught"
    done <"$top/photos/teach.txt"
    awk -v set="$set" -v dir="$top/photos" '$1 == set { print dir "/" $5 }' "$top/photos/truth.txt" |
        xargs "$bin/glim" --model "$model" ask >"$top/models/$name-$set.answers" 2>/dev/null || true
}

# Prints the table of combination $1 on set $2.
score() {
    local name=$1 set=$2
    local untaught=0
    [[ -f $top/models/$name-$set.untaught ]] && untaught=$(wc -l <"$top/models/$name-$set.untaught")
    awk -v set="$set" -v name="$name" -v untaught="$untaught" '
    function overlap(a, b,   ax, ay, aw, ah, bx, by, bw, bh, ix, iy, inter) {
        split(a, A, ","); split(b, B, ",")
        ix = (A[1] + A[3] < B[1] + B[3] ? A[1] + A[3] : B[1] + B[3]) - (A[1] > B[1] ? A[1] : B[1])
        iy = (A[2] + A[4] < B[2] + B[4] ? A[2] + A[4] : B[2] + B[4]) - (A[2] > B[2] ? A[2] : B[2])
        if (ix <= 0 || iy <= 0) return 0
        inter = ix * iy
        return inter / (A[3] * A[4] + B[3] * B[4] - inter)
    }
    FNR == NR {
        if ($1 != set) next
        n++; file[n] = $5; kind[n] = $2; variant[n] = $3; truth[n] = $4
        box[n] = $6 "," $7 "," $8 "," $9
        next
    }
    {
        delete f
        for (i = 1; i <= NF; i++) { k = index($i, "="); f[substr($i, 1, k - 1)] = substr($i, k + 1) }
        p = f["picture"]; sub(/.*\//, "", p)
        answers[p] = answers[p] f["box"] " " f["label"] "\n"
    }
    END {
        order = "moved resized light-0.6 light-0.8 light-1.25 ground-light ground-stones"
        nv = split(order, variants, " ")
        for (i = 1; i <= n; i++) {
            best = 0; label = ""; stray = 0
            m = split(answers[file[i]], lines, "\n")
            for (j = 1; j < m; j++) {
                split(lines[j], parts, " ")
                o = overlap(parts[1], box[i])
                if (o > best) { best = o; label = parts[2]; bestj = j }
            }
            for (j = 1; j < m; j++) {
                split(lines[j], parts, " ")
                if (j != bestj || best < 0.3) stray += parts[2] != "-"
            }
            strays += stray
            v = variant[i]
            if (best < 0.3) outcome = "notfound"
            else if (label == "-") outcome = "unknown"
            else if (label == truth[i]) outcome = "right"
            else outcome = "wrong"
            count[v, outcome]++; count[v]++
            if (kind[i] == "taught") { all[outcome]++; all_n++ }
            else { never_n++; if (outcome == "wrong") never_named++ }
            if (v == "moved" || v == "resized") { mr[outcome]++; mr_n++ }
            else if (kind[i] == "taught") { lg[outcome]++; lg_n++ }
            bestj = 0
        }
        printf "== %s, %s set\n", name, set
        printf "%-16s %9s %6s %6s %8s %10s\n", "variant", "questions", "right", "wrong", "unknown", "not found"
        for (k = 1; k <= nv; k++) {
            v = variants[k]
            printf "%-16s %9d %6d %6d %8d %10d\n", v, count[v], count[v, "right"], count[v, "wrong"],
                   count[v, "unknown"], count[v, "notfound"]
        }
        printf "%-16s %9d %6d %6d %8d %10d\n", "all taught", all_n, all["right"], all["wrong"],
               all["unknown"], all["notfound"]
        printf "%-16s %9d %6s %6d %8d %10d   (wrong = named)\n", "never taught", never_n, "-",
               never_named, count["never", "unknown"], count["never", "notfound"]
        printf "stray names (other boxes given a label): %d; examples not taught: %d\n", strays, untaught
        printf "summary %s %s: moved+resized right %.0f %%, light+ground right %.0f %%, wrong %.1f %%, never-taught named %.1f %%\n",
               name, set, 100 * mr["right"] / (mr_n ? mr_n : 1), 100 * lg["right"] / (lg_n ? lg_n : 1),
               100 * all["wrong"] / (all_n ? all_n : 1), 100 * never_named / (never_n ? never_n : 1)
    }' "$top/photos/truth.txt" "$top/models/$name-$set.answers"
}

for want in "${chosen[@]}"; do
    found=
    for c in "${combinations[@]}"; do
        IFS='|' read -r name options examples <<<"$c"
        [[ $name == "$want" ]] || continue
        found=1
        for set in ${RECOGNITION_SETS:-tuning heldout}; do
            evaluate "$name" "$set" "$options" "$examples"
            score "$name" "$set"
            echo
        done
    done
    [[ -n $found ]] || { echo "bench/recognition.sh: no combination named $want" >&2; exit 2; }
done

# One line per combination and set, as the README quotes them.
printf '%-22s %-8s %14s %14s %7s %13s\n' combination set "moved+resized" "light+ground" wrong "never named"
for want in "${chosen[@]}"; do
    for set in ${RECOGNITION_SETS:-tuning heldout}; do
        score "$want" "$set" | awk -v name="$want" -v set="$set" '/^summary/ {
            printf "%-22s %-8s %12s %% %12s %% %5s %% %11s %%\n", name, set, $6, $10, $13, $17 }'
    done
done
