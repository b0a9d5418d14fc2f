#!/usr/bin/env bash
# Kills folioknife-split with SIGKILL at random moments of a --delete-source split of a 40 MB
# novel: whenever it dies, the source is still whole or every volume is in place and the
# volumes joined are the novel. Prints where each kill fell, and the seed of the moments:
# FK_SEED=<seed> gives the same moments (as fractions of a whole split) again.
#   kill.sh FOLIOKNIFE_SPLIT FK_GENNOVEL [KILLS]
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
kills=${3:-20}
source "$(dirname "$0")/common.sh"
seed=${FK_SEED:-$(($(date +%s%N) % 32768))}
RANDOM=$seed
echo "seed $seed"

# About 6 KB a chapter, ten chapters a file: some 690 volumes.
"$gen" novel.txt --encoding gbk --chapters 6900 --chapter-bytes 6000 >/dev/null
size=$(stat -c %s novel.txt)

# How long a whole split takes here, in milliseconds (the second of two runs, the first warms
# the caches); the kills fall within 1.2 times that.
for _ in 1 2; do
    mkdir whole && cp novel.txt whole/src.txt
    started=$(date +%s%N)
    "$split" --codepage GBK --delete-source -o whole/out whole/src.txt >/dev/null 2>&1 || fail "the uninterrupted split failed"
    span=$((($(date +%s%N) - started) / 1000000))
    [ -e whole/src.txt ] && fail "the uninterrupted split kept its source"
    volumes=$(count_volumes whole/out)
    joined whole/out | cmp -s - novel.txt || fail "the uninterrupted split's volumes are not the novel"
    rm -rf whole
done
echo "novel $size bytes, $volumes volumes, a whole split takes ${span} ms"

kept=0 deleted=0
for i in $(seq 1 "$kills"); do
    mkdir run && cp novel.txt run/src.txt
    at=$((RANDOM * span * 12 / 10 / 32767))
    "$split" --codepage GBK --delete-source -o run/out run/src.txt >/dev/null 2>&1 &
    pid=$!
    sleep "$(printf '%d.%03d' $((at / 1000)) $((at % 1000)))"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    placed=0 temporary=0
    if [ -d run/out ]; then
        placed=$(count_volumes run/out)
        temporary=$(count_named run/out folioknife-)
    fi
    if [ -e run/src.txt ]; then
        kept=$((kept + 1))
        cmp -s run/src.txt novel.txt || fail "kill $i at ${at} ms: the source is not whole"
        echo "kill $i at ${at} ms: source whole; $placed volumes in place, $temporary temporary files"
        # The next split into the folder takes the new volumes a killed one left away.
        if [ "$temporary" -gt 0 ] && [ -z "${cleaned:-}" ]; then
            cleaned=yes
            "$split" --codepage GBK -o run/out run/src.txt >/dev/null 2>&1 || fail "the split after kill $i failed"
            [ "$(count_named run/out folioknife-new-)" = 0 ] || fail "the split after kill $i left the killed one's files"
            joined run/out | cmp -s - novel.txt || fail "the split after kill $i: the volumes are not the novel"
        fi
    else
        deleted=$((deleted + 1))
        if [ "$placed" != "$volumes" ] || ! joined run/out | cmp -s - novel.txt; then
            fail "kill $i at ${at} ms: the source is gone and the volumes are not the novel"
        fi
        echo "kill $i at ${at} ms: source deleted; all $placed volumes in place and whole"
    fi
    rm -rf run
done
echo "$kills kills: $kept left the source whole, $deleted after it was deleted with every volume whole"
finish kill
