#!/usr/bin/env bash
# The Debian package as a user gets it: build it with CPack, unpack it into a
# temporary folder, run the unpacked programs and render every man page.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
build=$root/build/package
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT

fail() {
    echo "package stage: $*" >&2
    exit 1
}

# The release build of the test run is packaged where there is one (it installs
# the three programs only); otherwise a build of the programs alone.
if [[ -f $root/build/test-release/CMakeCache.txt ]]; then
    build=$root/build/test-release
else
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DAURALYN_WERROR=ON -DBUILD_TESTING=OFF -DAURALYN_BENCH=OFF
fi
cmake --build "$build" -j 2 --target tonesmith echoprobe auralyn
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/*.deb)
dpkg-deb -x "$deb" "$unpacked"

depends=$(dpkg-deb -f "$deb" Depends)
echo "package stage: $(basename "$deb"), Depends: $depends"
[[ $depends == *libc6* ]] || fail "Depends was not computed: '$depends'"
[[ $depends == *libsoxr* ]] || fail "Depends lacks libsoxr (auralyn simulate): '$depends'"
[[ $depends == *libportaudio2* ]] || fail "Depends lacks libportaudio2 (auralyn measure, opened when used): '$depends'"
[[ $depends == *libsndfile1* ]] || fail "Depends lacks libsndfile1 (WAV files beyond 16-bit, opened when used): '$depends'"

for program in tonesmith echoprobe auralyn; do
    binary=$unpacked/usr/bin/$program
    [[ -x $binary ]] || fail "usr/bin/$program is missing"
    version=$("$binary" --version) || fail "$program --version failed"
    [[ $version == "$program (Auralyn) "* ]] || fail "$program --version printed '$version'"
    page=$unpacked/usr/share/man/man1/$program.1
    [[ -s $page ]] || fail "usr/share/man/man1/$program.1 is missing"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) ||
        fail "man -l $program.1 failed: $warnings"
    [[ -z $warnings ]] || fail "man -l $program.1 warns: $warnings"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" | grep -q "^NAME" || fail "$program.1 renders no NAME section"
done
[[ -s $unpacked/usr/share/doc/auralyn/README.md ]] || fail "usr/share/doc/auralyn/README.md is missing"
echo "package stage: the package installs three programs, three man pages and the README"
