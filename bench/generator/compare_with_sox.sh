#!/usr/bin/env bash
# Times the whole tonesmith program on a long sweep (20 Hz to 20 kHz in 10 Hz steps,
# 0.1 s per tone: about 14 million samples) against sox synthesising as many samples
# of a sine into a 16-bit WAV file. Usage: compare_with_sox.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

answers='long.wav\n\n\n2\n20\n20000\n10\n0.1\n\n\nn\n'
printf "$answers" | "$build/bin/tonesmith" >/dev/null
samples=$(( ($(stat -c %s long.wav) - 44) / 2 ))
seconds=$(awk -v n="$samples" 'BEGIN { printf "%.6f", n / 48000 }')
echo "samples per run: $samples ($seconds s at 48000 Hz)"

rate() {  # samples per second from elapsed and CPU seconds
    awk -v n="$samples" -v e="$1" -v c="$2" \
        'BEGIN { printf "%6.1f M samples/s elapsed, %6.1f M samples/s CPU\n", n / e / 1e6, n / c / 1e6 }'
}
for ((i = 1; i <= runs; i++)); do
    t=$( { /usr/bin/time -f '%e %U %S' sh -c "printf '$answers' | '$build/bin/tonesmith' >/dev/null"; } 2>&1 | tail -1)
    read -r e u s <<<"$t"
    printf 'tonesmith: '; rate "$e" "$(awk -v u="$u" -v s="$s" 'BEGIN { print u + s }')"
    t=$( { /usr/bin/time -f '%e %U %S' sox -D -n -b 16 -r 48000 -c 1 out.wav synth "$seconds" sine 1000; } 2>&1 | tail -1)
    read -r e u s <<<"$t"
    printf 'sox:       '; rate "$e" "$(awk -v u="$u" -v s="$s" 'BEGIN { print u + s }')"
done
