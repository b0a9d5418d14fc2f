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

field() { awk -F'\t' -v k="$1" '$1 == k { print $2 }' read.txt; }
# The table of contents as one line: "level:label;level:label;…".
toc() { awk -F'\t' '$1 == "toc" { printf "%s:%s;", $2, $3 }' read.txt; }
lines() {  # TEXT…: one line each, CRLF
    printf '%s\r\n' "$@"
}
# A chapter's text: paragraphs of about 2,000 bytes, so that headings stand well apart.
body() {
    local i
    for i in 1 2 3 4 5 6; do
        lines "　　他沿着江边走了很久，天色渐渐暗了下来，四下里一个人也没有，只听见水声。" \
            "　　远处的山影一层一层地叠上去，像是没有尽头。"
    done
}

# 1. Encodings: UTF-16 without a byte-order mark, in both byte orders.
"$gen" base.txt --encoding utf8 --chapters 4 --seed 9 >/dev/null
iconv -f UTF-8 -t UTF-16LE base.txt >le.txt
iconv -f UTF-8 -t UTF-16BE base.txt >be.txt
# The chapters' labels, as the generator wrote them.
chapters=$(grep -E '^第.+章' base.txt | tr -d '\r' | sed 's/^/1:/' | tr '\n' ';')

# 2. Structure. A volume with an introduction, chapters numbered in digits, and after the
#    last volume an extra and an afterword at the top level again.
{ lines "第一卷 风起" "本卷讲风起之事。" "" "第1章 一"; body; lines "第2章 二"; body
  lines "第二卷 云涌" "　　本卷讲云涌。" "　　群雄并起。" "第3章 三"; body
  lines "番外 一"; body; lines "后记"; body; } >volumes.txt
# Season and financial numerals before the volume; the book's own 内容简介 line names its front.
{ lines "《盗墓》" "作者：某人" "内容简介：" "一个关于盗墓的故事。"
  lines "第一季 第一卷 七星鲁王" "第一章 血尸"; body; lines "第二章 尸洞"; body
  lines "第壹卷 风起" "第三章 石室"; body; } >season.txt
# Old Mac line ends: a carriage return alone.
{ lines "第一章 甲"; body; lines "第二章 乙"; body; lines "第三章 丙"; body; } | tr -d '\n' >cr.txt
# Bare numbered headings, in Chinese numerals and in digits.
{ lines "一 青衫磊落险峰行"; body; lines "二 玉璧月华明"; body; lines "三 马疾香幽"; body; } >bare.txt
{ lines "1 出发"; body; lines "2 归来"; body; lines "3 再见"; body; } >bare-digits.txt
# Without headings: parts named by number.
body >plain.txt
# 4. A contents list with dot leaders and page numbers, a reference to a chapter in the text.
{ lines "目录" "第一章 甲……………1" "第二章 乙……………５…" "第三章 丙......12"
  lines "第一章 甲"; body; lines "第一章提过，虽然智人早在10万年前就已出现。"; body
  lines "第二章 乙"; body; lines "第三章 丙"; body; } >contents.txt
# 3. A chapter of 2 MB: documents of at most 256 KB, one entry.
"$gen" big.txt --encoding gbk --chapters 2 --chapter-bytes 2000000 --no-preface --seed 4 >/dev/null
big_chapters=$(iconv -f GB18030 -t UTF-8 big.txt | grep -E '^第.+章' | tr -d '\r' | sed 's/^/1:/' | tr '\n' ';')

# 5. Metadata: release tags around the title in the file name, an author line, an English book.
cp season.txt '【全本精校】《某书》作者：某人【1-8部+番外】.txt'
{ lines "" "某书" "无名氏 著" ""; lines "第一章 甲"; body; lines "第二章 乙"; body; lines "第三章 丙"; body; } \
    >'[精校版]某书(1-8部+番外)全本.txt'
{ lines "The Long Road" "by Nobody" "" "Preface" "Some words first."
  for c in 1 2 3; do lines "第${c}章 Chapter $c" "It was a long road, and they walked it to the end."; done
} >english.txt

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
le.epub|le.txt|utf-16-le||1:序言;$chapters|le|
be.epub|be.txt|utf-16-be||1:序言;$chapters|be|
cp-le.epub|le.txt|utf-16-le|--codepage UTF-16LE|1:序言;$chapters|le|
volumes.epub|volumes.txt|utf-8||1:第一卷 风起;2:第1章 一;2:第2章 二;1:第二卷 云涌;2:第3章 三;1:番外 一;1:后记;|volumes|
season.epub|season.txt|utf-8||1:内容简介;1:第一季 第一卷 七星鲁王;2:第一章 血尸;2:第二章 尸洞;1:第壹卷 风起;2:第三章 石室;|盗墓|某人
cr.epub|cr.txt|utf-8||1:第一章 甲;1:第二章 乙;1:第三章 丙;|cr|
plain.epub|plain.txt|utf-8||1:第 1 部分;|plain|
bare.epub|bare.txt|utf-8||1:一 青衫磊落险峰行;1:二 玉璧月华明;1:三 马疾香幽;|bare|
bare-digits.epub|bare-digits.txt|utf-8||1:1 出发;1:2 归来;1:3 再见;|bare-digits|
contents.epub|contents.txt|utf-8||1:前言;1:第一章 甲;1:第二章 乙;1:第三章 丙;|contents|
big.epub|big.txt|gb18030||$big_chapters|big|
tags.epub|【全本精校】《某书》作者：某人【1-8部+番外】.txt|utf-8||1:内容简介;1:第一季 第一卷 七星鲁王;2:第一章 血尸;2:第二章 尸洞;1:第壹卷 风起;2:第三章 石室;|盗墓|某人
tags2.epub|[精校版]某书(1-8部+番外)全本.txt|utf-8||1:前言;1:第一章 甲;1:第二章 乙;1:第三章 丙;|某书|无名氏
english.epub|english.txt|utf-8||1:Preface;1:第1章 Chapter 1;1:第2章 Chapter 2;1:第3章 Chapter 3;|english|
TABLE
# The language, the description and the cover of the books above, as a reader reads them.
# book|novel|language|description|cover
while IFS='|' read -r book novel language description cover; do
    python3 "$reader" "$book" "$novel" utf-8 >read.txt 2>err.txt || { fail "$book: $(cat err.txt)"; continue; }
    [ "$(field language)|$(field description)|$(field cover)" = "$language|$description|$cover" ] ||
        fail "$book: $(field language)|$(field description)|$(field cover)"
done <<'TABLE'
season.epub|season.txt|zh|一个关于盗墓的故事。|page
english.epub|english.txt|en||page
volumes.epub|volumes.txt|zh||page
TABLE
# The title without tags comes from the file name when the lines name none.
cp plain.txt '【精校】无名之书.txt'
"$split" --epub=plain2.epub '【精校】无名之书.txt' >/dev/null 2>&1 || fail "plain2: exited $?"
python3 "$reader" plain2.epub plain.txt utf-8 >read.txt || fail "plain2: read back"
[ "$(field title)" = 无名之书 ] || fail "plain2: title $(field title)"
# --lang overrides; --cover puts the reader's own picture on the book.
printf '\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\1\0\0\0\1\x08\x06\0\0\0\x1f\x15\xc4\x89\0\0\0\rIDATx\x9cc\xf8\xcf\xc0\xf0\x1f\0\x05\0\x01\xff\x89\x99=\x1d\0\0\0\0IEND\xaeB`\x82' >pic.png
"$split" --epub=pic.epub --cover pic.png --lang zh-TW english.txt >out.txt 2>err.txt ||
    fail "--cover: exited $?: $(cat err.txt)"
epubcheck_ok pic.epub
python3 "$reader" pic.epub english.txt utf-8 >read.txt || fail "--cover: read back"
[ "$(field cover)|$(field language)" = "image/png|zh-TW" ] || fail "--cover: $(field cover)|$(field language)"
[ "$(zip_entry pic.epub OEBPS/cover.png | cmp - pic.png && echo same)" = same ] || fail "--cover: the picture differs"
expect_status 64 "$split" --epub=x.epub --cover base.txt english.txt
grep -q -- '--cover base.txt：请给出 JPEG 或 PNG 图片' err.txt || fail "--cover text: $(cat err.txt)"
[ ! -e x.epub ] || fail "--cover text: a book was written"
# The chapter of 2 MB is in documents of at most 256 KB.
python3 "$reader" big.epub big.txt gb18030 >read.txt
[ "$(field largest)" -le 262144 ] || fail "big: a document of $(field largest) bytes"
[ "$(field documents)" -ge 16 ] || fail "big: only $(field documents) documents"

# Without a mark, every mode reads the novel as UTF-16: --list names it, a split finds its
# headings and the volumes joined are the novel, byte for byte.
for order in le be; do
    "$split" --list "$order.txt" >out.txt 2>err.txt || fail "--list $order: exited $?"
    [ "$(head -1 out.txt)" = "编码：UTF-16${order^^}" ] || fail "--list $order: $(head -1 out.txt)"
    [ "$(grep -c 第 out.txt)" = 4 ] || fail "--list $order: $(cat out.txt)"
    "$split" -n 2 -o "split-$order" "$order.txt" >out.txt 2>err.txt || fail "split $order: exited $?"
    [ "$(count_volumes "split-$order")" = 3 ] || fail "split $order: $(ls "split-$order")"
    joined "split-$order" | cmp -s - "$order.txt" || fail "split $order: the volumes differ"
done

# A novel that decodes in no encoding the program tells: refused, nothing written.
head -c 300000 /dev/urandom >noise.txt
expect_status 1 "$split" --epub noise.txt
grep -qx 'folioknife-split: noise.txt: 无法确定小说的编码：请用 --codepage 指定' err.txt || fail "noise: $(cat err.txt)"
[ ! -e noise.epub ] || fail "noise: a book was written"
[ -z "$(find . -name '*folioknife-new*')" ] || fail "noise: a temporary file was left"
# GBK read as UTF-16 under --codepage: as much mojibake, refused as well.
iconv -f UTF-8 -t GBK base.txt >gbk.txt
expect_status 1 "$split" --codepage UTF-16BE --epub gbk.txt
[ ! -e gbk.epub ] || fail "gbk as UTF-16BE: a book was written"

finish epub_books
