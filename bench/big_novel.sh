#!/usr/bin/env bash
# Splits a generated GBK novel larger than 2 GiB and checks that the volumes join back to it
# byte for byte; prints the time and peak memory of the split. Needs about 3x the novel's size
# on disk and 1.2x in memory. Not part of CI (it takes minutes).
#   bench/big_novel.sh [CHAPTERS]        (default 75000, about 2.3 GB)
set -euo pipefail
chapters=${1:-75000}
source "$(dirname "$0")/common.sh"
work=${BENCH_DIR:-$root/build/bench-big}
rm -rf "$work" && mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
novel=$work/novel.txt
"$gen" "$novel" --encoding gbk --chapters "$chapters" --chapter-bytes 30000 >/dev/null
size=$(stat -c %s "$novel")
echo "novel: $size bytes ($(awk -v s="$size" 'BEGIN{printf "%.2f", s/1073741824}') GiB), $chapters headings"
/usr/bin/time -f '%e %M' -o "$work/time.txt" "$split" --codepage GBK -n 100 -o "$work/out" "$novel"
read -r seconds kilobytes < "$work/time.txt"
volumes=$(find "$work/out" -mindepth 1 -maxdepth 1 -printf . | wc -c)
if for k in $(seq 1 "$volumes"); do cat "$work/out/novel_$k.txt"; done | cmp -s - "$novel"; then
    joined=yes
else
    joined=NO
fi
awk -v s="$seconds" -v k="$kilobytes" -v size="$size" -v v="$volumes" -v j="$joined" 'BEGIN {
    printf "split: %.1f s, peak memory %.0f MB (%.2fx the novel), %d volumes, joined back byte for byte: %s\n",
        s, k / 1024, k * 1024 / size, v, j
}'
[ "$joined" = yes ]
