#!/usr/bin/env bash
# Runs tonesmith.exe and then echoprobe.exe under Wine on a virtual display with a
# console, as a user who double-clicked them would: answers their real file dialogs
# with xdotool (types names, accepts proposals), types the answers to the console
# questions, and checks that every file is identical to the one the Linux build
# writes for the same answers (the report after turning CR LF into LF). Screenshots
# of the dialogs and the console transcripts are left in WINDOWS_BUILD_DIR/dialog-check.
#   dialog_check.sh [WINDOWS_BUILD_DIR] [LINUX_BIN_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/windows/common.sh"
build=$(realpath "${1:-$root/build/windows}")
linux_bin=$(realpath "${2:-$root/build/windows-reference/bin}")
work=$build/dialog-check

for tool in Xvfb xdotool import script wine perl; do
    command -v "$tool" >/dev/null || { echo "dialog_check.sh needs $tool (Debian: xvfb xdotool imagemagick wine)" >&2; exit 2; }
done
for program in "$build/bin/tonesmith.exe" "$build/bin/echoprobe.exe" "$linux_bin/tonesmith" "$linux_bin/echoprobe"; do
    [[ -f $program ]] || { echo "dialog_check.sh: $program is missing" >&2; exit 2; }
done

# The same answers on both sides: a short linear sweep named "sweep", its parameter
# file as proposed; then that sweep measured, the report named as proposed.
sweep_answers=(48000 2 1000 3000 500 "" "" "" n)
rm -rf "$work"
mkdir -p "$work/windows" "$work/linux"
(
    cd "$work/linux"
    printf '%s\n' sweep.wav "" "${sweep_answers[@]}" | "$linux_bin/tonesmith" >/dev/null
    printf '%s\n' sweep.wav sweep.swp "" "" | "$linux_bin/echoprobe" >/dev/null
)

display=99
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY=:$display
program=
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    if [[ -n $program ]]; then kill "$program" 2>/dev/null || true; fi
    WINEPREFIX=$build/wineprefix wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb" 2>/dev/null
    rm -f "$work/console-input"
}
trap cleanup EXIT
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.2; done
# Wine's desktop process takes the display it starts with: a server of this prefix
# left from a run without display must go first.
WINEPREFIX=$build/wineprefix wineserver -k >/dev/null 2>&1 || true
use_wine_prefix "$build/wineprefix"

# The program's console is a pseudo-terminal, so it sees a console and shows the
# dialogs; answers to its console questions are typed into that terminal.
start_program() {
    local name=$1
    transcript=$work/$name-console.log
    rm -f "$work/console-input"
    mkfifo "$work/console-input"
    (cd "$work/windows" && exec script -qfec "wine '$build/bin/$name.exe'" "$transcript" \
        <"$work/console-input" >/dev/null 2>&1) &
    program=$!
    exec 3>"$work/console-input"
}

# Waits for the program to end and checks its exit code.
finish_program() {
    local name=$1 status=0
    for _ in $(seq 240); do kill -0 "$program" 2>/dev/null || break; sleep 0.5; done
    wait "$program" || status=$?
    program=
    exec 3>&-
    echo "$name.exe ended with exit code $status"
    [[ $status -eq 0 ]] || failed=1
    console_text >"$work/$name-console.txt"
}

# The console text as it would look on screen: the terminal's cursor steps turned
# back into spaces, other control sequences dropped.
console_text() {
    perl -pe 's/\e\[(\d*)C/" " x ($1 || 1)/ge; s/\e\[[0-9;?]*[A-Za-z]//g; s/\e\][^\a]*\a//g; s/\r//g' "$transcript"
}

wait_for_console() {
    local text=$1
    for _ in $(seq 120); do
        console_text | grep -qF "$text" && return 0
        sleep 0.5
    done
    echo "The console never showed \"$text\"" >&2
    return 1
}

wait_for_window() {
    local title=$1 id
    for _ in $(seq 120); do
        id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1 || true)
        [[ -n $id ]] && { echo "$id"; return 0; }
        sleep 0.5
    done
    echo "No window \"$title\" appeared" >&2
    return 1
}

# answer_dialog TITLE SCREENSHOT [TEXT]: types TEXT (none: accepts the proposal) and Enter.
answer_dialog() {
    local title=$1 shot=$2 text=${3:-} id
    id=$(wait_for_window "$title")
    echo "Dialog \"$(xdotool getwindowname "$id")\" is open"
    # A window can be visible a moment before it takes the focus.
    for _ in $(seq 20); do xdotool windowfocus --sync "$id" 2>/dev/null && break; sleep 0.5; done
    sleep 1
    [[ -n $text ]] && xdotool type --delay 80 "$text"
    import -window root "$work/$shot.png"
    xdotool key Return
}

failed=0

start_program tonesmith
answer_dialog "Enter a name for the output wave file" 1-tonesmith-wave-file sweep
answer_dialog "Enter a name for the sweep parameters file" 2-tonesmith-parameter-file
wait_for_console "default=48000"
printf '%s\r' "${sweep_answers[@]}" >&3
finish_program tonesmith

start_program echoprobe
answer_dialog "Select the recorded sample" 3-echoprobe-recording sweep.wav
answer_dialog "Select the sweep paramters file" 4-echoprobe-parameters sweep.swp
answer_dialog "Enter a filename for the output" 5-echoprobe-report
wait_for_console "Press <Enter> to end the program."
printf '\r' >&3
finish_program echoprobe

for file in sweep.wav sweep.swp sweep.txt; do
    windows_file=$work/windows/$file
    if [[ $file == *.txt ]]; then
        perl -pe 's/\r\n/\n/g' "$work/windows/$file" >"$work/$file.lf"
        windows_file=$work/$file.lf
    fi
    if cmp "$work/linux/$file" "$windows_file"; then
        echo "$file: identical to the Linux build's ($(stat -c %s "$work/windows/$file") bytes)"
    else
        failed=1
    fi
done
echo "Screenshots and console transcripts: $work"
exit $failed
