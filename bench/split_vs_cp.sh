#!/usr/bin/env bash
# Times folioknife-split on a generated ~100 MB GBK novel against cp of the same file to the
# same disk; several runs, medians; and the split's peak memory against the novel's size.
#   bench/split_vs_cp.sh [RUNS] [CHAPTERS]
# Targets: split wall time <= 3x cp; peak memory <= 2.5x the novel.
set -euo pipefail
runs=${1:-5}
chapters=${2:-3300}
source "$(dirname "$0")/common.sh"
# A fresh folder, and the deletions at the very end: ext4 searches its recently freed inodes
# (for some minutes after a mass deletion) whenever it creates a file, which would slow the
# split's hundreds of new files far more than cp's one. Run it again only minutes later.
work=$(mktemp -d "${BENCH_DIR:-$root/build}/bench.XXXXXX")
novel=$work/novel-gbk.txt
"$gen" "$novel" --encoding gbk --chapters "$chapters" --chapter-bytes 30000 >/dev/null
size=$(stat -c %s "$novel")
echo "novel: $size bytes, $chapters headings"

split_times=(); split_mem=(); cp_times=()
# Every run writes to a fresh folder: removing hundreds of files just before creating them
# again makes the file system search its recently freed inodes, which no user's split meets.
for i in $(seq 1 "$runs"); do
    sync
    read -r t m _ < <(measure "$split" --force --codepage GBK -n 10 -o "$work/out-$i" "$novel")
    split_times+=("$t"); split_mem+=("$m")
    read -r t _ < <(measure cp "$novel" "$work/copy-$i.txt")
    cp_times+=("$t")
done
volumes=$(find "$work/out-1" -mindepth 1 -maxdepth 1 -printf . | wc -c)
joined=$(for k in $(seq 1 "$volumes"); do cat "$work/out-1/novel_$k.txt"; done | cmp -s - "$novel" && echo yes || echo no)
st=$(printf '%s\n' "${split_times[@]}" | median)
ct=$(printf '%s\n' "${cp_times[@]}" | median)
sm=$(printf '%s\n' "${split_mem[@]}" | median)
awk -v st="$st" -v ct="$ct" -v sm="$sm" -v size="$size" -v joined="$joined" 'BEGIN {
    ct = (ct < 0.001 ? 0.001 : ct)
    printf "split median %.3f s, cp median %.3f s: time ratio %.2f (target <= 3)\n", st, ct, st / ct
    printf "split peak memory %.1f MB for a %.1f MB novel: memory ratio %.2f (target <= 2.5)\n", sm / 1024, size / 1048576, sm * 1024 / size
    printf "volumes join back to the novel: %s\n", joined
}'
rm -rf "$work"
