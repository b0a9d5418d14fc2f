#!/usr/bin/env bash
# What readers trip over, on real files in both languages: a split that finds no heading keeps
# the novel, --epub makes its folder, volumes of a UTF-8 novel with a byte-order mark each
# carry it, --max-size alone goes by size, a runaway split is refused before it writes, and
# usage errors are one line each with their status.
#   readers.sh FOLIOKNIFE_SPLIT FK_GENNOVEL
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
source "$(dirname "$0")/common.sh"

"$gen" novel.txt --encoding utf8 --chapters 30 --chapter-bytes 4000 --seed 4 --lf >/dev/null
grep -v '^第' novel.txt > plain.txt
{ printf '\xEF\xBB\xBF'; cat novel.txt; } > bom.txt
mkdir pristine && cp novel.txt plain.txt bom.txt pristine/

# 1. The table: the run's language, the arguments, the status, how many files out/ holds (-:
#    not counted), a file that must be there afterwards, and a text of stdout or stderr.
#    lang | arguments                                  | status | out/ | there        | said
while IFS='|' read -r lang args status count there said; do
    rm -rf out ep ep2 && cp pristine/*.txt .
    locale=C.UTF-8
    [ "$lang" = zh ] && locale=zh_CN.UTF-8
    # shellcheck disable=SC2086
    LC_ALL=$locale expect_status "$status" "$split" $args
    if [ "$count" != - ] && [ "$(count_entries out 2>/dev/null)" != "$count" ]; then
        fail "$lang $args: $(count_entries out 2>/dev/null) files in out/, expected $count"
    fi
    [ "$there" = - ] || [ -e "$there" ] || fail "$lang $args: no $there afterwards"
    grep -qF -- "$said" out.txt err.txt || fail "$lang $args: not said: $said; said: $(cat out.txt err.txt)"
done <<'TABLE'
zh|-e Chapter\s[0-9]+ --delete-source -o out plain.txt|3|1|plain.txt|未找到章节标题：全文写入了一个文件，源文件保留
en|-e Chapter\s[0-9]+ --delete-source -o out plain.txt|3|1|plain.txt|no chapter heading found: the whole text went into one file, the source is kept
zh|--delete-source -o out novel.txt|0|4|-|源文件已删除
en|-o out novel.txt|0|4|novel.txt|split done: 30 headings, 4 files in /
zh|--epub -o ep novel.txt|0|-|ep/novel.epub|EPUB
en|--epub ep2/book.epub novel.txt|0|-|ep2/book.epub|EPUB
zh|--max-size 0.5M -o out novel.txt|0|1|-|输出文件：1
en|--max-size 0.5M -n 10 -o out novel.txt|0|4|-|4 files
zh|--max-size 64 -o out novel.txt|64|0|novel.txt|--force
en|--max-size 64 --force -o out novel.txt|0|-|-|split done
zh|-e .{1,8} -o out -n 1 novel.txt|64|0|novel.txt|前几个章节标题：
en|-e .{1,8} -o out -n 1 novel.txt|64|0|novel.txt|give --force to write them. The first headings: 
zh|-n abc novel.txt|64|0|-|folioknife-split: -n abc：
en|-n 10abc novel.txt|64|0|-|folioknife-split: -n 10abc: give a whole number
en|-n 0 novel.txt|64|0|-|Run with --help for the options.
zh|--version|0|-|-|folioknife-split 0.7
TABLE

# 2. --max-size alone: files of at most that many bytes that join back to the novel; more
#    than 1000 of them only with --force, and their count said without it.
cp pristine/novel.txt .
expect_status 64 "$split" --max-size 100 -o out novel.txt
n=$(grep -oE '[0-9]+ 个文件' err.txt | grep -oE '[0-9]+')
[ "${n:-0}" -gt 1000 ] || fail "--max-size 100: count not said: $(cat err.txt)"
expect_status 0 "$split" --max-size 1.5K -o out novel.txt
[ -z "$(find out -type f -size +1536c)" ] || fail "--max-size 1.5K: a file is larger: $(find out -type f -size +1536c -printf '%f %s ')"
joined out | cmp -s - novel.txt || fail "--max-size 1.5K: the files do not join back"

# 3. Every volume of the novel with a mark begins with it; without the marks of volumes 2
#    onwards they join back to the novel, which --delete-source then deletes; a second split
#    takes the first one's volumes as this novel's and replaces them without --replace.
rm -rf out && cp pristine/bom.txt .
expect_status 0 "$split" -n 4 -o out bom.txt
expect_status 0 "$split" -n 7 -o out --delete-source bom.txt
[ -e bom.txt ] && fail "bom.txt kept: $(cat err.txt)"
v=$(count_volumes out)
for k in $(seq 1 "$v"); do
    [ "$(head -c 3 "out/novel_$k.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "volume $k has no mark"
done
{ cat out/novel_1.txt; for k in $(seq 2 "$v"); do tail -c +4 "out/novel_$k.txt"; done; } |
    cmp -s - pristine/bom.txt || fail "the volumes without their marks are not the novel"

finish readers
