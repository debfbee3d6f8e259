#!/usr/bin/env bash
# The README's first command must keep working: run the demo from the repository
# root given as $1 and check that it produced a complete measurement.
set -euo pipefail
root=$1
bash "$root/scripts/demo.sh"
out=$root/demo-output
for file in loudspeaker.txt loudspeaker.svg loudspeaker.frd; do
    [[ -s $out/$file ]] || { echo "demo stage: $file is missing or empty" >&2; exit 1; }
done
tones=$(wc -l <"$out/loudspeaker.frd")
[[ $tones -eq 240 ]] || { echo "demo stage: expected 240 tones in the FRD file, found $tones" >&2; exit 1; }
echo "demo stage: complete measurement of $tones tones"
