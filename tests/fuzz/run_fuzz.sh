#!/usr/bin/env bash
# Builds an XM fuzzer (TARGET: xm_loader_fuzz, the loader alone, or xm_replay_fuzz, load and play)
# with clang and runs it for SECONDS (default 600) on build-fuzz/corpus-TARGET,
# starting from a freshly written seed corpus. Crashes land in build-fuzz/ as crash-* files.
set -euo pipefail

seconds="${1:-600}"
target="${2:-xm_loader_fuzz}"  # or xm_replay_fuzz: load, then play the song
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$root/build-fuzz"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DNOVALINE_FUZZ=ON -DNOVALINE_TESTS=OFF
ninja -C "$build" "$target" xm_seed_corpus

mkdir -p "$build/corpus-$target" "$build/corpus-seed"
"$build/tests/support/xm_seed_corpus" "$build/corpus-seed"

"$build/tests/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
  -artifact_prefix="$build/" "$build/corpus-$target" "$build/corpus-seed"
