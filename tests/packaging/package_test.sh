#!/usr/bin/env bash
# The Debian package as a user meets it, on this machine (as root, so in CI): lintian finds no
# error, `apt-get install ./FILE.deb` installs it, dpkg lists exactly the files the install rules
# put, every program answers --version from /usr/bin with the package's version, the demo runs and
# ends on a virtual display, the capture records from the package, and removing it takes them away.
#   package_test.sh FILE.deb BUILD_DIR
set -euo pipefail
deb=$(realpath "$1")
build=$2
version=$(dpkg-deb -f "$deb" Version)
[ "$(id -u)" -eq 0 ] || { echo "installing a package needs root" >&2; exit 77; }
if dpkg-query -W -f='${Status}' novaline 2>/dev/null | grep -q "install ok installed"; then
    echo "novaline is installed already: this test would replace and then remove it" >&2
    exit 1
fi
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

lint=$(lintian --fail-on error "$deb" 2>&1) || fail "lintian reports an error"
grep -v "^running with root privileges" <<<"$lint" || true

# What the install rules put under /usr, from a staged install of the same tree.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
expected=$(cd "$stage" && find . ! -type d | sed 's|^\.||' | sort)

# Another apt-get at work on the machine is waited for, not taken as a failure.
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=600)
"${apt[@]}" install "$deb" >"$stage/apt.log" 2>&1 ||
    { cat "$stage/apt.log" >&2; exit 1; }
listed=$(dpkg -L novaline | while read -r path; do [ -d "$path" ] || echo "$path"; done | sort)
diff <(echo "$expected") <(echo "$listed") ||
    fail "dpkg -L (>) is not what the install rules put (<)"
for p in novaline xmrender novaline-play novaline-capture; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "/usr/bin/$p" --version 2>&1) ||
        fail "/usr/bin/$p --version exits with status $?"
    [ "$out" = "$p (novaline) $version" ] || fail "/usr/bin/$p --version prints '$out'"
done
# The show itself from the package: the demo on a virtual display, and two seconds of it captured.
"$(dirname "$0")/../platform/demo_smoke_test.sh" /usr/bin/novaline >"$stage/smoke.log" 2>&1 ||
    { cat "$stage/smoke.log" >&2; fail "the installed demo does not run and end cleanly"; }
/usr/bin/novaline-capture --seconds 2 --wav "$stage/show.wav" --quiet 2>"$stage/capture.log" ||
    { cat "$stage/capture.log" >&2; fail "the installed capture fails"; }
[ "$(stat -c %s "$stage/show.wav" 2>/dev/null || echo 0)" -eq $((44 + 2 * 44100 * 4)) ] ||
    fail "the installed capture's two seconds of sound are not 2 x 44100 frames"

"${apt[@]}" remove --purge novaline >"$stage/apt.log" 2>&1 ||
    { cat "$stage/apt.log" >&2; exit 1; }
left=$(while read -r path; do [ ! -e "$path" ] || echo "$path"; done <<<"$expected")
[ -z "$left" ] || fail "removing the package leaves $left"

[ "$failures" -eq 0 ] || exit 1
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, installs, lists what the install puts," \
     "runs and is removed cleanly"
