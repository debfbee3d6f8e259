#!/usr/bin/env bash
# One complete measurement without a sound card: builds the programs, writes
# the default sweep, plays it through a simulated small two-way loudspeaker,
# measures the recording and plots it. Everything lands in demo-output/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/demo
out=$root/demo-output
packages=(cmake g++ make pkg-config libsoxr-dev)

# The loudspeaker: a woofer rolling off below 60 Hz, a gentle presence peak,
# a tweeter rolling off above 15 kHz, a few samples of delay, and 6 dB of
# attenuation so that the peak cannot clip.
device=(--gain -6 --highpass 60 0.7071 --peak 3000 1.5 3 --lowpass 15000 0.7071 --delay 4)

fail() {
    echo "demo: $*" >&2
    exit 1
}

ensure_tools() {
    if command -v cmake >/dev/null && command -v c++ >/dev/null && pkg-config --exists soxr 2>/dev/null; then
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
    echo "Building tonesmith, echoprobe, devicesim and echoplot in build/demo ..."
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DAURALYN_BENCH=OFF \
        >"$out/build.log" 2>&1 || fail "configuring failed, see demo-output/build.log"
    cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target tonesmith echoprobe devicesim echoplot \
        >>"$out/build.log" 2>&1 || fail "building failed, see demo-output/build.log"
}

# Every question of the generator answered with its default: the sweep file,
# the proposed parameter file, the eight questions, no advanced options.
generate() {
    printf 'sweep.wav\n\n\n\n\n\n\n\n\n\nn\n' | "$build/bin/tonesmith" >tonesmith.log 2>&1 ||
        fail "tonesmith failed, see demo-output/tonesmith.log"
    [[ -s sweep.wav && -s sweep.swp ]] || fail "tonesmith wrote no sweep, see demo-output/tonesmith.log"
}

measure() {
    "$build/bin/devicesim" sweep.wav loudspeaker.wav "${device[@]}" >devicesim.log 2>&1 ||
        fail "devicesim failed, see demo-output/devicesim.log"
    # The recording, the parameter file, the proposed report name, Enter at the end.
    printf 'loudspeaker.wav\nsweep.swp\n\n\n' | "$build/bin/echoprobe" >echoprobe.log 2>&1 ||
        fail "echoprobe failed, see demo-output/echoprobe.log"
    grep -q '^Frequency, ' loudspeaker.txt 2>/dev/null || fail "the measurement failed, see demo-output/echoprobe.log"
    "$build/bin/echoplot" loudspeaker.txt >echoplot.log 2>&1 || fail "echoplot failed, see demo-output/echoplot.log"
}

mkdir -p "$out"
ensure_tools
build
cd "$out"
rm -f sweep.wav sweep.swp loudspeaker.wav loudspeaker.txt loudspeaker.svg loudspeaker.frd
started=$SECONDS
generate
measure
echo
echo "Measured a simulated loudspeaker in $((SECONDS - started)) s: ${device[*]}"
echo "  Sweep:     demo-output/sweep.wav (and sweep.swp)"
echo "  Recording: demo-output/loudspeaker.wav"
echo "  Report:    demo-output/loudspeaker.txt"
echo "  Plot:      demo-output/loudspeaker.svg"
echo "  FRD:       demo-output/loudspeaker.frd"
echo
echo "First lines of the report:"
head -n 16 loudspeaker.txt
