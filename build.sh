#!/usr/bin/env bash
# Builds the project on Debian 12, installing what is missing first.
#   ./build.sh            build everything into build/
#   ./build.sh run        build, then run the demo
#   ./build.sh test       build, then run every test
#   ./build.sh sanitize   build into build-asan/ with AddressSanitizer + UBSan, then run every test
#   ./build.sh tsan       build into build-tsan/ with ThreadSanitizer, then run the sound tests
set -euo pipefail
cd "$(dirname "$0")"

# xvfb and xdotool: the demo's smoke and picture tests run the real program on a virtual display
# and press keys there; openbox: the picture test's window manager.
# libpng-dev: previews of the generated pictures; libfreetype-dev and fonts-dejavu-core: the font
# sheet is rasterised from a freely licensed font at build time.
# ffmpeg: the capture tool encodes its video through the ffmpeg program; its test runs it.
packages=(cmake g++ ninja-build pkg-config libsdl2-dev libgtest-dev libgmock-dev libbenchmark-dev
          libpng-dev libfreetype-dev fonts-dejavu-core xvfb xdotool openbox ffmpeg)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
    else
        echo "Missing packages: ${missing[*]}" >&2
        echo "Install them with: sudo apt-get install ${missing[*]}" >&2
        exit 1
    fi
}

configure_and_build() {  # build dir, extra cmake arguments...
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir"
}

mode=${1:-build}
install_missing
case "$mode" in
    build)
        configure_and_build build ;;
    run)
        configure_and_build build
        exec build/director/novaline ;;
    test)
        configure_and_build build
        ctest --test-dir build --output-on-failure -j "$(nproc)" ;;
    sanitize)
        configure_and_build build-asan -DNOVALINE_SANITIZE=ON
        ctest --test-dir build-asan --output-on-failure -j "$(nproc)" ;;
    tsan)
        # The platform tests run SDL's own threads, which are not instrumented: the sound
        # engine's threads are what this build is for.
        configure_and_build build-tsan -DNOVALINE_TSAN=ON -DNOVALINE_BENCH=OFF
        TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
            ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" -E '^Sdl' ;;
    *)
        echo "usage: $0 [build|run|test|sanitize|tsan]" >&2
        exit 2 ;;
esac
