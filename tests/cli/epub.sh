#!/usr/bin/env bash
# Runs the built folioknife-split --epub on generated novels (GBK with a title line, an author
# line and volume lines; UTF-8 with a chapter of 5 MB; UTF-16 with a preface; a novel without
# headings; a damaged UTF-8 novel), checks every book with epubcheck (no error, no warning) and
# reads it back with Python's zipfile and XML parser: the text equals the novel's lines, the
# table of contents is the chapters under their volumes. Then --delete-source, the options, and
# writing that fails.
#   epub.sh FOLIOKNIFE_SPLIT FK_GENNOVEL
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
reader=$(realpath "$(dirname "$0")/epub_read.py")
source "$(dirname "$0")/common.sh"

# toc_shape: the levels of the table of contents as one word ("1 1 2 2 1 2").
toc_shape() { awk -F'\t' '$1 == "toc" { printf "%s ", $2 }' read.txt; }
field() { awk -F'\t' -v k="$1" '$1 == k { print $2 }' read.txt; }

# A GBK novel of 6 chapters with a title and an author line in front and a volume line before
# chapters 1 and 4, an indented one with blank lines after it.
"$gen" base.txt --encoding utf8 --chapters 6 --seed 3 >/dev/null
{ printf '《风雪夜归》\r\n作者：测试者\r\n'
  sed -e 's/^第一章/第一卷 风起\r\n\r\n第一章/' -e 's/^第四章/　　第二卷：云涌\r\n\r\n\r\n第四章/' base.txt
} | iconv -f UTF-8 -t GBK >gbk.txt
# A UTF-8 novel with LF line ends, a chapter of 5 MB among others.
"$gen" big-utf8.txt --encoding utf8 --chapters 3 --chapter-bytes 5000000 --lf --seed 4 >/dev/null
"$gen" utf16.txt --encoding utf16le --chapters 20 --seed 5 >/dev/null
# Without headings: about 340 KB of paragraphs, four pieces.
"$gen" plain.txt --encoding utf8 --chapters 100 --seed 6 >/dev/null
grep -v '第.*章' plain.txt >none.txt

# novel, its encoding for Python, options, the toc's shape, title, author
while IFS='|' read -r novel enc options shape title author; do
    book="${novel%.txt}.epub"
    # shellcheck disable=SC2086
    "$split" $options --epub "$novel" >out.txt 2>err.txt || { fail "$novel: exited $?: $(cat err.txt)"; continue; }
    [ -f "$book" ] || { fail "$novel: no $book"; continue; }
    epubcheck_ok "$book"
    python3 "$reader" "$book" "$novel" "$enc" >read.txt || { fail "$novel: read back"; continue; }
    [ "$(toc_shape)" = "$shape" ] || fail "$novel: table of contents $(toc_shape), expected $shape"
    [ "$(field title)" = "$title" ] || fail "$novel: title $(field title)"
    [ "$(field author)" = "$author" ] || fail "$novel: author $(field author)"
    [ "$(field language)" = zh ] || fail "$novel: language $(field language)"
    [ -z "$(find . -name '*folioknife-new*')" ] || fail "$novel: a temporary file was left"
done <<'TABLE'
gbk.txt|gb18030|--codepage GBK|1 1 2 2 2 1 2 2 2 |风雪夜归|测试者
big-utf8.txt|utf-8||1 1 1 1 |big-utf8|
utf16.txt|utf-16||1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 |utf16|
none.txt|utf-8||1 1 1 1 |none|
TABLE
# The toc: preface, volume 1 with chapters 1-3, volume 2 with chapters 4-6.
python3 "$reader" gbk.epub gbk.txt gb18030 >read.txt
grep -q $'toc\t1\t第一卷 风起' read.txt || fail "gbk: volume 1's label"
grep -q $'toc\t1\t第二卷：云涌' read.txt || fail "gbk: volume 2's label"

# Several novels: one EPUB each, in the -o folder.
"$split" --epub -o several gbk.txt utf16.txt >out.txt 2>err.txt || fail "several: exited $?"
for b in gbk utf16; do [ -f "several/$b.epub" ] || fail "several: no $b.epub"; done
[ "$(wc -l <out.txt)" = 2 ] || fail "several: $(cat out.txt)"

# The same novel gives the same identifier; the options name the book.
id1=$(python3 "$reader" gbk.epub gbk.txt gb18030 | awk -F'\t' '$1 == "identifier" { print $2 }')
"$split" --codepage GBK --epub=named.epub --title '别的 <书>' --author 'A & B' --lang zh-TW gbk.txt \
    >/dev/null 2>&1 || fail "named: exited $?"
python3 "$reader" named.epub gbk.txt gb18030 >read.txt || fail "named: read back"
[ "$(field identifier)" = "$id1" ] || fail "same novel, other identifier: $(field identifier) / $id1"
[ "$(field title)|$(field author)|$(field language)" = '别的 <书>|A & B|zh-TW' ] ||
    fail "named: $(field title)|$(field author)|$(field language)"
cp gbk.txt gbk2.txt && printf 'x\r\n' >>gbk2.txt
"$split" --codepage GBK --epub gbk2.txt >/dev/null 2>&1
[ "$(python3 "$reader" gbk2.epub gbk2.txt gb18030 | awk -F'\t' '$1 == "identifier" { print $2 }')" != "$id1" ] ||
    fail "another novel, the same identifier"
mkdir -p outdir
"$split" --codepage GBK -o outdir --epub gbk.txt >/dev/null 2>&1 || fail "-o: exited $?"
[ -f outdir/gbk.epub ] || fail "-o: no outdir/gbk.epub"

# Damage: the character is reported with its line, and --delete-source keeps the novel.
"$gen" damaged.txt --encoding utf8 --chapters 8 --damage --seed 8 >/dev/null
"$split" --epub --delete-source damaged.txt >out.txt 2>err.txt || fail "damaged: exited $?"
grep -qE '^folioknife-split: damaged.txt: 第 [0-9]+ 行（第 [0-9]+ 字节）含有无法转换为 UTF-8 的字符' err.txt ||
    fail "damaged: not reported: $(cat err.txt)"
grep -qE '^folioknife-split: damaged.txt: 源文件已保留：小说第 [0-9]+ 行与 EPUB 中 OEBPS/text/part[0-9]+.xhtml 的第 [0-9]+ 段不同' err.txt ||
    fail "damaged: $(cat err.txt)"
LC_ALL=C.UTF-8 "$split" --epub damaged.txt 2>&1 >/dev/null |
    grep -qE '^folioknife-split: damaged.txt: line [0-9]+ \(byte [0-9]+\) holds a character that cannot be converted to UTF-8' ||
    fail "damaged: not reported in English"
[ -f damaged.txt ] || fail "damaged: the novel was deleted"
epubcheck_ok damaged.epub

# --delete-source deletes a novel that the book holds, and only then.
cp utf16.txt gone.txt
"$split" --delete-source --epub gone.txt >out.txt 2>err.txt || fail "delete: exited $?"
[ -f gone.txt ] && fail "delete: the novel is still there: $(cat out.txt err.txt)"
grep -q '^gone.txt：已写出 EPUB：20 章，0 卷，21 个文档，位于 ./gone.epub；源文件已删除$' out.txt ||
    fail "delete: $(cat out.txt)"
python3 "$reader" gone.epub utf16.txt utf-16 >/dev/null || fail "delete: the book does not hold the novel"

# Refusals and failures: nothing written, nothing left behind, the old book kept.
expect() {  # STATUS CMD...: the exit status
    local want=$1 got=0
    shift
    "$@" >out.txt 2>err.txt || got=$?
    [ "$got" = "$want" ] || fail "$*: exit $got, expected $want: $(cat err.txt)"
}
expect 64 "$split" --list --epub gbk.txt
expect 64 "$split" --epub --to utf-8 gbk.txt
expect 64 "$split" --epub gbk.txt --lang 'zh cn'
expect 64 "$split" --epub=one.epub gbk.txt gbk2.txt
# One missing folder is made, as a split makes its -o folder; two are not.
expect 2 "$split" --epub missing/deeper/x.epub gbk.txt
mkdir -p ro && cp gbk.epub ro/gbk.epub && chmod 555 ro
if [ "$(id -u)" != 0 ]; then
    expect 2 "$split" --codepage GBK -o ro --epub gbk.txt
    cmp -s ro/gbk.epub gbk.epub || fail "read-only folder: the old book changed"
fi
chmod 755 ro
cp gbk.txt same.epub
expect 1 "$split" --codepage GBK --epub same.epub same.epub
cmp -s same.epub gbk.txt || fail "the novel was replaced by its own book"
[ -z "$(find . -name '*folioknife-new*')" ] || fail "a temporary file was left"

finish epub
