#!/usr/bin/env bash
# Hostile expressions and texts: catastrophic patterns on megabytes of text, an expression that
# matches empty everywhere, a text of nothing but headings, ten million lines without one. Each
# split must end and write every byte of the novel into exactly one volume.
#   hostile.sh FOLIOKNIFE_SPLIT
set -u
split=$(realpath "$1")
source "$(dirname "$0")/common.sh"

# whole CASE FILE DIR: the volumes in DIR, joined in order, are FILE.
whole() { joined "$3" | cmp -s - "$2" || fail "$1: volumes do not join back"; }
run() {  # run CASE FILE DIR ARGS...: a split that must succeed (3: no heading, one file)
    local name=$1 file=$2 dir=$3
    shift 3
    timeout 120 "$split" "$@" -o "$dir" "$file" >out.txt 2>err.txt
    local status=$?
    case $status in 0 | 3) ;; *) fail "$name: status $status $(cat err.txt)" ;; esac
    whole "$name" "$file" "$dir"
}

# refused CASE FILE DIR ARGS...: a split the engine gives up on: status 1, its message, and
# nothing written, not even the folder.
refused() {
    local name=$1 file=$2 dir=$3
    shift 3
    timeout 120 "$split" "$@" -o "$dir" "$file" >out.txt 2>err.txt
    local status=$?
    [ "$status" = 1 ] || fail "$name: status $status, expected 1"
    grep -q '章节表达式过于复杂，无法完成搜索' err.txt || fail "$name: message: $(cat err.txt)"
    [ -e "$dir" ] && fail "$name: $dir was created"
}

# Two megabytes of 'a' with headings after them, and a line-based variant.
{ head -c 2000000 /dev/zero | tr '\0' a; printf 'b\n'; for i in 1 2 3; do printf '第%s章 x\n' $i; done; } > as.txt
for i in $(seq 1 60000); do echo "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa x"; done > lines.txt
refused "(a+)+$" as.txt o1 -e '(a+)+$'
refused "(.*)*x" as.txt o2 -e '(.*)*x'
refused "(a|aa)*c lines" lines.txt o3 -e '(a|aa)*c'
run "default after a long run" as.txt o4 -n 1
[ "$(count_entries o4)" = 4 ] || fail "default expression after the run: $(count_entries o4) files"

# An expression that matches empty at every position: after an empty match the next search
# starts one character later, so every character of a line of 37 (the x a match of its own)
# and the very end are cuts: 2,220,001 matches, 2,220,002 pieces.
run "empty everywhere" lines.txt o5 -e 'x*' --anywhere -n 1000000
[ "$(count_entries o5)" = 3 ] || fail "empty match: $(count_entries o5) files"
[ "$(tail -n 1 out.txt | grep -o '2220001')" = 2220001 ] || fail "empty match: $(tail -n 1 out.txt)"

# Nothing but headings, glued on one line: only the first begins its line; with --anywhere
# every volume starts with one, the first is empty.
for i in $(seq 1 3000); do printf '第%s章' "$i"; done > headings.txt
run "only headings" headings.txt o6 -n 1
[ "$(count_entries o6)" = 2 ] || fail "only headings: $(count_entries o6) files"
run "only headings, anywhere" headings.txt o6a -n 1 --anywhere --force
[ "$(count_entries o6a)" = 3001 ] || fail "only headings, anywhere: $(count_entries o6a) files"

# Ten million lines without a heading: one volume, the whole text.
yes 'line without a heading' | head -n 10000000 > long.txt
run "ten million lines" long.txt o7
[ "$(count_entries o7)" = 1 ] || fail "ten million lines: $(count_entries o7) files"

finish hostile-input
