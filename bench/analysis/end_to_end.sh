#!/bin/sh
# End-to-end speed of `auralyn analyze REC SWP --json OUT -q` beside echoprobe
# on the same recording, in recording samples per CPU second (user + system
# time of the whole program, file reading and writing included): a dense
# linear sweep (1999 tones, 6.07 million samples) played through a perfect
# wire by `auralyn simulate`.
#   bench/analysis/end_to_end.sh [BIN_DIR] [RUNS]
# BIN_DIR defaults to build/bin, RUNS (the best of which counts) to 5. Pin it
# to one core for steady figures: taskset -c 0 bench/analysis/end_to_end.sh
set -eu
bin=$(cd "${1:-build/bin}" && pwd)
runs=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$bin/auralyn" sweep --linear --start 20 --end 20000 --step 10 --min-duration 0.05 --settling 0.01 \
    -o sweep.wav -q >/dev/null
"$bin/auralyn" simulate sweep.wav rec.wav >/dev/null 2>&1
# 44 bytes of header, two bytes a sample.
samples=$(( ($(wc -c < rec.wav) - 44) / 2 ))

# Least CPU seconds (user + system) of RUNS runs of the command given.
best_cpu_seconds() {
    best=""
    i=0
    while [ "$i" -lt "$runs" ]; do
        /usr/bin/time -f "%U %S" -o cpu.txt "$@" >/dev/null 2>&1 </dev/null || {
            echo "end_to_end: '$*' failed" >&2
            exit 1
        }
        seconds=$(awk '{ print $1 + $2 }' cpu.txt)
        best=$(awk -v a="$seconds" -v b="${best:-$seconds}" 'BEGIN { print (a < b ? a : b) }')
        i=$((i + 1))
    done
    echo "$best"
}


report() {
    awk -v name="$1" -v s="$2" -v n="$samples" \
        'BEGIN { printf "%-40s %7.3f CPU s  %7.1f M samples per CPU second\n", name, s, (s > 0 ? n / s / 1e6 : 0) }'
}

echo "recording: $samples samples"
report "echoprobe" "$(best_cpu_seconds sh -c "printf 'rec.wav\\nsweep.swp\\nout\\n\\n' | '$bin/echoprobe'")"
report "auralyn analyze --json -q" "$(best_cpu_seconds "$bin/auralyn" analyze rec.wav sweep.swp --json out.json -q)"
report "auralyn analyze --clock-correction off" \
    "$(best_cpu_seconds "$bin/auralyn" analyze rec.wav sweep.swp --json off.json -q --clock-correction off)"
