#!/usr/bin/env bash
# The real SDL program, end to end: under a virtual X display with SDL's dummy audio driver it must
# end cleanly (status 0) within a few seconds once Escape is held down; without a display it must
# say so and end with status 1 at once, unless the user names a driver that shows nothing.
#   tests/platform/demo_smoke_test.sh path/to/novaline
set -uo pipefail
demo=$1
export SDL_AUDIODRIVER=dummy
# Libraries outside our code (X11, SDL) leave allocations for the process exit to free.
export ASAN_OPTIONS=${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Without a display, in the environment of a console or an SSH login: SDL may fall back to a
# driver that shows nothing, which is no display either.
stderr_file=$(mktemp)
start_ns=$(date +%s%N)
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 20 "$demo" 2>"$stderr_file"
status=$?
elapsed_ms=$(( ($(date +%s%N) - start_ns) / 1000000 ))
[ "$status" -eq 1 ] || fail "without a display the status is $status, not 1"
# The system's text, then what is missing; SDL's own lines may come before them.
[ "$(grep -x -A1 "Sorry, I can't init DirectDraw" "$stderr_file")" = "Sorry, I can't init DirectDraw
no X11 or Wayland display found: set DISPLAY or WAYLAND_DISPLAY" ] ||
    fail "without a display stderr is: $(cat "$stderr_file")"
# A second is what a user waits; the margin is for a loaded test machine.
[ "$elapsed_ms" -lt 3000 ] || fail "without a display it took $elapsed_ms ms to end"
echo "without a display: status $status after $elapsed_ms ms"

# A driver that shows nothing, asked for by name, is the user's choice: the show runs, and ends
# cleanly on SIGTERM, SIGINT or SIGHUP (the terminal closed).
for signal in TERM INT HUP; do
    env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=dummy "$demo" 2>"$stderr_file" &
    dummy_pid=$!
    sleep 1
    kill -0 "$dummy_pid" 2>/dev/null ||
        fail "with SDL_VIDEODRIVER=dummy the show did not run: $(cat "$stderr_file")"
    kill -"$signal" "$dummy_pid" 2>/dev/null
    wait "$dummy_pid"
    status=$?
    [ "$status" -eq 0 ] ||
        fail "with SDL_VIDEODRIVER=dummy the status after SIG$signal is $status, not 0"
    echo "with SDL_VIDEODRIVER=dummy: ran, status $status after SIG$signal"
done

# No sound device: one line says so, and the show runs on, silent.
env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=no-such-driver "$demo" \
    2>"$stderr_file" &
silent_pid=$!
sleep 1
kill -0 "$silent_pid" 2>/dev/null || fail "without a sound device the show did not run"
kill -TERM "$silent_pid" 2>/dev/null
wait "$silent_pid"
status=$?
grep -qx "no sound device: the show runs silent" "$stderr_file" ||
    fail "without a sound device stderr is: $(cat "$stderr_file")"
[ "$status" -eq 0 ] || fail "without a sound device the status after SIGTERM is $status, not 0"
echo "without a sound device: ran silent, status $status after SIGTERM"

# Under Xvfb, which picks a free display number itself and writes it to fd 3 when ready.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
cleanup() {
    kill "$xvfb_pid" 2>/dev/null
    rm -f "$stderr_file" "$display_file"
}
trap cleanup EXIT
for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
done
[ -s "$display_file" ] || { fail "Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n1 "$display_file")

"$demo" 2>"$stderr_file" &
demo_pid=$!
# Wait for the show's window, then hold Escape down.
for _ in $(seq 100); do
    xdotool search --name "GRAVO NOVALINE V2.2" >/dev/null 2>&1 && break
    sleep 0.1
done
sleep 0.5
kill -0 "$demo_pid" 2>/dev/null || fail "the show ended before Escape was pressed"
escape_ns=$(date +%s%N)
xdotool keydown Escape
# A clean end within a few seconds.
for _ in $(seq 100); do
    kill -0 "$demo_pid" 2>/dev/null || break
    sleep 0.05
done
end_ns=$(date +%s%N)
if kill -0 "$demo_pid" 2>/dev/null; then
    fail "the show did not end within 5 s of Escape; stderr: $(cat "$stderr_file")"
    # A show stuck where no signal reaches it (a message box waiting for a click) must not hold
    # the test up to its timeout.
    kill "$demo_pid"
    sleep 1
    kill -KILL "$demo_pid" 2>/dev/null
fi
wait "$demo_pid"
status=$?
xdotool keyup Escape
[ "$status" -eq 0 ] || fail "with Escape held the status is $status, not 0; stderr: $(cat "$stderr_file")"
echo "under Xvfb: status $status, $(( (end_ns - escape_ns) / 1000000 )) ms after Escape"
exit $((failures > 0))
