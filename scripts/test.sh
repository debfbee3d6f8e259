#!/usr/bin/env bash
# Builds and tests everything: installs what is missing (as root on Debian),
# then runs the whole suite in a normal build and in a build with
# AddressSanitizer + UndefinedBehaviorSanitizer, then the extra stages in
# scripts/stages/ (fuzzing smoke runs and the like), in name order.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)

log() { printf '\n==> [%ds] %s\n' "$SECONDS" "$*"; }

install_missing_packages() {
    local wanted=() pkg
    while read -r pkg; do
        [[ -z $pkg || $pkg == \#* ]] && continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || wanted+=("$pkg")
    done < <(cat scripts/deps/*.txt | sed 's/#.*//' | tr ' ' '\n' | sort -u)
    [[ ${#wanted[@]} -eq 0 ]] && return 0
    if [[ $(id -u) -ne 0 ]] || ! command -v apt-get >/dev/null; then
        echo "Missing packages (install them first): ${wanted[*]}" >&2
        return 1
    fi
    log "Installing ${wanted[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${wanted[@]}"
}

build_and_test() {
    local dir=$1; shift
    log "Configuring $dir"
    cmake -S . -B "$dir" -DAURALYN_WERROR=ON "$@"
    log "Building $dir"
    cmake --build "$dir" -j "$jobs"
    log "Testing $dir"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

install_missing_packages
build_and_test build/test-release -DCMAKE_BUILD_TYPE=Release
# -O1 with line tables only: the sanitizers' reports keep their file and line,
# and the build takes about half the time of -O2 -g.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    build_and_test build/test-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAURALYN_SANITIZE=ON -DAURALYN_BENCH=OFF \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"

shopt -s nullglob
for stage in scripts/stages/*.sh; do
    log "Stage $(basename "$stage")"
    bash "$stage" "$root"
done
log "All tests passed"
