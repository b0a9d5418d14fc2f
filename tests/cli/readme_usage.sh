#!/usr/bin/env bash
# The README shows folioknife-split --help as it reads in an English (C) locale, in the fenced
# block right after the comment that names it. An option added, renamed or reworded without the
# README following fails here, with the difference. Trailing blanks are not compared.
#   readme_usage.sh FOLIOKNIFE_SPLIT README.md
set -u
program=$(realpath "$1")
readme=$2
# shellcheck source=../../scripts/lib/checks.sh
source "$(dirname "$0")/../../scripts/lib/checks.sh"
work=$(mktemp -d)
remove_work() { rm -rf "$work"; }
at_exit remove_work

awk 'index($0, "<!-- folioknife-split --help") == 1 { state = 1; next }
     state == 1 && /^```/ { state = 2; next }
     state == 2 && /^```/ { exit }
     state == 2 { print }' "$readme" | sed 's/[[:blank:]]*$//' >"$work/README"
[ -s "$work/README" ] || fail "$readme holds no block after <!-- folioknife-split --help ... -->"

# No LANGUAGE, LC_* or code page of the caller's may reach the program.
env -i LANG=C LC_ALL=C "$program" --help >"$work/help" 2>&1 || fail "--help ended with status $?"
sed -i 's/[[:blank:]]*$//' "$work/help"

diff -u --label "README.md" --label "folioknife-split --help (LANG=C)" "$work/README" "$work/help" ||
    fail "the README's usage block differs from --help (above); copy the help into README.md"
echo "the README's usage block is folioknife-split --help"
