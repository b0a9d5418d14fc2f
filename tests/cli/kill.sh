#!/usr/bin/env bash
# Kills folioknife-split with SIGKILL at random moments of a --delete-source split of a 40 MB
# novel: whenever it dies, the source is still whole or every volume is in place and the
# volumes joined are the novel; the same command run again then leaves the folder and the
# novel as a finished split does. Then kills a split of novel_1.txt into its own folder at
# each of its renames in turn (strace), with the same rerun after each. Prints where each
# kill fell, and the seed of the moments: FK_SEED=<seed> gives the same moments (as fractions
# of a whole split) again.
#   kill.sh FOLIOKNIFE_SPLIT FK_GENNOVEL [KILLS]
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
kills=${3:-20}
source "$(dirname "$0")/common.sh"
seed_random

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

# finished CASE DIR COUNT SOURCE: DIR is as a finished --delete-source split leaves it.
finished() {
    if [ "$(count_volumes "$2")" != "$3" ] || ! joined "$2" | cmp -s - novel.txt; then
        fail "$1: the volumes are not the novel"
    fi
    [ -e "$4" ] && fail "$1: the source is still there"
    [ "$(count_named "$2" folioknife)" = 0 ] || fail "$1: $(count_named "$2" folioknife) files of ours left"
}

kept=0 deleted=0
for i in $(seq 1 "$kills"); do
    mkdir run && cp novel.txt run/src.txt
    at=$((RANDOM * span * 12 / 10 / 32767))
    "$split" --codepage GBK --delete-source -o run/out run/src.txt >/dev/null 2>&1 &
    pid=$!
    # Not a wait for something: the moment of the kill, drawn at random within the split.
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
    else
        deleted=$((deleted + 1))
        if [ "$placed" != "$volumes" ] || ! joined run/out | cmp -s - novel.txt; then
            fail "kill $i at ${at} ms: the source is gone and the volumes are not the novel"
        fi
        echo "kill $i at ${at} ms: source deleted; all $placed volumes in place and whole"
    fi
    # The same command again: it first undoes (or finishes) what the killed one left.
    if [ -e run/src.txt ]; then
        "$split" --codepage GBK --delete-source -o run/out run/src.txt >/dev/null 2>err.txt || fail "the rerun after kill $i failed: $(cat err.txt)"
    fi
    finished "after kill $i and a rerun" run/out "$volumes" run/src.txt
    rm -rf run
done
echo "$kills kills: $kept left the source whole, $deleted after it was deleted with every volume whole"
# A kill at each rename of a split of novel_1.txt (the whole novel) into its own folder, which
# sets the novel aside; then the same command again, as a reader would.
if ! command -v strace >/dev/null || ! strace -f -o /dev/null true 2>/dev/null; then
    echo "skipped the kill at every rename: strace cannot trace here"
    finish kill
fi
small() { head -c 1200000 novel.txt | cat - <(printf '\n'); }
small > small.txt
renames=rename,renameat,renameat2
# LeakSanitizer stops the world through ptrace, which a traced program cannot use: the traced
# runs of a sanitizer build go without the leak check (the reruns keep it).
traced() { ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" strace -f -qq "$@"; }
mkdir own && cp small.txt own/novel_1.txt
traced -o renames.txt -e trace=$renames "$split" --codepage GBK -n 50 own/novel_1.txt >/dev/null 2>&1 ||
    fail "the split of novel_1.txt in its own folder failed"
count=$(grep -c 'rename' renames.txt)
small_volumes=$(count_volumes own)
joined own | cmp -s - small.txt || fail "the split of novel_1.txt in its own folder: the volumes are not the novel"
for n in $(seq 1 "$count"); do
    rm -rf own && mkdir own && cp small.txt own/novel_1.txt
    # In a subshell of its own, whose stderr takes the shell's "Killed".
    (traced -o /dev/null -e trace=$renames -e inject=$renames:signal=KILL:when="$n" \
        "$split" --codepage GBK -n 50 own/novel_1.txt >/dev/null 2>&1) 2>/dev/null
    "$split" --codepage GBK -n 50 own/novel_1.txt >/dev/null 2>err.txt || fail "rename $n: the rerun failed: $(cat err.txt)"
    if [ "$(count_volumes own)" != "$small_volumes" ] || ! joined own | cmp -s - small.txt; then
        fail "killed at rename $n of $count, then run again: the volumes are not the novel ($(count_volumes own) volumes)"
    fi
    [ "$(count_named own folioknife)" = 0 ] || fail "rename $n: files left: $(ls -a own)"
done
echo "killed at each of the $count renames of a split of novel_1.txt in its own folder: each rerun gave the whole novel"

# A kill at each change of names (every rename and unlink, each one exactly) of a --replace
# split over another novel's volumes, under every kind of name: the next split first puts the
# folder back as it was or finishes the killed one (without --replace it then stops, or finds
# this novel's split and writes the same), and nothing of ours is left.
#   case     | options                     | another novel's files (| between them)
changes=rename,renameat,renameat2,unlink,unlinkat
# kill_points TRACE: each change of a traced run, in order, as its call and the how-manieth of
# that call it is (strace counts each call apart for when=).
kill_points() { grep -oE '^[0-9]+ +[a-z0-9_]+\(' "$1" | tr -d '(' | awk '{n[$2]++; print $2, n[$2]}'; }
# snapshot DIR: every file's name and checksum, the lock file left out.
snapshot() { (cd "$1" && find . -type f ! -name .folioknife-lock -print0 | sort -z | xargs -0 md5sum); }
prepare() {  # FILES...: a folder "own" with the novel (src.txt) and the other novel's files
    rm -rf own && mkdir own && cp small.txt own/src.txt
    local f
    for f in "$@"; do printf 'another novel: %s' "$f" > "own/$f"; done
}
while IFS='|' read -r name options others; do
    IFS=';' read -r -a other_files <<<"$others"
    prepare "${other_files[@]}"
    before=$(snapshot own)
    # shellcheck disable=SC2086 # the options are words
    traced -o changes.txt -e trace=$changes "$split" --codepage GBK -n 50 $options --replace own/src.txt >/dev/null 2>&1 ||
        fail "$name: the uninterrupted split failed"
    finished=$(snapshot own)
    kill_points changes.txt > points.txt
    count=$(wc -l < points.txt)
    left=0 n=0
    while read -r call ordinal; do
        n=$((n + 1))
        prepare "${other_files[@]}"
        # shellcheck disable=SC2086
        (traced -o /dev/null -e trace="$call" -e inject="$call":signal=KILL:when="$ordinal" \
            "$split" --codepage GBK -n 50 $options --replace own/src.txt >/dev/null 2>&1) 2>/dev/null
        # shellcheck disable=SC2086
        "$split" --codepage GBK -n 50 $options own/src.txt >/dev/null 2>&1
        now=$(snapshot own)
        if [ "$now" != "$before" ] && [ "$now" != "$finished" ]; then
            fail "$name: killed at change $n of $count, then split again: a folder neither as it was nor finished: $(ls -A own)"
        fi
        [ "$now" = "$finished" ] || left=$((left + 1))
        [ "$(count_named own folioknife-)" = 0 ] || fail "$name: change $n: files of ours left: $(ls -A own)"
    done < points.txt
    echo "$name: killed at each of its $count changes: $left times put back as it was, $((count - left)) finished"
done <<'TABLE'
default names|-o own|novel_1.txt;novel_2.txt;novel_3.txt;novel_9.txt;notes.txt
a --name pattern|--name book-{k}.txt|book-1.txt;book-2.txt;book-7.txt;novel_1.txt
{title} names|--name {k0}_{title}.txt|01_旧.txt;02_旧.txt;09_旧.txt
converted|--to utf-8|novel_1.txt;novel_2.txt;novel_5.txt
TABLE

# A kill at each change (write, flush, rename, unlink) of --epub, over an older book and where
# there was none: right after the kill the book's name holds the older book or the new one,
# whole, or nothing (the older book then set aside), never a book cut short; the next run
# removes what the killed one left (a partial src.epub.folioknife-new-...) and writes the book.
epub_changes=write,fsync,rename,renameat,renameat2,unlink,unlinkat
head -c 300000 novel.txt | cat - <(printf '\n') > other.txt
"$split" --codepage GBK --epub=old.epub other.txt >/dev/null 2>&1 || fail "--epub: the older book failed"
# whole_book FILE: a ZIP whose every entry reads back with its checksum, holding the entries of
# the uninterrupted run's book (its modification time differs from run to run).
whole_book() {
    python3 - "$1" new.epub <<'PY'
import sys, zipfile
try:
    book, new = zipfile.ZipFile(sys.argv[1]), zipfile.ZipFile(sys.argv[2])
    sys.exit(book.testzip() is not None or book.namelist() != new.namelist())
except (zipfile.BadZipFile, OSError):
    sys.exit(1)
PY
}
prepare_book() {  # OLDER: none, or the book at the name before
    rm -rf own && mkdir own && cp small.txt own/src.txt
    [ "$1" = none ] || cp "$1" own/src.epub
}
prepare_book none
"$split" --codepage GBK --epub own/src.txt >/dev/null 2>&1 || fail "--epub: the uninterrupted run failed"
mv own/src.epub new.epub
for older in none old.epub; do
    prepare_book "$older"
    traced -o changes.txt -e trace=$epub_changes "$split" --codepage GBK --epub own/src.txt >/dev/null 2>&1 ||
        fail "--epub over $older: the uninterrupted run failed"
    kill_points changes.txt > points.txt
    count=$(wc -l < points.txt)
    before=0 partial=0 n=0
    while read -r call ordinal; do
        n=$((n + 1))
        prepare_book "$older"
        (traced -o /dev/null -e trace="$call" -e inject="$call":signal=KILL:when="$ordinal" \
            "$split" --codepage GBK --epub own/src.txt >/dev/null 2>&1) 2>/dev/null
        if [ ! -e own/src.epub ]; then
            # Between the two renames: the older book waits set aside, for the next run.
            if [ "$older" != none ] && ! cmp -s own/src.epub.folioknife-old-* "$older"; then
                fail "--epub over $older: killed at change $n of $count: no book at the name, none set aside"
            fi
            before=$((before + 1))
        elif [ "$older" != none ] && cmp -s own/src.epub "$older"; then
            before=$((before + 1))
        else
            whole_book own/src.epub || fail "--epub over $older: killed at change $n of $count: a book neither old nor whole at the name"
        fi
        [ "$(count_named own .epub.folioknife-)" = 0 ] || partial=$((partial + 1))
        "$split" --codepage GBK --epub own/src.txt >/dev/null 2>err.txt || fail "--epub over $older: change $n: the rerun failed: $(cat err.txt)"
        whole_book own/src.epub || fail "--epub over $older: change $n: the rerun's book is not whole"
        [ "$(count_named own folioknife-)" = 0 ] || fail "--epub over $older: change $n: files of ours left: $(ls -A own)"
    done < points.txt
    echo "--epub over $older: killed at each of its $count changes: $before times the name as it was or empty, $((count - before)) the new book; $partial left a partial book, each removed by the next run"
done
finish kill
