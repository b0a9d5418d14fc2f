#!/usr/bin/env bash
# Times a re-split of a generated GBK novel into the folder that holds its 20,001 volumes
# already (one heading a volume) against its first split into an empty folder, medians of
# several runs, plain and with --delete-source (the volumes flushed to stable storage); then a
# re-split that changes every volume (-n 2 over the -n 1 split: 10,001 rewritten, 10,000 gone).
#   bench/resplit.sh [RUNS] [HEADINGS]
# Target: a re-split costs at most twice the first split.
set -euo pipefail
runs=${1:-3}
headings=${2:-20000}
source "$(dirname "$0")/common.sh"
# Fresh folders, deleted only at the end: ext4 slows file creation for minutes after a mass
# deletion (see split_vs_cp.sh).
work=$(mktemp -d "${BENCH_DIR:-$root/build}/bench.XXXXXX")
cleanup() { [ "$BASHPID" = "$$" ] && rm -rf "$work"; }
trap cleanup EXIT
novel=$work/novel.txt
"$gen" "$novel" --encoding gbk --chapters "$headings" --chapter-bytes 2000 >/dev/null
echo "novel: $(stat -c %s "$novel") bytes, $headings headings"

first=(); again=(); first_d=(); again_d=()
for i in $(seq 1 "$runs"); do
    sync
    read -r t _ < <(measure "$split" --force --codepage GBK -n 1 -o "$work/out-$i" "$novel")
    first+=("$t")
    read -r t _ < <(measure "$split" --force --codepage GBK -n 1 -o "$work/out-$i" "$novel")
    again+=("$t")
    cp "$novel" "$work/src-$i.txt"
    read -r t _ < <(measure "$split" --force --codepage GBK -n 1 --delete-source -o "$work/del-$i" "$work/src-$i.txt")
    first_d+=("$t")
    cp "$novel" "$work/src-$i.txt"
    read -r t _ < <(measure "$split" --force --codepage GBK -n 1 --delete-source -o "$work/del-$i" "$work/src-$i.txt")
    again_d+=("$t")
    [ ! -e "$work/src-$i.txt" ] || { echo "the re-split with --delete-source kept its source" >&2; exit 1; }
done
volumes=$(find "$work/out-1" -mindepth 1 -maxdepth 1 -name 'novel_*.txt' -printf . | wc -c)
joined=$(for k in $(seq 1 "$volumes"); do cat "$work/out-1/novel_$k.txt"; done | cmp -s - "$novel" && echo yes || echo no)
changed=()
for i in $(seq 1 "$runs"); do
    read -r t _ < <(measure "$split" --force --codepage GBK -n 2 -o "$work/out-$i" "$novel")
    changed+=("$t")
done
left=$(find "$work/out-1" -mindepth 1 -maxdepth 1 -name 'novel_*.txt' -printf . | wc -c)
report() {  # LABEL FIRST AGAIN
    awk -v l="$1" -v f="$2" -v a="$3" 'BEGIN {
        printf "%s: first split median %.3f s, re-split median %.3f s: ratio %.2f (target <= 2)\n", l, f, a, a / (f < 0.001 ? 0.001 : f)
    }'
}
report "plain" "$(printf '%s\n' "${first[@]}" | median)" "$(printf '%s\n' "${again[@]}" | median)"
report "--delete-source" "$(printf '%s\n' "${first_d[@]}" | median)" "$(printf '%s\n' "${again_d[@]}" | median)"
echo "$volumes volumes, joined back to the novel: $joined"
report "changing every volume (-n 2 over them)" "$(printf '%s\n' "${first[@]}" | median)" \
    "$(printf '%s\n' "${changed[@]}" | median)"
echo "after the re-split changing every volume: $left volumes left"
[ "$joined" = yes ] && [ "$left" = $(((volumes + 1) / 2)) ]
