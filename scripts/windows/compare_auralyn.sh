#!/usr/bin/env bash
# auralyn.exe under Wine next to the Linux auralyn: --version, sweeps with several
# option sets (files compared byte for byte), a measurement of the same recording
# and its plot; and `simulate`, which this build leaves out, must say so.
#   compare_auralyn.sh LINUX_BIN_DIR WINDOWS_BIN_DIR WORK_DIR
# Wine must be set up (see common.sh). Exit status 1 when anything differs.
set -uo pipefail
linux=$(realpath "$1")/auralyn
windows=$(realpath "$2")/auralyn.exe
work=$3
for program in "$linux" "$windows"; do
    [[ -f $program ]] || { echo "compare_auralyn.sh: $program is missing" >&2; exit 2; }
done
rm -rf "$work"
mkdir -p "$work/linux" "$work/windows"
work=$(realpath "$work")
failures=0

differ() {
    echo "auralyn.exe differs from Linux: $*" >&2
    failures=$((failures + 1))
}

# same_run NAME ARGS...: both programs in their own folder; exit codes, console
# text (CR LF read as LF) and every file written must agree.
same_run() {
    local name=$1
    shift
    (cd "$work/linux" && "$linux" "$@" >"../$name.linux.out" 2>&1; echo $? >"../$name.linux.rc")
    (cd "$work/windows" && wine "$windows" "$@" >"../$name.windows.out" 2>&1 </dev/null; echo $? >"../$name.windows.rc")
    cmp -s "$work/$name.linux.rc" "$work/$name.windows.rc" || differ "$name: exit code"
    perl -pi -e 's/\r\n/\n/g' "$work/$name.windows.out"
    cmp -s "$work/$name.linux.out" "$work/$name.windows.out" || differ "$name: console output"
}

same_files() {
    for file in "$@"; do
        cmp -s "$work/linux/$file" "$work/windows/$file" || differ "file $file"
    done
}

version=$(wine "$windows" --version </dev/null | tr -d '\r')
[[ $version == "auralyn (Auralyn) "* ]] || differ "--version printed '$version'"

same_run sweep-defaults sweep -o defaults.wav
same_files defaults.wav defaults.swp
same_run sweep-linear sweep -o linear.wav --linear --start 100 --end 3000 --step 250 --rate 44100
same_files linear.wav linear.swp
same_run sweep-sync sweep -o sync.wav --start 30 --end 15000 --step 6 --tones-per-sync 8 --sync-level 50 \
    --max-fractional-cycle 0.1 --max-extra-samples 1000 --max-drift 0.001
same_files sync.wav sync.swp
same_run sweep-refused sweep -o bad.wav --rate 7999

"$linux" simulate "$work/linux/defaults.wav" "$work/take.wav" --lowpass 12000 0.7 --delay 3 >/dev/null 2>&1 ||
    cp "$work/linux/defaults.wav" "$work/take.wav"
cp "$work/take.wav" "$work/linux/" && cp "$work/take.wav" "$work/windows/"
same_run analyze analyze take.wav defaults.swp -o take.txt --csv take.csv --json take.json --quiet
for file in take.txt take.csv take.json; do
    perl -pi -e 's/\r\n/\n/g' "$work/windows/$file" 2>/dev/null
done
same_files take.txt
# Full-precision tables: equal but for the last bits of the maths library.
for file in take.csv take.json; do
    python3 "$(dirname "$0")/same_numbers.py" "$work/linux/$file" "$work/windows/$file" || differ "file $file"
done
same_run plot plot take.txt take.csv -o take.svg
perl -pi -e 's/\r\n/\n/g' "$work/windows/take.svg" 2>/dev/null
same_files take.svg

(cd "$work/windows" && wine "$windows" simulate take.wav out.wav </dev/null >"../simulate.out" 2>&1)
[[ $? -eq 1 ]] && grep -q "not available in this build" "$work/simulate.out" ||
    differ "simulate: expected 'not available in this build' and exit status 1"

if [[ $failures -gt 0 ]]; then
    echo "compare_auralyn.sh: $failures differences" >&2
    exit 1
fi
echo "compare_auralyn.sh: auralyn.exe agrees with the Linux auralyn"
