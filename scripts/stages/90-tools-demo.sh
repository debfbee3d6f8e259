#!/usr/bin/env bash
# The README's first command must keep working: run the demo from the repository
# root given as $1 and check that it produced a complete measurement.
set -euo pipefail
root=$1
# The release build the test script made and tested; the demo builds its own otherwise.
AURALYN_DEMO_BUILD=$root/build/test-release bash "$root/scripts/demo.sh"
out=$root/demo-output
fail() {
    echo "demo stage: $*" >&2
    exit 1
}
for file in sweep.wav sweep.swp loudspeaker.wav loudspeaker.txt loudspeaker.csv loudspeaker.json loudspeaker.svg \
    loudspeaker.frd; do
    [[ -s $out/$file ]] || fail "$file is missing or empty"
done
[[ $(head -c 2 "$out/loudspeaker.frd") == "* " ]] || fail "the FRD file does not start with a '*' comment line"
tones=$(grep -vc '^\*' "$out/loudspeaker.frd")
[[ $tones -eq 240 ]] || fail "expected 240 tones in the FRD file, found $tones"
reported=$(($(wc -l <"$out/loudspeaker.txt") - 10))
[[ $reported -eq 240 ]] || fail "expected 240 tones in the report, found $reported"
[[ $(head -n 1 "$out/loudspeaker.csv") == frequency_hz,amplitude,magnitude_db,phase_deg* ]] ||
    fail "the CSV file does not start with its column names"
rows=$(($(wc -l <"$out/loudspeaker.csv") - 1))
[[ $rows -ge 240 ]] || fail "expected at least 240 tones in the CSV file, found $rows"
listed=$(python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); assert d["sample_rate"] == 48000; print(len(d["tones"]))' \
    "$out/loudspeaker.json") || fail "the JSON file is not what auralyn analyze writes"
[[ $listed -eq $rows ]] || fail "the JSON file lists $listed tones, the CSV file $rows"
python3 -c 'import json, sys; p = json.load(open(sys.argv[1]))["clock_ppm"]; assert p is not None and abs(p - 30) < 0.2, p' \
    "$out/loudspeaker.json" || fail "the demo's recorder runs 30 ppm fast; analyze did not find that clock"
python3 -c 'import sys, xml.etree.ElementTree as ET; ET.parse(sys.argv[1])' "$out/loudspeaker.svg" ||
    fail "the plot is not well-formed SVG"
echo "demo stage: complete measurement of $tones tones (report, CSV, JSON, plot, FRD)"
