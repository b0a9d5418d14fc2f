#!/usr/bin/env bash
# Books as readers meet them, made by the built folioknife-split --epub from small generated
# novels: each is checked with epubcheck (no error, no warning) and read back with Python's
# zipfile and XML parser (epub_read.py): the text equals the novel's lines, and the table of
# contents (levels and labels) and the metadata are the ones a reader expects.
#   epub_books.sh FOLIOKNIFE_SPLIT FK_GENNOVEL
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
reader=$(realpath "$(dirname "$0")/epub_read.py")
source "$(dirname "$0")/common.sh"

epubcheck_ok() {  # BOOK: epubcheck reports nothing
    java -jar /usr/share/java/epubcheck.jar "$1" >check.txt 2>&1 ||
        { fail "epubcheck $1: $(grep -E 'ERROR|WARNING|FATAL' check.txt | head -3)"; return; }
    grep -q 'No errors or warnings detected' check.txt || fail "epubcheck $1: $(cat check.txt)"
}
field() { awk -F'\t' -v k="$1" '$1 == k { print $2 }' read.txt; }
# The table of contents as one line: "level:label;level:label;…".
toc() { awk -F'\t' '$1 == "toc" { printf "%s:%s;", $2, $3 }' read.txt; }
lines() {  # TEXT…: one line each, CRLF
    printf '%s\r\n' "$@"
}
# A chapter's text: a few paragraphs.
body() { lines "　　他走了很远的路，终于到了。" "　　天色已晚，四下无人。"; }

# 1. Encodings: UTF-16 without a byte-order mark, in both byte orders.
"$gen" base.txt --encoding utf8 --chapters 4 --seed 9 >/dev/null
iconv -f UTF-8 -t UTF-16LE base.txt >le.txt
iconv -f UTF-8 -t UTF-16BE base.txt >be.txt
# The chapters' labels, as the generator wrote them.
chapters=$(grep -E '^第.+章' base.txt | tr -d '\r' | sed 's/^/1:/' | tr '\n' ';')

# book|novel|Python codec|options|table of contents|title|author
while IFS='|' read -r book novel codec options contents title author; do
    rm -f "$book"
    # shellcheck disable=SC2086
    "$split" $options --epub="$book" "$novel" >out.txt 2>err.txt ||
        { fail "$book: exited $?: $(cat err.txt)"; continue; }
    epubcheck_ok "$book"
    python3 "$reader" "$book" "$novel" "$codec" >read.txt 2>err.txt ||
        { fail "$book: read back: $(cat err.txt)"; continue; }
    [ "$(toc)" = "$contents" ] || fail "$book: contents $(toc), expected $contents"
    [ "$(field title)" = "$title" ] || fail "$book: title $(field title), expected $title"
    [ "$(field author)" = "$author" ] || fail "$book: author $(field author), expected $author"
done <<TABLE
le.epub|le.txt|utf-16-le||1:前言;$chapters|le|
be.epub|be.txt|utf-16-be||1:前言;$chapters|be|
cp-le.epub|le.txt|utf-16-le|--codepage UTF-16LE|1:前言;$chapters|le|
TABLE

# Without a mark, every mode reads the novel as UTF-16: --list names it, a split finds its
# headings and the volumes joined are the novel, byte for byte.
for order in le be; do
    "$split" --list "$order.txt" >out.txt 2>err.txt || fail "--list $order: exited $?"
    [ "$(head -1 out.txt)" = "encoding: UTF-16${order^^}" ] || fail "--list $order: $(head -1 out.txt)"
    [ "$(grep -c 第 out.txt)" = 4 ] || fail "--list $order: $(cat out.txt)"
    "$split" -n 2 -o "split-$order" "$order.txt" >out.txt 2>err.txt || fail "split $order: exited $?"
    [ "$(count_volumes "split-$order")" = 3 ] || fail "split $order: $(ls "split-$order")"
    joined "split-$order" | cmp -s - "$order.txt" || fail "split $order: the volumes differ"
done

# A novel that decodes in no encoding the program tells: refused, nothing written.
head -c 300000 /dev/urandom >noise.txt
expect_status 1 "$split" --epub noise.txt
grep -qx '无法确定小说的编码：请用 --codepage 指定' err.txt || fail "noise: $(cat err.txt)"
[ ! -e noise.epub ] || fail "noise: a book was written"
[ -z "$(find . -name '*folioknife-new*')" ] || fail "noise: a temporary file was left"
# GBK read as UTF-16 under --codepage: as much mojibake, refused as well.
iconv -f UTF-8 -t GBK base.txt >gbk.txt
expect_status 1 "$split" --codepage UTF-16BE --epub gbk.txt
[ ! -e gbk.epub ] || fail "gbk as UTF-16BE: a book was written"

finish epub_books
