#!/usr/bin/env bash
# The real SDL program's picture on a virtual X display, bare or under a window manager: with the
# display's test pattern, screenshots must show the pattern where the 4:3 rule puts it in the
# window the program actually has, in full screen, after Alt+Enter (a centred window of the
# largest whole multiple of 320 x 240 up to 960 x 720), after the window is resized, and after
# Alt+Enter back; then Escape held must end it with status 0.
#   tests/platform/demo_picture_test.sh NOVALINE PATTERN_PROBE SCREEN_WxH WINDOW_WxH [WM]
set -uo pipefail
demo=$1
probe=$2
screen=$3
windowed=$4
wm=${5:-}
export SDL_AUDIODRIVER=dummy NOVALINE_TEST_PATTERN=1
# Libraries outside our code (X11, SDL) leave allocations for the process exit to free.
export ASAN_OPTIONS=${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0
label="${wm:-no window manager}, ${screen} screen"
started_ns=$(date +%s%N)
ms_since() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }

work=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL ($label): $*" >&2
    [ -s "$work/demo.err" ] && echo "the program's stderr: $(cat "$work/demo.err")" >&2
    exit 1
}
# Polls `command...` every 0.1 s for up to `seconds`; a loaded machine gets the whole budget.
wait_for() {
    local seconds=$1
    shift
    for _ in $(seq $((seconds * 10))); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# Xvfb picks a free display number itself and writes it to fd 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.err" &
pids+=($!)
wait_for 20 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.err")"
export DISPLAY=:$(head -n1 "$work/display")

if [ -n "$wm" ]; then
    "$wm" --sm-disable >"$work/wm.log" 2>&1 &
    pids+=($!)
    # The manager is up once it announces its desktops on the root window.
    wait_for 20 xdotool get_num_desktops || fail "$wm did not start: $(cat "$work/wm.log")"
fi

"$demo" 2>"$work/demo.err" &
demo_pid=$!
pids+=("$demo_pid")
name="GRAVO NOVALINE V2.2"
wait_for 20 xdotool search --onlyvisible --name "$name" || fail "no window named $name within 20 s"
echo "$label: window after $(ms_since "$started_ns") ms"

# Each step waits for the window to reach its size and the picture to settle in it.
expect_picture() {  # step name, window size
    local step_ns
    step_ns=$(date +%s%N)
    kill -0 "$demo_pid" 2>/dev/null || fail "the program ended before: $1"
    local seen
    seen=$("$probe" "$name" "$2" 30 2>&1) || fail "$1: $seen"
    echo "$label: $1 settled in $(ms_since "$step_ns") ms: $seen"
}

expect_picture "full screen" "$screen"
xdotool key alt+Return
expect_picture "Alt+Enter to a window" "$windowed"
# The probe has found the program's last window: no other is made from here on.
xdotool windowsize "$(xdotool search --onlyvisible --name "$name" | tail -n1)" 500 500
expect_picture "the window resized to 500x500" 500x500
xdotool key alt+Return
expect_picture "Alt+Enter back to full screen" "$screen"

xdotool keydown Escape
demo_ended() { ! kill -0 "$demo_pid" 2>/dev/null; }
wait_for 20 demo_ended || fail "the show did not end within 20 s of Escape"
wait "$demo_pid"
status=$?
xdotool keyup Escape
[ "$status" -eq 0 ] || fail "with Escape held the status is $status, not 0"
echo "$label: passed in $(ms_since "$started_ns") ms"
