#!/usr/bin/env bash
# Books whose chapters are headed by no 第…章: split by numbered lines (一、 标题, 1. 标题) in
# GBK and UTF-16, the note saying so, the files joined back to the novel byte for byte; and an
# essay whose numbered list must stay whole.
#   heading_forms.sh FOLIOKNIFE_SPLIT FK_GENNOVEL
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
source "$(dirname "$0")/common.sh"

# numbered FORM IN OUT: the novel IN (UTF-8) with its k-th heading 第…章 title made FORM's:
# cn (一、title) or dot (k. title).
numbered() {
    awk -v form="$1" 'BEGIN { split("一 二 三 四 五 六 七 八 九", d, " ") }
        function chinese(k) {
            if (k < 10) return d[k]
            return (k >= 20 ? d[int(k / 10)] : "") "十" (k % 10 ? d[k % 10] : "")
        }
        /^第[^ ]*章 / {
            ++k; sub(/^第[^ ]*章 /, form == "cn" ? chinese(k) "、" : k ". ")
        }
        { print }' "$2" >"$3"
}

"$gen" plain.txt --encoding utf8 --chapters 24 --seed 3 >/dev/null
numbered cn plain.txt cn.txt
numbered dot plain.txt dot.txt
iconv -f UTF-8 -t GBK cn.txt >cn-gbk.txt
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE dot.txt; } >dot-u16.txt

#    novel      | note's mark
while IFS='|' read -r novel mark; do
    rm -rf out
    expect_status 0 "$split" -n 5 -o out "$novel"
    grep -qF '未找到“章”章节标题，已按编号行（“'"$mark"'”）分割：共 24 个章节标题' err.txt ||
        fail "$novel: the note: $(cat err.txt)"
    [ "$(count_volumes out)" = 5 ] || fail "$novel: $(count_volumes out) files"
    # Each UTF-16 file begins with the byte-order mark; the novel has one, at its start.
    { cat out/novel_1.txt; for k in 2 3 4 5; do
        if [ "$mark" = 1. ]; then tail -c +3 "out/novel_$k.txt"; else cat "out/novel_$k.txt"; fi
    done; } | cmp -s - "$novel" || fail "$novel: the files joined are not the novel"
    expect_status 0 "$split" --list --json "$novel"
    grep -q '"kind": "numbered-line"' out.txt || fail "$novel: --json names no form: $(head -c 300 out.txt)"
done <<'TABLE'
cn-gbk.txt|一、
dot-u16.txt|1.
TABLE

# An essay: a numbered list of short lines close together, then one of sentences.
{
    echo '论读书'
    for k in 1 2 3 4 5 6; do echo "$k. 读书的方法"; done
    sed -n '2,40p' plain.txt | grep -v '^第'
    for k in 1 2 3; do echo "$k. 首先，我们要想清楚为什么读书。"; sed -n "$((k * 5)),$((k * 5 + 4))p" plain.txt | grep -v '^第'; done
} >essay.txt
rm -rf out
expect_status 3 "$split" -n 1 -o out essay.txt
[ "$(count_volumes out)" = 1 ] || fail "the essay was split into $(count_volumes out) files"
grep -q '未找到章节标题' err.txt || fail "the essay: $(cat err.txt)"
finish heading-forms
