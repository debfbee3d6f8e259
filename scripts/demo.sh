#!/usr/bin/env bash
# One complete measurement without a sound card, through `auralyn`: builds it,
# writes the default sweep, plays it through a simulated small two-way
# loudspeaker, measures the recording and plots it. Everything lands in
# demo-output/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/demo
out=$root/demo-output
packages=(cmake g++ make pkg-config libsoxr-dev libcli11-dev nlohmann-json3-dev)

# The loudspeaker: a woofer rolling off below 60 Hz, a gentle presence peak,
# a tweeter rolling off above 15 kHz, a few samples of delay, and 6 dB of
# attenuation so that the peak cannot clip.
device=(--gain -6 --highpass 60 0.7071 --peak 3000 1.5 3 --lowpass 15000 0.7071 --delay 4)

fail() {
    echo "demo: $*" >&2
    exit 1
}

ensure_tools() {
    if command -v cmake >/dev/null && command -v c++ >/dev/null && pkg-config --exists soxr 2>/dev/null &&
        [[ -f /usr/include/CLI/CLI.hpp && -f /usr/include/nlohmann/json.hpp ]]; then
        return 0
    fi
    if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null; then
        echo "Installing ${packages[*]}"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null ||
            fail "could not install ${packages[*]}"
        return 0
    fi
    fail "missing build tools; install them first: sudo apt-get install ${packages[*]}"
}

build() {
    # The test script has just built auralyn; its stage runs the demo on that build.
    if [[ -n ${AURALYN_DEMO_BUILD:-} && -x $AURALYN_DEMO_BUILD/bin/auralyn ]]; then
        build=$AURALYN_DEMO_BUILD
        return 0
    fi
    echo "Building auralyn in build/demo ..."
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DAURALYN_BENCH=OFF \
        >"$out/build.log" 2>&1 || fail "configuring failed, see demo-output/build.log"
    cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target auralyn \
        >>"$out/build.log" 2>&1 || fail "building failed, see demo-output/build.log"
}

run() {
    local log=$1
    shift
    "$build/bin/auralyn" "$@" >"$log" 2>&1 || fail "auralyn $1 failed, see demo-output/$log"
}

# The default sweep: 48000 Hz, 20 Hz to 20 kHz, 24 tones per octave.
generate() {
    run sweep.log sweep -o sweep.wav
    [[ -s sweep.wav && -s sweep.swp ]] || fail "auralyn sweep wrote no sweep, see demo-output/sweep.log"
}

measure() {
    # The recorder's clock runs 30 ppm fast, as a separate recorder's does;
    # analyze finds it and measures as if both shared one clock.
    run simulate.log simulate sweep.wav loudspeaker.wav "${device[@]}" --clock 30
    run analyze.log analyze loudspeaker.wav sweep.swp -o loudspeaker.txt --csv loudspeaker.csv \
        --json loudspeaker.json --quiet
    run plot.log plot loudspeaker.txt --frd
}

mkdir -p "$out"
ensure_tools
build
cd "$out"
rm -f sweep.wav sweep.swp loudspeaker.wav loudspeaker.txt loudspeaker.csv loudspeaker.json loudspeaker.svg \
    loudspeaker.frd
started=$SECONDS
generate
measure
echo
echo "Measured a simulated loudspeaker in $((SECONDS - started)) s: ${device[*]}, recorded 30 ppm fast"
grep '^Clock:' analyze.log || true
echo "  Sweep:     demo-output/sweep.wav (and sweep.swp)"
echo "  Recording: demo-output/loudspeaker.wav"
echo "  Report:    demo-output/loudspeaker.txt (and loudspeaker.csv, loudspeaker.json)"
echo "  Plot:      demo-output/loudspeaker.svg"
echo "  FRD:       demo-output/loudspeaker.frd"
echo
echo "First lines of the report:"
head -n 16 loudspeaker.txt
