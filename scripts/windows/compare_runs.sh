#!/usr/bin/env bash
# Runs tonesmith and echoprobe of the Linux build and of the Windows build (under
# Wine) with the same answers, and compares what each pair leaves behind: exit code,
# standard output and error, the list of files and every file byte for byte.
# Windows writes text with CR LF line ends: console output and reports are compared
# after turning CR LF into LF, and a Windows report must end every line with CR LF.
#
#   compare_runs.sh LINUX_BIN_DIR WINDOWS_BIN_DIR WORK_DIR
# Wine must be set up (WINEPREFIX and friends, see common.sh). Exit status 1 when
# any pair differs.
set -uo pipefail
linux_bin=$(realpath "$1")
windows_bin=$(realpath "$2")
work=$3
for program in "$linux_bin/tonesmith" "$linux_bin/echoprobe" "$windows_bin/tonesmith.exe" "$windows_bin/echoprobe.exe"; do
    [[ -f $program ]] || { echo "compare_runs.sh: $program is missing" >&2; exit 2; }
done
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
failures=0
cases=0

to_lf() { perl -pe 's/\r\n/\n/g' "$1"; }

# True when every line feed of the file follows a carriage return.
all_crlf() { perl -0777 -ne 'exit(/(?<!\r)\n/ ? 1 : 0)' "$1"; }

# run_side SIDE PROGRAM STDIN ARGS...: one program run in $case_dir/SIDE.
# STDIN is "pipe" (the answers through a pipe), "file" (redirected from the file)
# or "null" (/dev/null).
run_side() {
    local side=$1 program=$2 stdin_mode=$3
    shift 3
    local command
    if [[ $side == linux ]]; then
        command=("$linux_bin/$program" "$@")
    else
        command=(wine "$windows_bin/$program.exe" "$@")
    fi
    local code=0
    (
        cd "$case_dir/$side" || exit 125
        case $stdin_mode in
            pipe) timeout 300 "${command[@]}" < <(cat "$case_dir/answers") ;;
            file) timeout 300 "${command[@]}" <"$case_dir/answers" ;;
            null) timeout 300 "${command[@]}" </dev/null ;;
        esac
    ) >"$case_dir/$side.out" 2>"$case_dir/$side.err" || code=$?
    echo "$code" >"$case_dir/$side.code"
}

fail() {
    echo "FAIL $case_name: $*"
    case_ok=0
}

show_difference() {
    diff <(to_lf "$1") <(to_lf "$2") | head -n 20 | sed 's/^/     /'
}

compare_sides() {
    local l=$case_dir/linux w=$case_dir/windows
    [[ $(cat "$l.code") == "$(cat "$w.code")" ]] ||
        fail "exit code $(cat "$l.code") on Linux, $(cat "$w.code") on Windows"
    for stream in out err; do
        if ! cmp -s <(to_lf "$l.$stream") <(to_lf "$w.$stream"); then
            fail "standard $stream differs"
            show_difference "$l.$stream" "$w.$stream"
        fi
    done
    local linux_files windows_files
    linux_files=$(cd "$l" && ls -A)
    windows_files=$(cd "$w" && ls -A)
    if [[ $linux_files != "$windows_files" ]]; then
        fail "files differ: Linux [${linux_files//$'\n'/ }], Windows [${windows_files//$'\n'/ }]"
        return
    fi
    local name
    while IFS= read -r name; do
        [[ -z $name ]] && continue
        if [[ $name == *.txt ]]; then
            all_crlf "$w/$name" || fail "$name has lines without CR LF on Windows"
            cmp -s <(to_lf "$w/$name") "$l/$name" || {
                fail "$name differs"
                show_difference "$l/$name" "$w/$name"
            }
        else
            cmp -s "$l/$name" "$w/$name" || fail "$name differs: $(cmp "$l/$name" "$w/$name" 2>&1 | head -n 1)"
        fi
    done <<<"$linux_files"
}

# pair NAME STDIN PROGRAM ANSWERS [--input FILE]... [-- ARGS...]
pair() {
    case_name=$1
    local stdin_mode=$2 program=$3 answers=$4
    shift 4
    case_dir=$work/$case_name
    mkdir -p "$case_dir/linux" "$case_dir/windows"
    while [[ $# -gt 0 && $1 == --input ]]; do
        cp "$2" "$case_dir/linux/" && cp "$2" "$case_dir/windows/"
        shift 2
    done
    [[ ${1:-} == -- ]] && shift
    printf '%b' "$answers" >"$case_dir/answers"
    run_side linux "$program" "$stdin_mode" "$@"
    run_side windows "$program" "$stdin_mode" "$@"
    # Every run prints something; silence means Wine never started the program, which
    # happens now and then on a busy machine.
    if [[ ! -s $case_dir/windows.out && ! -s $case_dir/windows.err ]]; then
        echo "note $case_name: Wine started nothing; once more"
        run_side windows "$program" "$stdin_mode" "$@"
    fi
    case_ok=1
    compare_sides
    cases=$((cases + 1))
    if [[ $case_ok -eq 1 ]]; then
        echo "ok   $case_name (exit code $(cat "$case_dir/linux.code"))"
    else
        failures=$((failures + 1))
    fi
}

# A recording of the sweep as a device would give it back, when the simulator is
# at hand; the sweep itself otherwise.
make_recording() {
    local sweep=$1 rate=$2 recording=$3
    if [[ -x $linux_bin/auralyn ]]; then
        "$linux_bin/auralyn" simulate "$sweep" "$recording" --lowpass $((rate / 4)) 0.7 --highpass 40 0.7 \
            --delay 1234 --noise -70 7 >/dev/null 2>&1 && return 0
    fi
    cp "$sweep" "$recording"
}

# --- tonesmith: parameter sets -------------------------------------------------
sweep_cases=(
    "defaults|48000|sweep.wav\n\n\n\n\n\n\n\n\n\nn\n"
    "linear|48000|sweep.wav\n\n48000\n2\n100\n3000\n250\n0.05\n0.01\n5\nn\n"
    "advanced|44100|sweep.wav\n\n44100\n1\n30\n15000\n6\n0.03\n0.025\n8\ny\n50\n20\n0.1\n1000\n0.001\n"
    "rate8000|8000|sweep.wav\n\n8000\n\n50\n\n12\n\n0.005\n\nn\n"
    "rate96000|96000|sweep.wav\n\n96000\n\n20\n40000\n12\n0.01\n\n16\nn\n"
    "odd_answers|48000|sweep.wav\n\n500\nabc\n48000Hz\n3\n1.5\n21000\n\n22000\n\n\n\n\nY\n\n\n\n\n\n"
    "crlf_answers|48000|sweep.wav\r\n\r\n\r\n2\r\n200\r\n2000\r\n100\r\n\r\n\r\n\r\nn\r\n"
)
for entry in "${sweep_cases[@]}"; do
    IFS='|' read -r name rate answers <<<"$entry"
    pair "tonesmith_$name" pipe tonesmith "$answers"
    sweep_dir=$work/tonesmith_$name/linux
    [[ -f $sweep_dir/sweep.wav && -f $sweep_dir/sweep.swp ]] || continue
    make_recording "$sweep_dir/sweep.wav" "$rate" "$work/rec_$name.wav"
    cp "$work/rec_$name.wav" "$work/rec.wav"
    pair "echoprobe_$name" pipe echoprobe "rec.wav\nsweep.swp\n\n\n" --input "$work/rec.wav" --input "$sweep_dir/sweep.swp"
done

# --- tonesmith: how answers arrive, refusals, the end of input --------------------
pair tonesmith_answers_from_file file tonesmith "take1.dat\n\n\n2\n1000\n3000\n500\n\n\n\nn\n"
pair tonesmith_no_input pipe tonesmith ""
pair tonesmith_null_input null tonesmith ""
pair tonesmith_end_at_second_file pipe tonesmith "sweep.wav\n"
pair tonesmith_end_at_parameters pipe tonesmith "sweep.wav\n\n8000\n2\n100\n"
pair tonesmith_end_without_default pipe tonesmith "sweep.wav\n\n48000\n1\n23000\n"
pair tonesmith_unopenable_file pipe tonesmith "missing/sweep.wav\nsweep\n\n\n2\n1000\n2000\n500\n\n\n\nn\n"
pair tonesmith_parameters_onto_wave pipe tonesmith "sweep.wav\nsweep.wav\n\n\n2\n1000\n2000\n500\n\n\n\nn\n"
pair tonesmith_version pipe tonesmith "" -- --version
pair tonesmith_help pipe tonesmith "" -- --help
pair tonesmith_bad_argument pipe tonesmith "" -- --bogus

# --- echoprobe: refusals and the end of input -------------------------------------
defaults=$work/tonesmith_defaults/linux
low_rate=$work/tonesmith_rate8000/linux
if [[ -f $defaults/sweep.wav && -f $low_rate/sweep.wav ]]; then
    cp "$work/rec_defaults.wav" "$work/rec.wav"
    head -c 30000 "$work/rec.wav" >"$work/short.wav"
    cp "$low_rate/sweep.wav" "$work/low.wav"
    # Hostile and unusable inputs: a stereo recording, a parameter file cut short,
    # one with a damaged magic.
    perl -e 'print "RIFF", pack("V", 36 + 4000), "WAVEfmt ", pack("VvvVVvv", 16, 1, 2, 48000, 192000, 4, 16),
             "data", pack("V", 4000), "\0" x 4000' >"$work/stereo.wav"
    head -c 60 "$defaults/sweep.swp" >"$work/cut.swp"
    { printf 'SWEEPPARAMX'; tail -c +12 "$defaults/sweep.swp"; } >"$work/damaged.swp"
    inputs=(--input "$work/rec.wav" --input "$defaults/sweep.swp" --input "$work/short.wav" --input "$work/low.wav"
            --input "$work/stereo.wav" --input "$work/cut.swp" --input "$work/damaged.swp")
    pair echoprobe_no_input pipe echoprobe "" "${inputs[@]}"
    pair echoprobe_null_input null echoprobe "" "${inputs[@]}"
    pair echoprobe_end_at_enter pipe echoprobe "rec.wav\nsweep.swp\nreport\n" "${inputs[@]}"
    pair echoprobe_missing_then_end pipe echoprobe "missing.wav\n" "${inputs[@]}"
    pair echoprobe_refused_files pipe echoprobe "sweep.swp\nrec.wav\nrec.wav\nsweep.swp\n\n\n" "${inputs[@]}"
    pair echoprobe_wrong_rate pipe echoprobe "low.wav\nsweep.swp\n\n\n" "${inputs[@]}"
    pair echoprobe_short_recording pipe echoprobe "short.wav\nsweep.swp\n\n\n" "${inputs[@]}"
    pair echoprobe_stereo_recording pipe echoprobe "stereo.wav\nsweep.swp\n\n\n" "${inputs[@]}"
    pair echoprobe_damaged_parameters pipe echoprobe "rec.wav\ncut.swp\ndamaged.swp\n" "${inputs[@]}"
    pair echoprobe_answers_from_file file echoprobe "rec.wav\nsweep.swp\nout.txt\n\n" "${inputs[@]}"
fi
pair echoprobe_version pipe echoprobe "" -- --version
pair echoprobe_bad_argument pipe echoprobe "" -- --bogus

echo "$cases pairs compared, $failures differ"
[[ $failures -eq 0 && $cases -gt 0 ]]
