#!/usr/bin/env bash
# Whole-process render speed of xmrender beside two general-purpose XM players, on modules of 12
# and 64 channels written by xm_bench_module (looping samples, volume slides, panning envelopes
# and panning commands). Each program renders each module to a 44.1 kHz 16-bit stereo WAV file
# with linear interpolation; the best wall time and the best processor time (user + system) of
# RUNS (default 3) are kept, and the table gives xmrender's speed as a multiple of each peer's by
# both. A peer that is not installed is skipped; nothing is installed.
# The files go to a fresh folder in WORKDIR (default /dev/shm, else the system's temporary
# folder): in memory, so that the disk does not time the programs, least of all xmrender, which
# flushes its file to the disk before giving it its name.
#   bench/peer_speed.sh [BUILD_DIR]      (default: build, after ./build.sh)
set -euo pipefail
build=${1:-build}
runs=${RUNS:-3}
writer=$build/tests/support/xm_bench_module
xmrender=$build/tools/xmrender
for program in "$writer" "$xmrender"; do
    if [ ! -x "$program" ]; then
        echo "peer_speed: $program is missing; build first (./build.sh)" >&2
        exit 1
    fi
done

workdir=${WORKDIR:-/dev/shm}
[ -d "$workdir" ] && [ -w "$workdir" ] || workdir=${TMPDIR:-/tmp}
work=$(mktemp -d "$workdir/peer_speed.XXXXXX")
trap 'rm -rf "$work"' EXIT

# "WALL CPU": the best wall time and the best user + system time, in milliseconds, of `runs` runs
# of the command, its output discarded.
best_ms() {
    local best_wall="" best_cpu=""
    for _ in $(seq "$runs"); do
        local times wall cpu
        times=$( { TIMEFORMAT='%3R %3U %3S'; time "$@" >/dev/null 2>&1; } 2>&1 )
        read -r wall cpu <<<"$(awk '{ printf "%d %d", $1 * 1000, ($2 + $3) * 1000 }' <<<"$times")"
        if [ -z "$best_wall" ] || [ "$wall" -lt "$best_wall" ]; then best_wall=$wall; fi
        if [ -z "$best_cpu" ] || [ "$cpu" -lt "$best_cpu" ]; then best_cpu=$cpu; fi
    done
    echo "$best_wall $best_cpu"
}

# Seconds of audio in a 16-bit stereo 44.1 kHz WAV file, from its size less the 44-byte header
# (a check that every program rendered the whole song once).
audio_seconds() {
    local bytes
    bytes=$(stat -c %s "$1")
    awk -v b="$bytes" 'BEGIN { printf "%.1f", (b - 44) / 4 / 44100 }'
}

peers=()
command -v openmpt123 >/dev/null && peers+=(openmpt123) || echo "openmpt123 not installed: skipped"
command -v xmp >/dev/null && peers+=(xmp) || echo "xmp not installed: skipped"

render() {  # program, module; writes $work/<program>.wav
    local module=$2
    case $1 in
        xmrender) "$xmrender" -o "$work/xmrender.wav" "$module" ;;
        openmpt123)
            openmpt123 --render --samplerate 44100 --channels 2 --no-float --filter 2 \
                --stereo 100 --repeat 0 --output-type wav --force "$module" &&
                mv "$module.wav" "$work/openmpt123.wav" ;;
        xmp) xmp -f 44100 -i linear -P 100 -o "$work/xmp.wav" "$module" ;;
    esac
}

row() {  # channels, program, wall ms, cpu ms, audio seconds, wall ratio, cpu ratio
    printf '%-8s %-10s %8s %8s %8s %11s %11s\n' "$@"
}
ratio() {  # peer ms, xmrender ms
    awk -v p="$1" -v x="$2" 'BEGIN { printf "%.2fx", p / (x > 0 ? x : 1) }'
}

row channels program "wall ms" "cpu ms" "audio s" "x by wall" "x by cpu"
for channels in 12 64; do
    module=$work/bench$channels.xm
    "$writer" "$module" "$channels"
    read -r xmrender_wall xmrender_cpu <<<"$(best_ms render xmrender "$module")"
    row "$channels" xmrender "$xmrender_wall" "$xmrender_cpu" \
        "$(audio_seconds "$work/xmrender.wav")" "" ""
    for peer in "${peers[@]}"; do
        read -r wall cpu <<<"$(best_ms render "$peer" "$module")"
        row "$channels" "$peer" "$wall" "$cpu" "$(audio_seconds "$work/$peer.wav")" \
            "$(ratio "$wall" "$xmrender_wall")" "$(ratio "$cpu" "$xmrender_cpu")"
    done
done
echo "best of $runs runs of the whole process, 44100 Hz, linear interpolation, files in $workdir;"
echo "x: how many times faster xmrender is than the peer"
