#!/usr/bin/env bash
# The capture's MP4 against its own lossless frames: how fast it is made, how big it is and how
# close it stays to the show. One run of
#     novaline-capture --quiet --video FILE.mp4 [--seconds S] [OPTIONS...]
# timed with `time` (wall, and user + system of the capture and its ffmpegs), then the same stretch
# captured lossless at 320 x 200 (FFV1), scaled with nearest neighbour to the MP4's size, and
# compared with ffmpeg's ssim filter frame by frame (both in the MP4's YUV 4:2:0). It prints the
# seconds of show made per second of work (by wall and by processor time), the picture's and the
# whole file's Mbit/s, the SSIM, and the load average before and after: the machine is shared, so
# a wall time under a load above the cores is only an upper bound.
#   bench/video_bench.sh [BUILD_DIR [SECONDS [CAPTURE OPTIONS...]]]   (default: build, the show)
#   bench/video_bench.sh build 15 --crf 24
set -euo pipefail
build=${1:-build}
seconds=${2:-}
shift $(( $# > 2 ? 2 : $# ))
capture=$build/tools/capture/novaline-capture
for program in "$capture" ffmpeg ffprobe; do
    if ! command -v "$program" >/dev/null; then
        echo "video_bench: $program is missing (build first: ./build.sh; Debian package ffmpeg)" >&2
        exit 1
    fi
done
length=()
[ -n "$seconds" ] && length=(--seconds "$seconds")

work=$(mktemp -d "${TMPDIR:-/tmp}/video_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
times=$( { TIMEFORMAT='%3R %3U %3S'; time "$capture" --quiet "${length[@]}" \
    --video "$work/show.mp4" "$@" >/dev/null 2>"$work/err"; } 2>&1 ) || {
    cat "$work/err" >&2
    exit 1
}
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
read -r wall user system <<<"$times"

"$capture" --quiet "${length[@]}" --native --video "$work/lossless.mkv" >/dev/null 2>&1
read -r width height <<<"$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height \
    -of csv=p=0 "$work/show.mp4" | tr ',' ' ')"
show=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/show.mp4")
picture_bits=$(ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 \
    "$work/show.mp4" | awk '{ n += $1 } END { print n * 8 }')
file_bits=$(( $(stat -c %s "$work/show.mp4") * 8 ))
# Both streams counted frame by frame from 0: the two files' time bases differ.
ssim=$(ffmpeg -hide_banner -nostats -i "$work/show.mp4" -i "$work/lossless.mkv" -lavfi \
    "[1:v]scale=$width:$height:flags=neighbor,format=yuv420p,settb=1/70,setpts=N[r];\
[0:v]format=yuv420p,settb=1/70,setpts=N[e];[e][r]ssim" -f null - 2>&1 |
    grep -o 'SSIM Y.*' | tail -1)

awk -v wall="$wall" -v cpu="$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')" \
    -v show="$show" -v pb="$picture_bits" -v fb="$file_bits" -v w="$width" -v h="$height" \
    -v options="${length[*]} $*" -v ssim="$ssim" -v lb="$load_before" -v la="$load_after" 'BEGIN {
    printf "novaline-capture --video show.mp4 %s: %dx%d, %.2f s of show\n", options, w, h, show
    printf "  wall %.1f s: %.2f s of show per second; user + system %.1f s: %.2f s of show per\n",
        wall, show / wall, cpu, show / cpu
    printf "  processor second (on 2 otherwise idle cores at most %.2fx real time)\n", 2 * show / cpu
    printf "  picture %.2f Mbit/s, whole file %.2f Mbit/s\n", pb / show / 1e6, fb / show / 1e6
    printf "  %s\n", ssim
    printf "  load average before %s, after %s\n", lb, la
}'
