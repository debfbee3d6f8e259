#!/usr/bin/env bash
# Smoke run of the libFuzzer targets: builds them with clang under ASan+UBSan,
# generates their seed corpora with the project's own code and runs each for
# about 15 seconds. Any crash, leak, timeout or sanitizer report fails the stage.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
build=${AURALYN_FUZZ_BUILD:-$root/build/fuzz}
seconds=${AURALYN_FUZZ_SECONDS:-15}

cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAURALYN_FUZZ=ON -DAURALYN_BENCH=OFF -DBUILD_TESTING=OFF
cmake --build "$build" -j 2 --target make_fuzz_seeds wave_open_fuzzer sweep_parameters_fuzzer

"$build/bin/make_fuzz_seeds" "$build/seeds"
mkdir -p "$build/artifacts"

run_fuzzer() {
    local target=$1 seeds=$2; shift 2
    local corpus=$build/corpus/$target log=$build/$target.log
    mkdir -p "$corpus"
    echo "Fuzzing $target for $seconds s"
    if "$build/bin/$target" "$corpus" "$build/seeds/$seeds" "$@" -max_total_time="$seconds" -max_len=4096 \
        -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" >"$log" 2>&1; then
        grep '^stat::' "$log" || true
        return 0
    fi
    tail -n 60 "$log"
    return 1
}

status=0
run_fuzzer wave_open_fuzzer wave || status=1
# Inputs that once found a fault run again on every smoke test.
run_fuzzer sweep_parameters_fuzzer sweep "$root/fuzz/findings" || status=1
if [[ $status -ne 0 ]]; then
    echo "A fuzz target found a fault; the input is in $build/artifacts" >&2
fi
exit $status
