#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree with CPack and
# checks it with dpkg-deb: every program, man page and sample in its place
# under /usr, nothing else outside /usr, and a Depends field that names the
# runtime libraries the programs link. apt then checks, without installing,
# that the dependencies can be met on this system.
#
# Usage: tests/package.sh [BUILD_DIR]   (default build/default)
set -euo pipefail
build=${1:-build/default}
cd "$build"
rm -f glim_*.deb
cpack -G DEB >cpack.log || { cat cpack.log; exit 1; }
debs=(glim_*.deb)
deb=${debs[0]}
dpkg-deb -I "$deb"

status=0
fail() {
    echo "FAILED: $*"
    status=1
}
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
has() { grep -qx "$1" <<<"$files"; }
for program in glimcut glimlearn glimsee glimtest glimview; do
    has "./usr/bin/$program" || fail "no /usr/bin/$program"
    has "./usr/share/man/man1/$program.1.gz" || fail "no man page for $program"
done
# glimprep and glim are packaged whenever the build has them.
if [ -x glim ]; then
    has ./usr/bin/glim || fail "no /usr/bin/glim"
    has ./usr/share/man/man1/glim.1.gz || fail "no man page for glim"
fi
libraries=(libc6 libpng16-16)
# The C++ runtime is a dependency only where the linker left it shared.
if readelf -d glimcut | grep -q 'NEEDED.*libstdc++'; then
    libraries+=(libstdc++6)
fi
if [ -x glimprep ]; then
    has ./usr/bin/glimprep || fail "no /usr/bin/glimprep"
    has ./usr/share/man/man1/glimprep.1.gz || fail "no man page for glimprep"
    libraries+=(libjpeg62-turbo)
fi
for file in ./usr/share/man/man5/glim.5.gz ./usr/share/doc/glim/README.md \
    ./usr/share/doc/glim/samples/train.ppm ./usr/share/doc/glim/samples/test-1.ppm \
    ./usr/share/doc/glim/samples/test-2.ppm; do
    has "$file" || fail "no ${file#.}"
done
outside=$(grep -v -e '^\./$' -e '^\./usr/' <<<"$files" || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"

depends=$(dpkg-deb -f "$deb" Depends)
for library in "${libraries[@]}"; do
    grep -q "\b$library\b (>= " <<<"$depends" || fail "Depends lacks $library: $depends"
done
if command -v apt-get >/dev/null; then
    apt-get install --simulate "./$deb" >apt.log 2>&1 || { cat apt.log; fail "apt cannot install $deb"; }
fi
[ $status -eq 0 ] && echo "package $deb: files and dependencies as expected"
exit $status
