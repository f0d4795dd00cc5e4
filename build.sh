#!/usr/bin/env bash
# Builds the project on Debian 12, installing what is missing first.
#   ./build.sh            build everything into build/
#   ./build.sh run        build, then run the demo
#   ./build.sh test       build, then run every test
#   ./build.sh sanitize   build into build-asan/ with AddressSanitizer + UBSan, then run every test
#   ./build.sh tsan       build into build-tsan/ with ThreadSanitizer, then run the tests that run
#                         threads
#   ./build.sh web        build the web page into build-web/ with Emscripten
#   ./build.sh package    build the programs Release into build-release/ and their Debian package
set -euo pipefail
cd "$(dirname "$0")"

# xvfb and xdotool: the demo's smoke and picture tests run the real program on a virtual display
# and press keys there; openbox: the picture test's window manager.
# libpng-dev: previews of the generated pictures; libfreetype-dev and fonts-dejavu-core: the font
# sheet is rasterised from a freely licensed font at build time.
# ffmpeg: the capture tool encodes its video through the ffmpeg program; its test runs it.
# man-db: the manual pages' test renders them through man.
# libx11-dev: the picture test's probe reads the screen through Xlib.
# emscripten: the web page; chromium: the page's test loads it in a real browser (driven over the
# DevTools protocol by Node.js, which emscripten brings). Both without their recommendations, which
# add a desktop's daemons and nothing the build uses.
packages=(cmake g++ ninja-build pkg-config libsdl2-dev libgtest-dev libgmock-dev libbenchmark-dev
          libpng-dev libfreetype-dev fonts-dejavu-core xvfb xdotool openbox ffmpeg libx11-dev man-db)
lean_packages=(emscripten chromium)

missing_of() {  # packages... -> those not installed
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
    done
}

install_missing() {
    local missing lean
    mapfile -t missing < <(missing_of "${packages[@]}")
    mapfile -t lean < <(missing_of "${lean_packages[@]}")
    [ ${#missing[@]} -eq 0 ] && [ ${#lean[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]} ${lean[*]}"
        apt-get update -qq
        if [ ${#missing[@]} -gt 0 ]; then
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
        fi
        if [ ${#lean[@]} -gt 0 ]; then
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${lean[@]}"
        fi
    else
        echo "Missing packages: ${missing[*]} ${lean[*]}" >&2
        echo "Install them with: sudo apt-get install ${missing[*]} ${lean[*]}" >&2
        exit 1
    fi
}

# ccache, where installed, keeps a rebuild of unchanged sources (another tree, another folder)
# from compiling them again.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

configure_and_build() {  # build dir, extra cmake arguments...
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
    cmake --build "$dir"
}

# The page: the native build's generators make the embedded block's files first, then Emscripten
# builds the show against them. Debian's emscripten runs its optimizer on Node.js with the
# packaged modules (acorn) from /usr/share/nodejs.
build_web() {
    configure_and_build build
    NODE_PATH=/usr/share/nodejs emcmake cmake -S . -B build-web -G Ninja \
        -DCMAKE_BUILD_TYPE=Release -DNOVALINE_TESTS=OFF -DNOVALINE_BENCH=OFF \
        -DNOVALINE_ASSET_DIR="$PWD/build/assets" >/dev/null
    NODE_PATH=/usr/share/nodejs cmake --build build-web
    du -cb build-web/index.html build-web/novaline.js build-web/novaline.wasm \
        build-web/sound_worklet.js | tail -1 |
        awk '{ printf "The page for a server: build-web/index.html (%.2f MB with its files)\n", $1 / 1e6 }'
    du -b build-web/novaline.html |
        awk '{ printf "The page in one file: build-web/novaline.html (%.2f MB)\n", $1 / 1e6 }'
}

# The Debian package: the programs in a Release tree of their own (no tests or benchmarks), with
# the hardening flags Debian builds its packages with (dpkg-buildflags: stack protector, fortified
# calls, relocations read-only and bound at start), then CPack, which strips them and has
# dpkg-shlibdeps (dpkg-dev) find their dependencies; lintian, Debian's package checker, reads the
# result.
package_packages=(dpkg-dev lintian)
build_package() {
    local flags cppflags ldflags
    flags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)
    cppflags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS)
    ldflags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)
    configure_and_build build-release -DCMAKE_BUILD_TYPE=Release -DNOVALINE_TESTS=OFF \
        -DNOVALINE_BENCH=OFF -DCMAKE_C_FLAGS="$flags $cppflags" \
        -DCMAKE_CXX_FLAGS="$flags $cppflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags"
    rm -f build-release/novaline_*.deb
    (cd build-release && cpack -G DEB >/dev/null)
    local deb
    deb=$(ls build-release/novaline_*.deb)
    echo "The package: $deb ($(stat -c %s "$deb") bytes)"
    dpkg-deb -f "$deb" Depends Recommends
    lintian --fail-on error "$deb"
}

mode=${1:-build}
[ "$mode" = package ] && packages+=("${package_packages[@]}")
install_missing
case "$mode" in
    build)
        configure_and_build build ;;
    run)
        configure_and_build build
        exec build/director/novaline ;;
    test)
        build_web
        ctest --test-dir build --output-on-failure -j "$(nproc)" ;;
    sanitize)
        # The benchmarks are not run here, and the assets are the native build's: its generators
        # made them once.
        configure_and_build build
        configure_and_build build-asan -DNOVALINE_SANITIZE=ON -DNOVALINE_BENCH=OFF \
            -DNOVALINE_ASSET_DIR="$PWD/build/assets"
        ctest --test-dir build-asan --output-on-failure -j "$(nproc)" ;;
    tsan)
        # Only the tests that run threads (label `threads`). The platform tests and the live
        # player run SDL's own threads, which are not instrumented, and SDL's device reads the
        # ring unsynchronised by design, as a sound card would: the sound engine's threads are
        # what this build is for.
        cmake -S . -B build-tsan -G Ninja "${launcher[@]}" -DNOVALINE_TSAN=ON -DNOVALINE_BENCH=OFF \
            >/dev/null
        cmake --build build-tsan --target threads_tests
        TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
            ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" -L threads --no-tests=error ;;
    web)
        build_web ;;
    package)
        build_package ;;
    *)
        echo "usage: $0 [build|run|test|sanitize|tsan|web|package]" >&2
        exit 2 ;;
esac
