#!/usr/bin/env bash
# Runs the built folioknife-split on generated GBK and UTF-8 novels and checks the files it
# writes byte for byte, its messages and its exit statuses.
#   end_to_end.sh FOLIOKNIFE_SPLIT FK_GENNOVEL
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
source "$(dirname "$0")/common.sh"

# Novels: GBK with a preface and UTF-8 without, headings in numerals and digits, CRLF lines.
two_novels "$gen" gbk.txt utf8.txt

# 1. Splits join back to the novel, with ceil((headings + 1) / N) files.
for case in "gbk.txt GBK 7 40" "gbk.txt GBK 1 40" "gbk.txt GBK 41 40" "utf8.txt UTF-8 10 23" "utf8.txt UTF-8 1 23"; do
    read -ra words <<<"$case" && set -- "${words[@]}"
    dir="out-$1-$3"
    expect_status 0 "$split" --codepage "$2" -n "$3" -o "$dir" "$1"
    want=$(( ($4 + 1 + $3 - 1) / $3 ))
    [ "$(count_volumes "$dir")" = "$want" ] || fail "$case: $(count_volumes "$dir") files, expected $want"
    joined "$dir" "$want" | cmp -s - "$1" || fail "$case: volumes do not join back to the novel"
    grep -q '分割成功！' out.txt || fail "$case: no success message"
    grep -q "章节标题：$4，输出文件：$want" out.txt || fail "$case: counts line: $(cat out.txt)"
done
# Without a preface and N = 1 the first volume is empty and the second starts with a heading.
[ -s out-utf8.txt-1/novel_1.txt ] && fail "empty preface should give an empty novel_1.txt"
head -c 3 out-utf8.txt-1/novel_2.txt | grep -q '第' || fail "novel_2.txt should begin with its heading"

# 2. The default output folder is the novel's own folder; a second run gives the same files
#    without asking, and a longer file left from before, no split of this novel, is replaced
#    only when --replace says so.
mkdir -p books && cp gbk.txt books/
head -c 100000 /dev/zero > books/novel_1.txt
expect_status 2 "$split" --codepage GBK books/gbk.txt
[ "$(cat err.txt)" = "folioknife-split: books/gbk.txt: 分割失败！输出文件夹中已有其他小说的分卷文件：books/novel_1.txt（共 1 个）: 请选择其他输出文件夹，或用 --replace 替换它们" ] || fail "another novel's volumes: $(cat err.txt)"
if [ "$(stat -c %s books/novel_1.txt)" != 100000 ] || [ "$(count_named books '')" != 2 ]; then
    fail "another novel's volumes: files written"
fi
expect_status 0 "$split" --codepage GBK --replace books/gbk.txt
cp books/novel_1.txt first.txt
joined books 5 | cmp -s - gbk.txt || fail "default folder: volumes do not join back"
expect_status 0 "$split" --codepage GBK books/gbk.txt
cmp -s first.txt books/novel_1.txt || fail "second run differs"

# A novel that is itself one of the outputs (by name, or as a hard link to one) is read in
# full before that output replaces it: the volumes still join back to the whole novel. A lone
# novel_2.txt is no earlier split: replacing it is asked for.
mkdir -p self linked out-linked
cp gbk.txt self/novel_2.txt
expect_status 0 "$split" --codepage GBK -n 7 --replace self/novel_2.txt
joined self 6 | cmp -s - gbk.txt || fail "a novel named like an output lost bytes"
cp gbk.txt linked/novel.txt && ln linked/novel.txt out-linked/novel_1.txt
expect_status 0 "$split" --codepage GBK -n 7 -o out-linked linked/novel.txt
joined out-linked 6 | cmp -s - gbk.txt || fail "a novel hard-linked as an output lost bytes"

# 3. --list: the encoding, then one line per heading with its number, byte offset and line.
expect_status 0 "$split" --codepage GBK --list gbk.txt
[ "$(wc -l < out.txt)" = 41 ] || fail "--list printed $(wc -l < out.txt) lines"
[ "$(head -n 1 out.txt)" = "编码：GBK" ] || fail "--list encoding line: $(head -n 1 out.txt)"
first=$(sed -n 2p out.txt)
case "$first" in 1$'\t'*$'\t'第一章*) ;; *) fail "--list first line: $first" ;; esac
offset=$(echo "$first" | cut -f 2)
tail -c +$((offset + 1)) gbk.txt | head -c 2 | cmp -s - <(printf '\xb5\xda') || fail "--list offset $offset is not at 第"
# A heading line too long to show whole ends in "..." in every encoding, UTF-16 too.
title=$(printf '很长的标题%.0s' $(seq 1 20))
for enc in UTF-8 UTF-16LE UTF-16BE; do
    { [ "$enc" = UTF-8 ] || printf '\xff\xfe' | iconv -f UTF-16LE -t "$enc"
      printf '序\n第1章 %s\n正文。\n第2章 短\n' "$title" | iconv -f UTF-8 -t "$enc"; } > "long-$enc.txt"
    expect_status 0 "$split" --list "long-$enc.txt"
    line=$(sed -n 2p out.txt | cut -f 4)
    case "$line" in 第1章\ 很长的标题*...) ;; *) fail "--list of a long $enc line: $line" ;; esac
done

# 4. Checks, in order, with their messages and status 1.
printf '' > empty.txt
expect_status 1 "$split" empty.txt
grep -q '请先设定TXT文件位置' err.txt || fail "empty novel message"
expect_status 1 "$split" -e '' -o '' gbk.txt
grep -q '请定义章节表达式（正则表达式）' err.txt || fail "empty expression message"
# A count that is no whole number of 1 or more is a usage error, before anything is read.
for n in 0 -3 abc '' 10abc; do
    expect_status 64 "$split" -n "$n" -o x gbk.txt
    grep -qF -- "-n $n：请给出每个文件的章节数" err.txt || fail "-n '$n' message: $(cat err.txt)"
done
expect_status 1 "$split" -o '' gbk.txt
grep -q '错误！请指定输出文件路径！' err.txt || fail "empty output message"
[ -e x ] && fail "a refused split created its folder"
expect_status 0 "$split" -n '１０' -o fw --codepage GBK gbk.txt   # full-width digits count
[ "$(count_volumes fw)" = 5 ] || fail "full-width -n"

# 5. A custom expression; an invalid one is refused before anything is written.
expect_status 0 "$split" -e '^第' -n 1 -o custom --codepage UTF-8 utf8.txt
[ "$(count_volumes custom)" = 24 ] || fail "custom expression: $(count_volumes custom) files"
expect_status 1 "$split" -e '第(' -o invalid utf8.txt
grep -q '^folioknife-split: utf8.txt: 章节表达式无效：.' err.txt || fail "invalid expression: $(cat err.txt)"
[ -e invalid ] && fail "invalid expression: the output folder was created"
# The character where it went wrong, a caret under it; with --json an error document too.
expect_status 1 "$split" -e '第(\d+章' --list utf8.txt
grep -qx 'folioknife-split: utf8.txt: 章节表达式无效：第 7 个字符处缺少右括号' err.txt ||
    fail "invalid expression's place: $(cat err.txt)"
[ "$(tail -n 2 err.txt)" = "$(printf '  第(\\d+章\n          ^')" ] || fail "caret: $(cat err.txt)"
expect_status 1 "$split" -e '[\s&&[^\n]]' --json utf8.txt
for want in '"error"' '"character": 4' '交集'; do
    grep -qF "$want" out.txt || fail "JSON error without $want: $(cat out.txt)"
done
# A heading right after a byte-order mark starts its line; an expression may hold characters
# that --codepage lacks (✦), and a user-defined GBK pair (AF D5) is one character.
printf '\xef\xbb\xbf第1章 开头\n正文\n第2章 二\n' >bom.txt
expect_status 0 "$split" -e '^第\d+章' --list bom.txt
[ "$(grep -c $'\t第' out.txt)" = 2 ] || fail "heading after the byte-order mark: $(cat out.txt)"
printf 'x\xaf\xd5\xa1\xee\xbf\xaa\xc6\xaa\n\xd5\xfd\xce\xc4\n' >star.txt
expect_status 0 "$split" --codepage GBK -e '^.{0,2}[☆★✦✧].{1,30}$' --list star.txt
grep -q $'\tx\uFFFD☆开篇$' out.txt || fail "expression beyond GBK: $(cat out.txt) $(cat err.txt)"

# 6. Files that cannot be opened or written: status 2, the file named, nothing deleted.
expect_status 2 "$split" missing.txt
grep -qxE 'folioknife-split: missing.txt: (No such file or directory|没有那个文件或目录)' err.txt ||
    fail "missing novel message: $(cat err.txt)"
cp gbk.txt victim.txt
touch notadir
expect_status 2 "$split" --delete-source -o notadir victim.txt
if ! grep -q '分割失败！无法锁定输出文件夹：notadir' err.txt || ! grep -qE 'Not a directory|不是目录' err.txt; then
    fail "unlockable folder message: $(cat err.txt)"
fi
grep -q '分割成功' out.txt err.txt && fail "write failure reported success"
cmp -s victim.txt gbk.txt || fail "source touched after a failed write"

# 7. --delete-source deletes only a source that the volumes hold in full.
cp gbk.txt whole.txt
expect_status 0 "$split" --codepage GBK --delete-source -o del1 whole.txt
[ -e whole.txt ] && fail "complete split: source not deleted"
joined del1 5 | cmp -s - gbk.txt || fail "deleted source: volumes incomplete"

# 8. 0x00 and 0x1A are bytes like any other: every byte of the novel is in exactly one volume,
#    so a novel holding them is split whole and may be deleted.
#    name         bytes around the novel (printf format: before | after)
while IFS='|' read -r name before after; do
    { printf '%b' "$before"; cat gbk.txt; printf '%b' "$after"; } > "$name.txt"
    cp "$name.txt" "$name.orig"
    expect_status 0 "$split" --codepage GBK --delete-source -n 3 -o "del-$name" "$name.txt"
    [ -e "$name.txt" ] && fail "$name: whole split, source kept: $(cat err.txt)"
    joined "del-$name" | cmp -s - "$name.orig" || fail "$name: the volumes are not the file"
done <<'TABLE'
nul-tail||tail\0after nul
nul-padding||\0\0\0\0\0\0\0\0
eof-mark-early|序言\032after the old end-of-file mark\r\n|
eof-and-nul|\0|\032\0第99章 after both\r\n
TABLE

# 9. The novel's encoding, not the code page, decides: a GBK novel under a UTF-8 code page and a
#    UTF-8 novel under GBK give the same cuts as in their own code page. A novel without
#    GB18030's four-byte characters is named GBK, as on Windows.
expect_status 0 "$split" --list gbk.txt
[ "$(head -n 1 out.txt)" = "编码：GBK" ] || fail "GBK novel under UTF-8: $(head -n 1 out.txt)"
[ "$(wc -l < out.txt)" = 41 ] || fail "GBK novel under UTF-8: $(($(wc -l < out.txt) - 1)) headings"
expect_status 0 "$split" -n 7 -o cross-gbk gbk.txt
for k in 1 2 3 4 5 6; do cmp -s cross-gbk/novel_$k.txt out-gbk.txt-7/novel_$k.txt || fail "GBK under UTF-8: volume $k differs"; done
# A four-byte character is a lead byte and a digit where a character begins: after a digit
# ("1\x81\x30\x81\x30"), or an odd run of lead bytes; a two-byte character before a digit
# ("第1") is none, wherever it falls in the scan's blocks.
while IFS='|' read -r bytes expected; do
    { printf '%*s' 70 '' | tr ' ' 'a'; printf '%b\r\n' "$bytes"; } > four.txt
    expect_status 0 "$split" --codepage GBK --list four.txt
    [ "$(head -n 1 out.txt)" = "编码：$expected" ] || fail "$bytes: $(head -n 1 out.txt)"
done <<'TABLE'
1\x81\x30\x81\x30|GB18030
\xb5\xda\xb5\x81\x30\x81\x30|GB18030
\xb5\xda1\xd5\xc2|GBK
\xb5\x81\x31|GBK
\x80\x81\x31|GB18030
TABLE
expect_status 0 "$split" --codepage GBK --list utf8.txt
[ "$(head -n 1 out.txt)" = "编码：UTF-8" ] || fail "UTF-8 novel under GBK: $(head -n 1 out.txt)"
expect_status 0 "$split" --codepage GBK -n 10 -o cross-utf8 utf8.txt
for k in 1 2 3; do cmp -s cross-utf8/novel_$k.txt out-utf8.txt-10/novel_$k.txt || fail "UTF-8 under GBK: volume $k differs"; done

# 10. Output folders with Chinese names, blanks and a trailing separator work, in either code
#    page; a path too long for the system is reported as a file that could not be written.
mkdir -p "书 架"
expect_status 0 "$split" --codepage GBK -n 10 -o "书 架/输出 文件夹/" gbk.txt
joined "书 架/输出 文件夹" 5 | cmp -s - gbk.txt || fail "Chinese folder with blanks and a trailing /"
expect_status 0 "$split" -n 10 -o "书 架/第二" utf8.txt
joined "书 架/第二" 3 | cmp -s - utf8.txt || fail "Chinese folder under UTF-8"
long=$(printf 'd%.0s' $(seq 1 300))/$(printf 'e%.0s' $(seq 1 300))
cp gbk.txt keep.txt
expect_status 2 "$split" --delete-source -o "$long" keep.txt
if ! grep -q '分割失败！无法创建输出文件夹：' err.txt || ! grep -qE 'File name too long|文件名过长' err.txt; then
    fail "over-long path: $(cat err.txt)"
fi
cmp -s keep.txt gbk.txt || fail "over-long path: source touched"

# 11. Usage.
expect_status 64 "$split" --no-such-option gbk.txt
expect_status 64 "$split"
expect_status 64 "$split" --codepage NO-SUCH-CODEPAGE gbk.txt
expect_status 0 "$split" --version
grep -qF "${FOLIOKNIFE_VERSION:?set by ctest}" out.txt || fail "--version: $(cat out.txt)"
expect_status 0 "$split" --help

finish end-to-end
