#!/usr/bin/env bash
# Runs the built folioknife-split on generated novels as readers download them: a table of
# contents, headings in many forms, references to chapters inside sentences; GBK, UTF-8 (also
# with one damaged byte) and UTF-16 in both byte orders. Checks the headings found and that the
# volumes join back to the novel byte for byte (less the byte-order marks added to UTF-16 ones).
#   reader_novels.sh FOLIOKNIFE_SPLIT FK_GENNOVEL
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
source "$(dirname "$0")/common.sh"

chapters=30
# encoding for fk-gennovel, extra options, the encoding --list names, its byte-order mark
for case in "gbk - GBK -" "utf8 - UTF-8 -" "utf8 --damage UTF-8 -" \
            "utf16le - UTF-16LE fffe" "utf16be - UTF-16BE feff"; do
    read -r enc extra named mark <<<"$case"
    [ "$extra" = - ] && extra=
    novel="reader-$enc$extra.txt"
    "$gen" "$novel" --encoding "$enc" --chapters "$chapters" --reader --seed 7 ${extra:+"$extra"} >/dev/null

    # The listing: every chapter, the contents entries and the references left out.
    "$split" --list "$novel" >list.txt 2>err.txt || fail "$case: --list exited $?"
    [ "$(head -n 1 list.txt)" = "编码：$named" ] || fail "$case: $(head -n 1 list.txt)"
    [ "$(($(wc -l <list.txt) - 1))" = "$chapters" ] || fail "$case: $(($(wc -l <list.txt) - 1)) headings"
    grep -q "和 $chapters 个目录条目" err.txt || fail "$case: left-out count: $(cat err.txt)"
    "$split" --list --anywhere "$novel" >all.txt 2>err.txt || fail "$case: --anywhere exited $?"
    [ "$(($(wc -l <all.txt) - 1))" -gt $((2 * chapters)) ] || fail "$case: --anywhere found $(wc -l <all.txt)"
    [ -s err.txt ] && fail "$case: --anywhere left something out: $(cat err.txt)"

    # The split: ceil((chapters + 1) / 4) volumes that join back to the novel.
    dir="out-$enc$extra"
    "$split" -n 4 -o "$dir" "$novel" >out.txt 2>err.txt || fail "$case: split exited $?"
    want=$(( (chapters + 1 + 3) / 4 ))
    [ "$(count_volumes "$dir")" = "$want" ] || fail "$case: $(count_volumes "$dir") files, expected $want"
    grep -q "章节标题：$chapters，" out.txt || fail "$case: $(cat out.txt)"
    if [ "$mark" = - ]; then
        joined "$dir" | cmp -s - "$novel" || fail "$case: volumes do not join back"
    else
        for k in $(seq 2 "$want"); do
            [ "$(head -c 2 "$dir/novel_$k.txt" | od -An -tx1 | tr -d ' ')" = "$mark" ] ||
                fail "$case: novel_$k.txt does not begin with the byte-order mark"
            iconv -f UTF-16 -t UTF-8 "$dir/novel_$k.txt" >/dev/null 2>&1 ||
                fail "$case: novel_$k.txt is no UTF-16 text on its own"
        done
        { cat "$dir/novel_1.txt"; for k in $(seq 2 "$want"); do tail -c +3 "$dir/novel_$k.txt"; done; } |
            cmp -s - "$novel" || fail "$case: volumes less their marks do not join back"
    fi
done

# A 回 novel with the default settings splits by 回, and says so.
"$gen" plain.txt --encoding utf8 --chapters 12 --seed 2 >/dev/null
sed 's/章/回/g' plain.txt > hui.txt
"$split" -o hui hui.txt >out.txt 2>err.txt || fail "回 novel: exited $?"
grep -q '分割成功！' out.txt || fail "回 novel: no success message"
grep -qx 'folioknife-split: hui.txt: 未找到“章”章节标题，已按“回”分割：共 12 个章节标题' err.txt || fail "回 novel: $(cat err.txt)"
if [ "$(count_volumes hui)" != 2 ] || ! joined hui | cmp -s - hui.txt; then fail "回 novel: not 2 volumes"; fi
"$split" --list hui.txt >list.txt 2>err.txt || fail "回 novel --list: exited $?"
[ "$(sed -n 2p list.txt)" = '未找到“章”章节标题，已按“回”分割：共 12 个章节标题' ] ||
    fail "回 novel --list: $(sed -n 2p list.txt)"
# Every match counting, the suffix is the one asked for, and the note names the one that helps.
"$split" --anywhere -o hui-any hui.txt >out.txt 2>err.txt
status=$?
[ "$status" = 3 ] || fail "回 --anywhere: exited $status, not 3 (no heading)"
grep -qx 'folioknife-split: hui.txt: 未找到章节标题：全文写入了一个文件。后缀改为“回”可找到 12 个章节标题' err.txt ||
    fail "回 --anywhere: $(cat err.txt)"

# A title before every heading and a volume line before every tenth chapter: the cuts fall at
# the start of those lines, and each volume after the first begins with one.
awk '/^第/ { if (++n % 10 == 1) printf "第%d卷 江湖远\r\n\r\n", n / 10 + 1; printf "《书名》" } { print }' \
    plain.txt > titled.txt
"$split" -n 1 -o titled titled.txt >out.txt 2>err.txt || fail "titled: exited $?"
if [ "$(count_volumes titled)" != 13 ] || ! joined titled | cmp -s - titled.txt; then
    fail "titled: not 13 volumes that join back"
fi
for k in $(seq 2 13); do
    case $k in 2) want='第1卷 江湖远' ;; 12) want='第2卷 江湖远' ;; *) want='《书名》第' ;; esac
    head -n 1 "titled/novel_$k.txt" | grep -q "^$want" || fail "titled: novel_$k.txt begins $(head -c 30 "titled/novel_$k.txt")"
done

# Expressions pasted from reader apps find every heading, in UTF-8 and in GBK, and cut there.
iconv -f UTF-8 -t GBK plain.txt > plain-gbk.txt
for e in '^\s*第[0-9一二三四五六七八九十百千]+[章节回]' '^\s*第.{1,9}[章节回卷]' '第.{1,9}[章节回卷]' \
         '(?=第[0-9一二三四五六七八九十百千]+章)' '^(番外|楔子|序章|第.+章)'; do
    for novel in plain.txt plain-gbk.txt; do
        rm -rf pasted
        "$split" -n 1 -e "$e" -o pasted "$novel" >out.txt 2>err.txt || fail "$e $novel: exited $?"
        if [ "$(count_volumes pasted)" != 13 ] || ! joined pasted | cmp -s - "$novel"; then
            fail "$e $novel: $(count_volumes pasted) volumes $(cat err.txt)"
        fi
    done
done

"$split" -e 'Chapter [0-9]+' -o custom hui.txt >out.txt 2>err.txt
status=$?
[ "$status" = 3 ] || fail "custom: exited $status, not 3 (no heading)"
grep -qx 'folioknife-split: hui.txt: 未找到章节标题：全文写入了一个文件。请检查前缀、后缀（如“回”“节”“卷”）或表达式' err.txt ||
    fail "custom without headings: $(cat err.txt)"

finish reader-novel
