#!/usr/bin/env bash
# Installs the build into a fresh prefix with `cmake --install` and holds it to what a user gets:
# exactly the four programs, their manual pages and the documents (and the web page where it was
# built), no library looked up in the build tree, and every program answering --version and
# --help from the prefix alone, with the build and source folders hidden from it.
#   install_test.sh BUILD_DIR SOURCE_DIR VERSION WEB_BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
version=$3
web=$4
programs=(novaline xmrender novaline-play novaline-capture)

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
case "$prefix" in "$build"/* | "$source"/*)
    echo "the temporary prefix $prefix lies in the tree it must do without" >&2; exit 1 ;;
esac
cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || {
    cat "$prefix.log" >&2; rm -f "$prefix.log"; exit 1; }
rm -f "$prefix.log"

expected=(bin/novaline bin/xmrender bin/novaline-play bin/novaline-capture
          share/man/man6/novaline.6.gz share/man/man1/xmrender.1.gz
          share/man/man1/novaline-play.1.gz share/man/man1/novaline-capture.1.gz
          share/doc/novaline/README.md share/doc/novaline/LICENSE share/doc/novaline/copyright
          share/doc/novaline/changelog.gz)
if [ -e "$web/novaline.wasm" ]; then
    expected+=(share/novaline/web/index.html share/novaline/web/novaline.js
               share/novaline/web/novaline.wasm)
fi
diff <(printf '%s\n' "${expected[@]}" | sort) \
     <(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort) ||
    { echo "the install (>) is not what a user is to get (<)" >&2; exit 1; }
leftover=$(cd "$prefix" && find . -type d -empty)
[ -z "$leftover" ] || { echo "the install leaves empty folders: $leftover" >&2; exit 1; }

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
for p in "${programs[@]}"; do
    libraries=$(ldd "$prefix/bin/$p")
    if grep -q -e "not found" -e "$build" -e "$source" <<<"$libraries"; then
        fail "$p looks its libraries up in the build: $libraries"
    fi
    if readelf -d "$prefix/bin/$p" | grep -q -e RPATH -e RUNPATH; then
        fail "$p keeps a run path: $(readelf -d "$prefix/bin/$p" | grep -e RPATH -e RUNPATH)"
    fi
done

# The programs run from the prefix in a mount namespace of their own in which the build and the
# source folders are empty, as if moved away; no display, so the demo answering its options must
# not reach for one.
isolate=(unshare --mount)
[ "$(id -u)" -eq 0 ] || isolate=(unshare --mount --map-root-user)
if ! "${isolate[@]}" true 2>/dev/null; then
    echo "cannot make a mount namespace here (${isolate[*]}): the build tree cannot be hidden" >&2
    exit 77
fi
runs=$("${isolate[@]}" env -u DISPLAY -u WAYLAND_DISPLAY bash -c '
    prefix=$1; build=$2; source=$3; shift 3
    mount -t tmpfs none "$build" && mount -t tmpfs none "$source" || exit 1
    if [ -e "$build/CMakeCache.txt" ]; then echo "the build folder is still seen" >&2; exit 1; fi
    for p in "$@"; do
        out=$("$prefix/bin/$p" --version 2>&1); echo "$p --version|$?|$out"
        out=$("$prefix/bin/$p" --help 2>&1); status=$?
        echo "$p --help|$status|$(head -n 1 <<<"$out")"
    done
    out=$("$prefix/bin/novaline" --window 2>&1); echo "novaline --window|$?|$out"
' bash "$prefix" "$build" "$source" "${programs[@]}")
echo "$runs"
expect() {  # "program option" "status|the first line it prints, or its start"
    local line
    line=$(grep -F "$1|" <<<"$runs" || true)
    [[ "$line" == "$1|$2"* ]] || fail "'$1' gave '${line#"$1|"}', not '$2'"
}
for p in "${programs[@]}"; do
    expect "$p --version" "0|$p (novaline) $version"
    expect "$p --help" "0|usage: $p"
done
expect "novaline --window" \
    "2|novaline: the show takes no command line (only --help or --version), not '--window'"
[ "$failures" -eq 0 ] || exit 1
echo "the install in $prefix holds what it should and runs without the build"
