#!/usr/bin/env bash
# Fuzzes the XM loader and the replay for SECONDS each (default 600), both at once, one process
# per fuzzer, from the seed corpus the project makes: the modules the writer builds
# (xm_seed_corpus) and the demo's song (compose_song).
#   tests/fuzz/run_fuzz.sh [SECONDS] [TARGET...]     TARGET: xm_loader_fuzz, xm_replay_fuzz
# Each fuzzer keeps what it learns in build-fuzz/corpus-TARGET between runs and logs to
# build-fuzz/TARGET.log; a finding lands in build-fuzz/ as crash-*, leak-*, timeout-* or oom-*.
# The closing lines give, per fuzzer, the executions, the coverage and the findings; exit 1 when
# there are findings.
set -euo pipefail

seconds="${1:-600}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(xm_loader_fuzz xm_replay_fuzz)
case "$seconds" in ''|*[!0-9]*) echo "run_fuzz.sh: SECONDS must be a whole number" >&2; exit 2 ;; esac
for target in "${targets[@]}"; do
    case "$target" in xm_loader_fuzz|xm_replay_fuzz) ;;
        *) echo "run_fuzz.sh: unknown fuzzer '$target'" >&2; exit 2 ;; esac
done

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$root/build-fuzz"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DNOVALINE_FUZZ=ON -DNOVALINE_TESTS=OFF -DNOVALINE_BENCH=OFF >/dev/null
ninja -C "$build" "${targets[@]}" xm_seed_corpus compose_song

program() {  # target name -> its path in the build
    find "$build" -type f -name "$1" -perm -u+x | head -n 1
}

seed="$build/corpus-seed"
rm -rf "$seed"
mkdir -p "$seed"
"$(program xm_seed_corpus)" "$seed"
"$(program compose_song)" "$seed/song.xm"

pids=()
for target in "${targets[@]}"; do
    mkdir -p "$build/corpus-$target"
    # A song at tens of thousands of BPM runs a tick every frame: 0.8 s of it takes seconds
    # under the sanitizers and, at the lowest priority on a busy machine, once took over 25.
    # Only a unit slower than two minutes is taken for a hang.
    "$(program "$target")" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=120 \
        -print_final_stats=1 \
        -artifact_prefix="$build/$target-" "$build/corpus-$target" "$seed" \
        >"$build/$target.log" 2>&1 &
    pids+=($!)
done

status=0
for i in "${!targets[@]}"; do
    wait "${pids[$i]}" || status=1
done

for target in "${targets[@]}"; do
    log="$build/$target.log"
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*' || true)
    features=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*' || true)
    # libFuzzer also keeps slow units (slow-unit-*): worth a look, not findings.
    findings=$(find "$build" -maxdepth 1 -newer "$seed/song.xm" \( -name "$target-crash-*" \
               -o -name "$target-leak-*" -o -name "$target-timeout-*" -o -name "$target-oom-*" \) |
               wc -l)
    echo "$target: ${execs:-?} executions in ${seconds} s, coverage ${cov:-?} edges" \
         "(${features:-?} features), corpus $(find "$build/corpus-$target" -type f | wc -l) inputs," \
         "$findings findings (log: $log)"
    [ "$findings" -eq 0 ] || status=1
done
exit "$status"
