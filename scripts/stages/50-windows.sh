#!/usr/bin/env bash
# The Windows build, tested on this machine: cross compiles the three programs and
# the portable test executables with MinGW-w64, runs the tests under Wine, then runs
# tonesmith.exe and echoprobe.exe with piped answers and auralyn.exe with options,
# and compares everything they write with the Linux build's for the same input.
# Skipped, with a notice, where the cross compiler and Wine cannot be installed.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
build=${AURALYN_WINDOWS_BUILD:-$root/build/windows}
source "$root/scripts/windows/common.sh"

if ! install_windows_tools; then
    echo "NOTICE: the Windows stage is skipped: the MinGW-w64 cross compiler and Wine are not installed"
    echo "        and cannot be installed here (needs root and apt-get: ${windows_packages[*]})."
    exit 0
fi

echo "Building the Windows target in $build"
build_windows "$root" "$build"
for program in tonesmith echoprobe auralyn; do
    if x86_64-w64-mingw32-objdump -p "$build/bin/$program.exe" | grep -qiE 'DLL Name: (libgcc|libstdc|libwinpthread)'; then
        echo "$program.exe needs MinGW DLLs; it must be linked statically" >&2
        exit 1
    fi
done

use_wine_prefix "$build/wineprefix"
trap stop_wine_prefix EXIT

echo "Running the Windows tests under Wine"
# A test gets a second run: Wine now and then fails to start a program at all.
ctest --test-dir "$build" --output-on-failure -j 2 --timeout 600 --repeat until-pass:2

# The Linux programs to compare with: the suite's own build when the test command
# made one, else a build of their own.
reference=$root/build/test-release
if [[ ! -f $reference/CMakeCache.txt ]]; then
    reference=$root/build/windows-reference
    cmake -S "$root" -B "$reference" -DCMAKE_BUILD_TYPE=Release -DAURALYN_BENCH=OFF -DBUILD_TESTING=OFF
fi
targets=(tonesmith echoprobe auralyn)
cmake --build "$reference" -j 2 --target "${targets[@]}"

echo "Comparing the Windows programs with the Linux programs"
"$root/scripts/windows/compare_runs.sh" "$reference/bin" "$build/bin" "$build/compare"

echo "Comparing auralyn.exe with the Linux auralyn"
"$root/scripts/windows/compare_auralyn.sh" "$reference/bin" "$build/bin" "$build/compare-auralyn"
