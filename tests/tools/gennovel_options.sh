#!/usr/bin/env bash
# fk-gennovel's command line: --help prints the usage, every mistake is refused with status 64
# and writes nothing (a mistyped option once became the name of the file written), and a good
# command line writes the novel it names.
#   gennovel_options.sh FK_GENNOVEL
set -u
gen=$(realpath "$1")
# shellcheck source=../../scripts/lib/checks.sh
source "$(dirname "$0")/../../scripts/lib/checks.sh"
keep_going=yes
work=$(mktemp -d)
remove_work() { rm -rf "$work"; }
at_exit remove_work
cd "$work" || exit 1

# status | writes novel.txt | what it prints (a regular expression) | the command line
while IFS='|' read -r want writes says args; do
    read -ra words <<<"$args"
    "$gen" "${words[@]}" >out.txt 2>err.txt
    got=$?
    [ "$got" = "$want" ] || fail "fk-gennovel $args: status $got, expected $want"
    cat out.txt err.txt | grep -Eq -- "$says" || fail "fk-gennovel $args: says $(cat out.txt err.txt)"
    written=$(find . -mindepth 1 -maxdepth 1 ! -name out.txt ! -name err.txt)
    if [ "$writes" = yes ]; then
        if ! [ -s novel.txt ] || [ "$written" != ./novel.txt ]; then fail "fk-gennovel $args: wrote '$written'"; fi
    else
        [ -z "$written" ] || fail "fk-gennovel $args: wrote $written"
    fi
    rm -f ./*.txt
done <<'TABLE'
0|no|^usage: fk-gennovel OUT|--help
0|no|^usage: fk-gennovel OUT|-h
0|no|^usage: fk-gennovel OUT|novel.txt --help
64|no|unknown option --helo|--helo
64|no|unknown option --helo|novel.txt --helo
64|no|unknown option -|novel.txt -
64|no|no output file|--chapters 3
64|no|one output file only|novel.txt other.txt
64|no|missing value for --seed|novel.txt --seed
64|no|--chapters takes a whole number, not "-3"|novel.txt --chapters -3
64|no|--chapter-bytes takes a whole number, not "3k"|novel.txt --chapter-bytes 3k
64|no|unknown encoding latin1|novel.txt --encoding latin1
0|yes|^3$|novel.txt --chapters 3 --encoding utf8 --seed 2
0|yes|^5$|--reader --chapters 5 novel.txt --damage
TABLE
finish fk-gennovel
