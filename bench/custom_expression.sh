#!/usr/bin/env bash
# Times folioknife-split with custom expressions against the default mode on a generated
# 100 MB GBK novel (about 6 KB a chapter), the runs of each taking turns with the default
# mode's so that each pair meets the same state of the disk: medians, and the smallest and
# largest ratio of a pair. Then expressions that blow up an engine, which must end within 10 s:
# with nothing found, or refused with nothing written.
#   bench/custom_expression.sh [RUNS] [MEGABYTES]
# Targets: a split at most 1.5 times the default mode's time, peak memory at most 1.3 times
# the novel, a --list at most twice the default mode's.
set -euo pipefail
runs=${1:-5}
megabytes=${2:-100}
source "$(dirname "$0")/common.sh"
work=$(mktemp -d "${BENCH_DIR:-$root/build}/bench.XXXXXX")
cleanup() { [ "$BASHPID" = "$$" ] && rm -rf "$work"; }
trap cleanup EXIT
novel=$work/novel.txt
"$gen" "$novel" --encoding gbk --chapters $((megabytes * 1000000 / 6000)) --chapter-bytes 6000 >/dev/null
size=$(stat -c %s "$novel")
echo "novel: $size bytes, GBK"

expressions=('' '^\s*第.{1,9}章' '第[0-9一二三四五六七八九十百千万]+章' '(?=第[0-9]+章)' '第.{1,9}章'
             '(?<=[\s　]{0,4})第.{1,9}章')
declare -A split_t list_t peak
n=0
for _ in $(seq 1 "$runs"); do
    for i in "${!expressions[@]}"; do
        e=${expressions[$i]}
        args=()
        [ -n "$e" ] && args=(-e "$e")
        n=$((n + 1))
        read -r t m _ < <(measure "$split" --force --codepage GBK -n 10 -o "$work/out-$n" "${args[@]}" "$novel")
        rm -rf "$work/out-$n"
        read -r l _ < <(measure "$split" --codepage GBK --list "${args[@]}" "$novel")
        split_t[$i]+="$t "
        list_t[$i]+="$l "
        peak[$i]+="$m "
    done
done
seconds() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.4f", b - a}'; }
# ratios NUMERATORS DENOMINATORS: "median min max" of the pairs' ratios.
ratios() {
    paste <(tr ' ' '\n' <<<"$1" | grep .) <(tr ' ' '\n' <<<"$2" | grep .) |
        awk '{print $1 / $2}' | sort -g |
        awk '{a[NR]=$1} END {m = NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2; printf "%.2f %.2f %.2f", m, a[1], a[NR]}'
}
printf '%-32s %8s %-18s %8s %-18s %s\n' expression split '(x default)' --list '(x default)' 'peak (x novel)'
worst_split=0 worst_list=0 worst_peak=0
for i in "${!expressions[@]}"; do
    s=$(tr ' ' '\n' <<<"${split_t[$i]}" | grep . | median)
    l=$(tr ' ' '\n' <<<"${list_t[$i]}" | grep . | median)
    m=$(tr ' ' '\n' <<<"${peak[$i]}" | grep . | median)
    p=$(awk -v m="$m" -v s="$size" 'BEGIN {printf "%.2f", m * 1024 / s}')
    if [ "$i" = 0 ]; then
        printf '%-32s %7.3fs %-18s %7.3fs %-18s %s\n' '(default mode)' "$s" '' "$l" '' "$p"
        continue
    fi
    read -r sr smin smax <<<"$(ratios "${split_t[$i]}" "${split_t[0]}")"
    read -r lr lmin lmax <<<"$(ratios "${list_t[$i]}" "${list_t[0]}")"
    printf '%-32s %7.3fs %-18s %7.3fs %-18s %s\n' "${expressions[$i]}" "$s" "$sr ($smin-$smax)" \
        "$l" "$lr ($lmin-$lmax)" "$p"
    worst_split=$(awk -v r="$sr" -v w="$worst_split" 'BEGIN {print (r > w ? r : w)}')
    worst_list=$(awk -v r="$lr" -v w="$worst_list" 'BEGIN {print (r > w ? r : w)}')
    worst_peak=$(awk -v r="$p" -v w="$worst_peak" 'BEGIN {print (r > w ? r : w)}')
done
# The engine gives up on each within its limits: status 1, nothing written. (It rules out a
# match by a missing character only within 5,000 bytes of where it starts.)
for e in '((((.+)+)+)+)+Z' '(.*)*第X' '((((.+)+)+)+)+第' '(.*)*第\d{9}'; do
    t0=$EPOCHREALTIME
    status=0
    "$split" --codepage GBK -e "$e" -o "$work/refused" "$novel" >/dev/null 2>"$work/err.txt" || status=$?
    t1=$EPOCHREALTIME
    written=$([ -e "$work/refused" ] && echo yes || echo no)
    printf '%-36s %9ss  status %s, folder written: %s\n' "$e" "$(seconds "$t0" "$t1")" \
        "$status" "$written"
done
echo "largest medians: split ${worst_split}x (target <= 1.5), --list ${worst_list}x (target <= 2)," \
    "peak ${worst_peak}x the novel (target <= 1.3)"
awk -v s="$worst_split" -v l="$worst_list" -v p="$worst_peak" 'BEGIN {exit !(s <= 1.5 && l <= 2 && p <= 1.3)}'
