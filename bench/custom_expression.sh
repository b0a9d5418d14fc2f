#!/usr/bin/env bash
# Times folioknife-split with custom expressions against the default mode on the generated
# 100 MB GBK novel of bench/split_vs_gnu_split.sh (about 6 KB a chapter), medians of several
# runs, each into a fresh folder; then expressions that blow up an engine, which must end
# within 10 s: with nothing found, or refused with nothing written.
#   bench/custom_expression.sh [RUNS] [MEGABYTES]
# Target: a custom expression takes at most twice the default mode's time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
megabytes=${2:-100}
fk=$root/build/src/cli/folioknife-split
gen=$root/build/tools/fk-gennovel
[ -x "$fk" ] || "$root/scripts/build.sh" >/dev/null
work=$(mktemp -d "${BENCH_DIR:-$root/build}/bench.XXXXXX")
cleanup() { [ "$BASHPID" = "$$" ] && rm -rf "$work"; }
trap cleanup EXIT
novel=$work/novel.txt
"$gen" "$novel" --encoding gbk --chapters $((megabytes * 1000000 / 6000)) --chapter-bytes 6000 >/dev/null
echo "novel: $(stat -c %s "$novel") bytes, GBK"

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.4f", b - a}'; }
# The runs of the default mode and of each expression take turns, so that all of them meet
# the same state of the disk (ext4 slows file creation for minutes after mass deletions).
expressions=('' '第[0-9一二三四五六七八九十百千万]+章' '^\s*第.{1,9}[章节回卷]' '(?=第[0-9]+章)' '第.{1,9}章')
declare -A split_t list_t found
n=0
for _ in $(seq 1 "$runs"); do
    for i in "${!expressions[@]}"; do
        e=${expressions[$i]}
        args=()
        [ -n "$e" ] && args=(-e "$e")
        n=$((n + 1))
        t0=$EPOCHREALTIME
        "$fk" --force --codepage GBK -n 10 -o "$work/out-$n" "${args[@]}" "$novel" >"$work/out.txt" 2>/dev/null
        t1=$EPOCHREALTIME
        "$fk" --codepage GBK --list "${args[@]}" "$novel" >"$work/list.txt" 2>/dev/null
        t2=$EPOCHREALTIME
        split_t[$i]+="$(seconds "$t0" "$t1") "
        list_t[$i]+="$(seconds "$t1" "$t2") "
        found[$i]=$(grep -o '[0-9]* headings' "$work/out.txt" | head -n 1)
    done
done
printf '%-36s %10s %10s  %s\n' expression split --list headings
worst=0
for i in "${!expressions[@]}"; do
    s=$(tr ' ' '\n' <<<"${split_t[$i]}" | grep . | median)
    l=$(tr ' ' '\n' <<<"${list_t[$i]}" | grep . | median)
    [ "$i" = 0 ] && base_s=$s && base_l=$l
    name=${expressions[$i]:-(default mode)}
    printf '%-36s %9ss %9ss  %s' "$name" "$s" "$l" "${found[$i]}"
    if [ "$i" != 0 ]; then
        ratio=$(awk -v t="$s" -v b="$base_s" 'BEGIN {printf "%.2f", t / b}')
        printf '  (split %.2fx, --list %.2fx the default mode)' "$ratio" \
            "$(awk -v t="$l" -v b="$base_l" 'BEGIN {printf "%.2f", t / b}')"
        worst=$(awk -v r="$ratio" -v w="$worst" 'BEGIN {print (r > w ? r : w)}')
    fi
    echo
done
# Without a Z or an X in the novel the engine knows at once that nothing matches (status 0,
# one volume); with a character every match needs present it gives up (status 1).
for e in '((((.+)+)+)+)+Z' '(.*)*第X' '((((.+)+)+)+)+第' '(.*)*第\d{9}'; do
    t0=$EPOCHREALTIME
    status=0
    "$fk" --codepage GBK -e "$e" -o "$work/refused" "$novel" >/dev/null 2>"$work/err.txt" || status=$?
    t1=$EPOCHREALTIME
    written=$([ -e "$work/refused" ] && echo yes || echo no)
    printf '%-36s %9ss  status %s, folder written: %s\n' "$e" "$(seconds "$t0" "$t1")" \
        "$status" "$written"
done
echo "largest ratio: $worst (target <= 2)"
awk -v w="$worst" 'BEGIN {exit !(w <= 2)}'
