#!/usr/bin/env bash
# Times folioknife-split on a generated novel of realistic chapter density (about 6 KB a
# chapter: a 100 MB novel gives about 1,700 files at 10 chapters a file) against GNU
# `split -n K`, which writes the same bytes into the same number K of files; each run into a
# fresh folder, medians of several runs, peak memory from /usr/bin/time. Then the same split
# with --delete-source (the volumes flushed to disk, read back and compared before the novel
# goes), to show what that safety costs; and the split again into a folder that holds its
# earlier split, whose volumes are set aside, and unlinked only after the new ones and the
# folder are flushed.
#   bench/split_vs_gnu_split.sh [RUNS] [MEGABYTES]
# Targets: time <= 1.0x split's, user CPU <= 0.08 s, peak memory <= 1.1x the novel; with
# --delete-source at most 1.3x the same split's time.
set -euo pipefail
runs=${1:-5}
megabytes=${2:-100}
source "$(dirname "$0")/common.sh"
# The deletions come at the very end: ext4 searches its recently freed inodes (for some
# minutes after a mass deletion) whenever it creates a file, which would slow every creation
# measured here. Run it again only minutes later.
work=$(mktemp -d "${BENCH_DIR:-$root/build}/bench.XXXXXX")
novel=$work/novel.txt
chapters=$((megabytes * 1000000 / 6000))
"$gen" "$novel" --encoding gbk --chapters "$chapters" --chapter-bytes 6000 >/dev/null
size=$(stat -c %s "$novel")

"$split" --force --codepage GBK -n 10 -o "$work/probe" "$novel" >/dev/null
files=$(find "$work/probe" -mindepth 1 -maxdepth 1 -printf . | wc -c)
echo "novel: $size bytes, $chapters chapters, $files files at 10 chapters a file"

fk_t=(); fk_m=(); fk_u=(); gs_t=(); gs_m=(); del_t=(); del_m=(); re_t=(); re_m=(); ratios=(); del_ratios=()
for i in $(seq 1 "$runs"); do
    cp "$novel" "$work/copy-$i.txt"  # for the --delete-source run, in the page cache
    sync
    read -r t m u < <(measure "$split" --force --codepage GBK -n 10 -o "$work/fk-$i" "$novel")
    fk_t+=("$t"); fk_m+=("$m"); fk_u+=("$u")
    mkdir "$work/gs-$i"
    read -r t m _ < <(measure split -n "$files" "$novel" "$work/gs-$i/x")
    gs_t+=("$t"); gs_m+=("$m")
    ratios+=("$(awk -v a="${fk_t[-1]}" -v b="$t" 'BEGIN {printf "%.3f", a / b}')")
    sync  # the flushes below then wait for this split's own writing only
    read -r t m _ < <(measure "$split" --force --codepage GBK -n 10 --delete-source -o "$work/del-$i" "$work/copy-$i.txt")
    del_t+=("$t"); del_m+=("$m")
    del_ratios+=("$(awk -v a="$t" -v b="${fk_t[-1]}" 'BEGIN {printf "%.3f", a / b}')")
    sync
    read -r t m _ < <(measure "$split" --force --codepage GBK -n 10 -o "$work/fk-$i" "$novel")
    re_t+=("$t"); re_m+=("$m")
    [ -n "${BENCH_VERBOSE:-}" ] && echo "run $i: split ${fk_t[-1]} s, GNU split ${gs_t[-1]} s, --delete-source $t s"
    [ -e "$work/copy-$i.txt" ] && echo "run $i: the --delete-source split kept its source" >&2
done
joined=$(for k in $(seq 1 "$files"); do cat "$work/fk-1/novel_$k.txt"; done | cmp -s - "$novel" && echo yes || echo no)
ft=$(printf '%s\n' "${fk_t[@]}" | median); fm=$(printf '%s\n' "${fk_m[@]}" | median)
gt=$(printf '%s\n' "${gs_t[@]}" | median); gm=$(printf '%s\n' "${gs_m[@]}" | median)
dt=$(printf '%s\n' "${del_t[@]}" | median); dm=$(printf '%s\n' "${del_m[@]}" | median)
rt=$(printf '%s\n' "${re_t[@]}" | median)
fu=$(printf '%s\n' "${fk_u[@]}" | median)
# Each run's ratio to its floor in the same round: min, median, max.
spread() { sort -n | awk '{a[NR]=$1} END {printf "min %.2f, median %.2f, max %.2f", a[1], (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2), a[NR]}'; }
awk -v ft="$ft" -v fm="$fm" -v gt="$gt" -v gm="$gm" -v dt="$dt" -v dm="$dm" -v rt="$rt" -v size="$size" \
    -v files="$files" -v runs="$runs" -v joined="$joined" 'BEGIN {
    mb = size / 1048576
    printf "medians of %d runs, each into a fresh folder:\n", runs
    printf "  folioknife-split -n 10           %.3f s  peak %6.1f MB (%.2fx the novel)\n", ft, fm / 1024, fm * 1024 / size
    printf "  split -n %d                    %.3f s  peak %6.1f MB\n", files, gt, gm / 1024
    printf "  folioknife-split --delete-source %.3f s  peak %6.1f MB (%.2fx the novel)\n", dt, dm / 1024, dm * 1024 / size
    printf "time ratio to split: %.2f (target <= 1.0); memory %.2fx the novel (target <= 1.1)\n", ft / gt, fm * 1024 / size
    printf "--delete-source costs %.3f s more (%d volumes and the folder flushed, read back, compared)\n", dt - ft, files
    printf "  -n 10 again, replacing its volumes %.3f s: %.3f s more (set aside, flushed, unlinked)\n", rt, rt - ft
    printf "volumes join back to the novel: %s\n", joined
}'
echo "paired ratios, each run to its floor: split/GNU split $(printf '%s\n' "${ratios[@]}" | spread) (target <= 1.0)"
echo "  --delete-source/split $(printf '%s\n' "${del_ratios[@]}" | spread) (target <= 1.3)"
echo "  user CPU of the split: median $fu s (target <= 0.08)"
rm -rf "$work"
