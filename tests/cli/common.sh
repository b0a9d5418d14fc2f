# shellcheck shell=bash
# Sourced by the command-line test scripts: a scratch folder to work in (removed at the end),
# a UTF-8 terminal, failures counted (fail, until_ok, count_volumes and finish come from
# scripts/lib/checks.sh), and the volumes of an output folder joined.
# shellcheck source=../../scripts/lib/checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/checks.sh"
keep_going=yes
work=$(mktemp -d)
remove_work() { rm -rf "$work"; }
at_exit remove_work
chmod 755 "$work"  # an unprivileged user must be able to reach into it
cd "$work" || exit 1
# The program speaks Chinese under a Chinese locale, as its readers run it.
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
# expect_status WANT CMD...: runs CMD, captures stdout/stderr in out.txt/err.txt.
expect_status() {
    local want=$1; shift
    "$@" >out.txt 2>err.txt
    local got=$?
    [ "$got" = "$want" ] || fail "'$*' exited $got, expected $want; stderr: $(cat err.txt)"
}
# seed_random: seeds $RANDOM for a test whose moments are drawn at random, and prints the
# seed; FK_SEED=<seed> draws the same ones again, so that a failure can be reproduced.
seed_random() {
    local seed=${FK_SEED:-$(($(date +%s%N) % 32768))}
    RANDOM=$seed
    echo "seed $seed (FK_SEED=$seed draws the same moments again)"
}
# joined DIR [COUNT]: the volumes 1..COUNT of DIR (by default all of them), in order.
joined() {
    local i n=${2:-$(count_volumes "$1")}
    for i in $(seq 1 "$n"); do cat "$1/novel_$i.txt"; done
}
# two_novels FK_GENNOVEL GBK UTF8: the pair of novels the splits are checked on: GBK with a
# preface and 40 headings, UTF-8 without a preface and 23 headings, CRLF lines.
two_novels() {
    "$1" "$2" --encoding gbk --chapters 40 --seed 3 >/dev/null
    "$1" "$3" --encoding utf8 --chapters 23 --seed 5 --no-preface >/dev/null
}
# epubcheck_ok BOOK: epubcheck reports neither error nor warning (its report in check.txt).
epubcheck_ok() {  # BOOK: epubcheck reports nothing
    java -jar /usr/share/java/epubcheck.jar "$1" >check.txt 2>&1 ||
        { fail "epubcheck $1: $(grep -E 'ERROR|WARNING|FATAL' check.txt | head -3)"; return; }
    grep -q 'No errors or warnings detected' check.txt || fail "epubcheck $1: $(cat check.txt)"
}
