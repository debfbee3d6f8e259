#!/usr/bin/env bash
# Smoke run of the libFuzzer targets: builds them with clang under ASan+UBSan,
# generates their seed corpora with the project's own code and runs each for
# about 15 seconds, both at once. Any crash, leak, timeout or sanitizer report
# fails the stage.
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

# libFuzzer runs one process on one core: the two targets run side by side,
# each for its full time. What each prints is kept apart and shown in order.
run_in_background() {
    local target=$1
    run_fuzzer "$@" >"$build/$target.summary" 2>&1 &
    pids+=($!)
    targets+=("$target")
}
pids=()
targets=()
run_in_background wave_open_fuzzer wave
# Inputs that once found a fault run again on every smoke test.
run_in_background sweep_parameters_fuzzer sweep "$root/fuzz/findings"

status=0
for i in "${!pids[@]}"; do
    wait "${pids[$i]}" || status=1
    cat "$build/${targets[$i]}.summary"
done
if [[ $status -ne 0 ]]; then
    echo "A fuzz target found a fault; the input is in $build/artifacts" >&2
fi
exit $status
