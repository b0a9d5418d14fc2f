#!/usr/bin/env bash
# The forms volumes can take: names from a pattern, a size limit, another encoding; each
# checked on real files, byte for byte, with the source deleted where it is safe.
#   forms.sh FOLIOKNIFE_SPLIT FK_GENNOVEL
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
source "$(dirname "$0")/common.sh"

# The names in a folder, sorted as a file manager lists them; and the files joined in that order.
listed() { find "$1" -mindepth 1 -maxdepth 1 -printf '%f\n' 2>/dev/null | sort; }
in_ls_order() { listed "$1" | while IFS= read -r f; do cat "$1/$f"; done; }

"$gen" gbk.txt --encoding gbk --chapters 40 --seed 3 >/dev/null
"$gen" utf8.txt --encoding utf8 --chapters 12 --seed 5 --no-preface --lf >/dev/null
"$gen" u16.txt --encoding utf16le --chapters 9 --seed 7 >/dev/null
"$gen" long.txt --encoding utf8 --chapters 3 --chapter-bytes 40000 --seed 9 --lf >/dev/null
# No heading at all, and one line without any line end.
grep -v '^第' utf8.txt > plain.txt
printf '字%.0s' $(seq 1 3000) > oneline.txt

# 1. Names: the files sort as they follow each other, carry the novel's name and the title;
#    two volumes of one name are refused before anything is written.
#    pattern                 | -n | first name                 | status
while IFS='|' read -r pattern per first status; do
    rm -rf names
    expect_status "$status" "$split" -n "$per" --name "$pattern" -o names gbk.txt
    if [ "$status" = 0 ]; then
        [ "$(listed names | wc -l)" = $(((41 + per - 1) / per)) ] || fail "$pattern: $(listed names | wc -l) files"
        # Titles alone do not sort; numbers do.
        [ "$first" = - ] && continue
        [ "$(listed names | head -n 1)" = "$first" ] || fail "$pattern: first file $(listed names | head -n 1)"
        in_ls_order names | cmp -s - gbk.txt || fail "$pattern: the files in ls order are not the novel"
    else
        [ -z "$(listed names 2>/dev/null)" ] || fail "$pattern: refused, yet wrote $(listed names)"
    fi
done <<'TABLE'
{name}_{k0}.txt|1|gbk_01.txt|0
{k0} {title}.txt|4|01 第一章 夜成.txt|0
{title}|1|-|0
same.txt|10||1
TABLE
grep -q '分割失败！两个输出文件的名称相同：' err.txt || fail "same name: $(cat err.txt)"
# A title keeps no character a file system refuses, and no more than 40 characters.
printf '第1章 a/b:c?d*e<f>g|h"i\\j\n正文\n第2章 %s\n正文\n' "$(printf '长%.0s' $(seq 1 60))" > odd.txt
expect_status 0 "$split" -n 1 --name '{k}-{title}.txt' -o odd odd.txt
[ -e 'odd/2-第1章 a_b_c_d_e_f_g_h_i_j.txt' ] || fail "refused characters in a title: $(listed odd)"
[ -e "odd/3-第2章 $(printf '长%.0s' $(seq 1 36)).txt" ] || fail "a long title: $(listed odd)"
# The same pattern again replaces the earlier split, and --list names the same files.
expect_status 0 "$split" -n 1 --name '{k}-{title}.txt' -o odd odd.txt
[ "$(listed odd | wc -l)" = 3 ] || fail "second split with a pattern: $(listed odd)"
expect_status 0 "$split" --list -n 1 --name '{k}-{title}.txt' odd.txt
[ "$(sed -n 2p out.txt | cut -f 3)" = '2-第1章 a_b_c_d_e_f_g_h_i_j.txt' ] || fail "--list name: $(cat out.txt)"

# The rules about replacing hold for a pattern's names: another novel's files are replaced only
# with --replace, an earlier split of the same novel (in the same encoding) without asking.
"$gen" other.txt --encoding gbk --chapters 12 --seed 4 >/dev/null
#    novel     | options                  | status
while IFS='|' read -r novel options status; do
    # shellcheck disable=SC2086
    expect_status "$status" "$split" -n 10 --name 'v{k0}.txt' $options -o mine "$novel"
done <<'TABLE'
gbk.txt||0
gbk.txt||0
other.txt||2
gbk.txt|--to utf-8|2
gbk.txt|--to utf-8 --replace|0
gbk.txt|--to utf-8|0
other.txt|--replace|0
TABLE
in_ls_order mine | cmp -s - other.txt || fail "--replace with a pattern: the folder does not hold the other novel"

# 2. Size limits: no file past the limit, the files joined are the novel; a chapter longer
#    than the limit and a novel without headings are cut at line ends, a line longer than the
#    limit between characters; -n still counts.
#    novel      | limit | -n | files at least | cut at line ends
while IFS='|' read -r novel limit per least lines; do
    rm -rf sized
    expect_status 0 "$split" --max-size "$limit" -n "$per" --name '{k0}.txt' -o sized "$novel"
    bytes=$(numfmt --from=iec "$limit")
    for f in sized/*; do
        [ "$(stat -c %s "$f")" -le "$bytes" ] || fail "$novel $limit: $f holds $(stat -c %s "$f") bytes"
    done
    [ "$(listed sized | wc -l)" -ge "$least" ] || fail "$novel $limit: only $(listed sized | wc -l) files"
    if [ "$novel" = u16.txt ]; then
        for f in sized/*; do
            [ "$(head -c 2 "$f" | od -An -tx1 | tr -d ' ')" = fffe ] || fail "u16 $limit: $f lacks its mark"
        done
        { cat "sized/$(listed sized | head -n 1)"; for f in $(listed sized | tail -n +2); do tail -c +3 "sized/$f"; done; } |
            cmp -s - "$novel" || fail "u16 $limit: the files are not the novel"
    else
        in_ls_order sized | cmp -s - "$novel" || fail "$novel $limit: the files are not the novel"
    fi
    if [ "$lines" = yes ]; then
        for f in $(listed sized | head -n -1); do
            [ "$(tail -c 1 "sized/$f" | od -An -c | tr -d ' ')" = '\n' ] || fail "$novel $limit: $f not cut at a line end"
        done
    fi
    [ "$novel" = oneline.txt ] && for f in sized/*; do
        iconv -f UTF-8 -t UTF-8 "$f" >/dev/null 2>&1 || fail "oneline: $f cut inside a character"
    done
done <<'TABLE'
gbk.txt|20K|10|7|yes
long.txt|8K|10|15|yes
plain.txt|4K|10|3|yes
oneline.txt|1000|10|10|no
utf8.txt|1M|2|7|yes
u16.txt|8K|10|4|no
TABLE
expect_status 64 "$split" --max-size 10 gbk.txt
expect_status 64 "$split" --max-size 2X gbk.txt

# 3. Encodings: each volume in the encoding asked for (UTF-16LE with its mark in each); the
#    source deleted only because the files, converted back, are its bytes.
#    novel    | --to     | from (iconv) | to (iconv)
while IFS='|' read -r novel to from back; do
    rm -rf conv && cp "$novel" src.txt
    expect_status 0 "$split" --to "$to" --delete-source -n 3 --name '{k0}.txt' -o conv src.txt
    [ -e src.txt ] && fail "$novel --to $to: source kept: $(cat err.txt)"
    for f in conv/*; do
        if [ "$to" = utf-16le ]; then
            [ "$(head -c 2 "$f" | od -An -tx1 | tr -d ' ')" = fffe ] || fail "$novel --to $to: $f lacks its mark"
            tail -c +3 "$f"
        else
            cat "$f"
        fi
    done | iconv -f "$back" -t "$from" | cmp -s - <(
        # The novel's own byte-order mark is no part of the text written.
        if [ "$from" = UTF-16LE ]; then tail -c +3 "$novel"; else cat "$novel"; fi
    ) || fail "$novel --to $to: converted back, the files are not the novel"
done <<'TABLE'
gbk.txt|utf-8|GB18030|UTF-8
gbk.txt|utf-16le|GB18030|UTF-16LE
utf8.txt|gbk|UTF-8|GBK
utf8.txt|UTF8|UTF-8|UTF-8
u16.txt|utf-8|UTF-16LE|UTF-8
TABLE
# What the encoding cannot hold is refused with its place; nothing is written or deleted.
{ head -n 5 utf8.txt; printf '这一行有 한 字\n'; tail -n +6 utf8.txt; } > korean.txt
cp korean.txt korean.orig
at=$(($(head -n 5 utf8.txt | wc -c) + $(printf '这一行有 ' | wc -c)))
LC_ALL=C.UTF-8 expect_status 1 "$split" --to gbk --delete-source -o refused korean.txt
grep -q "split failed: GBK cannot hold the character at byte $at (line 6) without loss" err.txt ||
    fail "unconvertible text: $(cat err.txt)"
cmp -s korean.txt korean.orig || fail "unconvertible text: the source changed"
[ -e refused/novel_1.txt ] && fail "unconvertible text: a file was written"
[ -e refused ] && fail "unconvertible text: the folder was left"
# The volumes are converted as they are written: a character found in the last one undoes
# those written before it, in a new folder (which goes too) and over an earlier split.
lines=$(wc -l < utf8.txt)
{ head -n $((lines - 2)) utf8.txt; printf '这一行有 한 字\n'; tail -n 2 utf8.txt; } > late.txt
"$split" -n 1 -o earlier utf8.txt >/dev/null 2>&1 && cp -r earlier earlier.orig
for folder in late earlier; do
    LC_ALL=C.UTF-8 expect_status 1 "$split" --to gbk -n 1 --replace -o "$folder" late.txt
    grep -q "split failed: GBK cannot hold the character at byte" err.txt ||
        fail "unconvertible late in $folder: $(cat err.txt)"
done
[ -e late ] && fail "unconvertible late: the new folder was left: $(ls -A late)"
diff -r earlier earlier.orig >/dev/null || fail "unconvertible late: the earlier split changed"
expect_status 64 "$split" --to latin1 gbk.txt

finish forms
