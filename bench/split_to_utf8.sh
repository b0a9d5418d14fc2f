#!/usr/bin/env bash
# What writing the volumes in UTF-8 costs: a generated ~100 MB GBK novel split as it is, then
# with --to utf-8, then with --to utf-8 --delete-source (which reads every volume back and
# converts it back before the source goes); several runs, medians, peak memory.
#   bench/split_to_utf8.sh [RUNS] [CHAPTERS]
# Target: peak memory <= 2.5x the novel, as for a plain split.
set -euo pipefail
runs=${1:-3}
chapters=${2:-3300}
source "$(dirname "$0")/common.sh"
work=$(mktemp -d "${BENCH_DIR:-$root/build}/bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
novel=$work/novel-gbk.txt
"$gen" "$novel" --encoding gbk --chapters "$chapters" --chapter-bytes 30000 >/dev/null
size=$(stat -c %s "$novel")
echo "novel: $size bytes, $chapters headings"

# form NAME ARGS...: the median seconds and peak megabytes of a split with ARGS.
form() {
    local name=$1 i t m; shift
    local times=() mems=()
    for i in $(seq 1 "$runs"); do
        cp "$novel" "$work/src.txt"
        sync
        read -r t m _ < <(measure "$split" --force --codepage GBK -n 10 -o "$work/$name-$i" "$@" "$work/src.txt")
        times+=("$t"); mems+=("$m")
    done
    printf '%s %s %s\n' "$name" "$(printf '%s\n' "${times[@]}" | median)" \
        "$(printf '%s\n' "${mems[@]}" | median)"
}
{
    form plain
    form utf8 --to utf-8
    form utf8-delete --to utf-8 --delete-source
} | awk -v size="$size" '
    { t[$1] = $2; m[$1] = $3 }
    END {
        split("plain utf8 utf8-delete", order, " ")
        for (i = 1; i <= 3; i++) {
            f = order[i]
            printf "%-12s median %.3f s (%.2fx the plain split), peak memory %.1f MB (%.2fx the novel)\n",
                f, t[f], t[f] / t["plain"], m[f] / 1024, m[f] * 1024 / size
        }
    }'
# The UTF-8 volumes are the novel, converted.
volumes=$(find "$work/utf8-1" -mindepth 1 -maxdepth 1 -printf . | wc -c)
if for k in $(seq 1 "$volumes"); do cat "$work/utf8-1/novel_$k.txt"; done |
    iconv -f UTF-8 -t GB18030 | cmp -s - "$novel"; then
    echo "UTF-8 volumes convert back to the novel: yes"
else
    echo "UTF-8 volumes convert back to the novel: NO"
    exit 1
fi
