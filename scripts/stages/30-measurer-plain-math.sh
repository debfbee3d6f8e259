#!/usr/bin/env bash
# The measurer's tests once more with the plain C library sine and cosine, the
# path of builds without SLEEF, so that path cannot rot unnoticed.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
build=$root/build/measurer-plain-math

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DAURALYN_WERROR=ON -DAURALYN_SLEEF=OFF \
    -DAURALYN_BENCH=OFF
cmake --build "$build" -j 2 --target measurer_tests echoprobe_program_tests
ctest --test-dir "$build" --output-on-failure -j 2 -R '^(ToneAnalyzer|Report|SyncSearch|PeakTracking|AnalysisLoop|FormatCheck|RecordingNames|EchoprobeRun|TonesmithRoundTrip)'
