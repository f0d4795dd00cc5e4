#!/usr/bin/env bash
# Holds a program's manual page to its --help: every option the help text names is a tagged
# paragraph of the page's OPTIONS section, and every option tagged there is in the help text.
# The page has the sections a reader looks for, and renders through man without a warning, in 80
# columns.
#   man_page_test.sh PROGRAM PAGE
set -euo pipefail
program=$1
page=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# An option is a word that begins with one or two hyphens and a letter, standing alone (not the
# hyphen inside "16-bit" or "frame-000123").
options_in() {
    grep -oE '(^|[^[:alnum:]-])--?[[:alpha:]][[:alnum:]-]*' | sed -E 's/^[^-]*//' | sort -u
}

help=$("$program" --help) || { echo "FAIL: $program --help exits with status $?" >&2; exit 1; }
in_help=$(options_in <<<"$help")
[ -n "$in_help" ] || fail "$program --help names no option"

# The tags of the OPTIONS section: the line after each .TP up to the next section heading, with
# roff's \- read as a hyphen and its font changes taken out.
in_page=$(awk '/^\.SH / { inside = ($2 == "OPTIONS") } inside && tag { print; tag = 0 }
               inside && /^\.TP/ { tag = 1 }' "$page" |
          sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' | options_in)
[ -n "$in_page" ] || fail "$page tags no option in its OPTIONS section"

missing=$(comm -23 <(echo "$in_help") <(echo "$in_page"))
[ -z "$missing" ] || fail "$page does not describe what --help lists: $(echo $missing)"
extra=$(comm -13 <(echo "$in_help") <(echo "$in_page"))
[ -z "$extra" ] || fail "$page describes what --help does not list: $(echo $extra)"

for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES "SEE ALSO"; do
    grep -qE "^\.SH \"?$section\"?$" "$page" || fail "$page has no section $section"
done

warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) ||
    fail "man cannot render $page"
[ -z "$warnings" ] || fail "man warns on $page: $warnings"
width=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | wc -L)
[ "$width" -le 80 ] || fail "$page renders $width columns wide, past 80"

[ "$failures" -eq 0 ] || exit 1
echo "$page: $(echo $in_help) described, renders clean"
