#!/usr/bin/env bash
# Times folioknife-split --epub on a generated ~100 MB novel (GBK by default), several runs,
# medians of wall time and peak memory; then once with --delete-source, which reads the book
# back from disk and compares it with the novel before deleting it; and reads the book with
# Python's zipfile to check that it holds the novel's lines.
#   bench/epub.sh [RUNS] [ENCODING] [CHAPTERS]      (defaults 3, gbk, 3300)
# Targets: at most 1.5 s wall on two cores; peak memory at most 1.3x the novel.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-3}
encoding=${2:-gbk}
chapters=${3:-3300}
split=$root/build/src/cli/folioknife-split
gen=$root/build/tools/fk-gennovel
[ -x "$split" ] || "$root/scripts/build.sh" >/dev/null
work=$(mktemp -d "${BENCH_DIR:-$root/build}/bench-epub.XXXXXX")
owner=$BASHPID
trap '[ "$BASHPID" = "$owner" ] && rm -rf "$work"' EXIT
novel=$work/novel.txt
"$gen" "$novel" --encoding "$encoding" --chapters "$chapters" --chapter-bytes 30000 >/dev/null
size=$(stat -c %s "$novel")
echo "novel: $size bytes, $encoding, $chapters headings, $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
# Wall seconds, user seconds and peak kilobytes of one run.
measure() {
    /usr/bin/time -f '%e %U %M' -o "$work/time.txt" "$@" >/dev/null 2>&1
    cat "$work/time.txt"
}
report() {  # LABEL, then lines of "wall user kilobytes"
    local label=$1 lines
    lines=$(cat)
    awk -v label="$label" -v size="$size" \
        -v wall="$(cut -d' ' -f1 <<<"$lines" | median)" \
        -v user="$(cut -d' ' -f2 <<<"$lines" | median)" \
        -v kb="$(cut -d' ' -f3 <<<"$lines" | median)" 'BEGIN {
        printf "%s: %.2f s wall, %.2f s user, peak memory %.0f MB (%.2fx the novel)\n",
            label, wall, user, kb / 1024, kb * 1024 / size
    }'
}

# Each run paired with a default split of the same novel (its floor), whose ratio is printed.
: >"$work/ratios.txt"
for i in $(seq "$runs"); do
    measure "$split" --epub "$novel" | tee -a "$work/epub.txt" >/dev/null
    /usr/bin/time -f '%e' -o "$work/split-time.txt" "$split" --force -n 10 -o "$work/split-$i" \
        "$novel" >/dev/null 2>&1
    awk -v e="$(tail -n 1 "$work/epub.txt" | cut -d' ' -f1)" -v s="$(cat "$work/split-time.txt")" \
        'BEGIN {printf "%.2f\n", e / (s > 0 ? s : 0.01)}' >>"$work/ratios.txt"
done
report "--epub" <"$work/epub.txt"
echo "--epub against a default split of the same novel, run by run: $(sort -n "$work/ratios.txt" |
    awk '{a[NR]=$1} END {printf "min %.2f, median %.2f, max %.2f", a[1], (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2), a[NR]}')"
echo "book: $(stat -c %s "$work/novel.epub") bytes"
python3 "$root/tests/cli/epub_read.py" "$work/novel.epub" "$novel" \
    "$([ "$encoding" = gbk ] && echo gb18030 || echo "${encoding/utf16*/utf-16}")" >/dev/null &&
    echo "read back with Python's zipfile: every line of the novel"
cp "$novel" "$work/copy.txt"
measure "$split" --epub --delete-source "$work/copy.txt" | report "--epub --delete-source"
[ ! -e "$work/copy.txt" ] && echo "the novel was deleted after the book was read back"
