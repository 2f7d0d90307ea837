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
cp "$samples/train-labels.txt" .

run() {
    echo
    echo "===== $*"
    setsid -w "$bin/$@" </dev/null
}

echo "Working in $work"
run glimcut train.ppm
run glimlearn 6 50
run glimsee test-1.ppm

# Pictures of what the suite saw: the boxes found in the test picture, each
# object's encoding beside the pattern it settled into and which learned
# pattern that is, the learned patterns and the network. A build without the
# viewer (GLIM_VIEW=OFF) skips them.
if [ -x "$bin/glimview" ]; then
    run glimview scene test-1.ppm
    run glimcut test-1.ppm 'test-1-%d.act'
    for result in ca-*.act; do
        j=${result#ca-}
        j=${j%.act}
        run glimview pattern -o "object-$j.png" "test-1-$j.act" "$result"
        run glimview match "$result" se-*.act
    done
    run glimview pattern -o learned.png se-*.act
    run glimview net

    # How well the network holds its patterns: the enlarged triangle settling
    # sweep by sweep, recall of the learned patterns from noise, and capacity.
    run glimview settle test-1-0.act
    run glimview robustness se-*.act
    run glimview capacity se-*.act

    # Which learned object each object of the test pictures is, by name: one line
    # per object and a picture of the verdicts beside the learned objects.
    run glimview report test-1.ppm --learned train.ppm --labels train-labels.txt
    run glimview report test-2.ppm --learned train.ppm --labels train-labels.txt
else
    echo
    echo "===== (no glimview in this build: configure with GLIM_VIEW=ON for the pictures)"
fi

# The same questions through glim, in a model folder of its own: four shapes
# of the training picture and a real photo, then one question about a test
# picture and the photo. The photo is Debian's python-matplotlib-data sample.
photo=/usr/share/matplotlib/mpl-data/sample_data/grace_hopper.jpg
if [ -x "$bin/glim" ]; then
    run glim --model model teach --object 0 square train.ppm
    run glim --model model teach --object 1 disc train.ppm
    run glim --model model teach --object 2 triangle train.ppm
    run glim --model model teach --object 4 cross train.ppm
    if [ -r "$photo" ]; then
        run glim --model model teach portrait "$photo"
        run glim --model model ask test-1.ppm "$photo"
    else
        echo
        echo "===== (no $photo: apt-get install python-matplotlib-data adds the photo)"
        run glim --model model ask test-1.ppm
    fi
    run glim --model model list
fi
echo
echo "===== Files in $work:"
ls
