#!/usr/bin/env bash
# Novels and folders at the edges of what the writing meets: a byte-order mark right before the
# first heading, a size limit in an encoding that cannot hold a character. Whatever happens,
# the program ends, says the true cause, and the status says it.
#   edges.sh FOLIOKNIFE_SPLIT FK_GENNOVEL
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
source "$(dirname "$0")/common.sh"
"$gen" novel.txt --encoding gbk --chapters 12 --seed 11 >/dev/null

# run CMD...: the splitter with at most 30 s and 2 GiB of memory (a loop that adds volumes
# without end must not take the machine with it); stdout and stderr in out.txt and err.txt.
memory_limit=(prlimit --as=$((2 << 30)))
[ -n "${ASAN_OPTIONS:-}" ] && memory_limit=()
run() { timeout 30 "${memory_limit[@]}" "$split" "$@" >out.txt 2>err.txt; }

# 1. A byte-order mark directly before the first heading (how Notepad saves UTF-8 and UTF-16):
#    no crash, heading 1 in volume 1, the volumes converted back are the novel.
printf '\xef\xbb\xbf第一章 甲\n文\n第二章 乙\n文\n' > bom8.txt
{ printf '\xff\xfe'; printf '第一章 甲\n文\n第二章 乙\n文\n' | iconv -f UTF-8 -t UTF-16LE; } > bom16.txt
#    novel     | options
while IFS='|' read -r novel options; do
    rm -rf bom && mkdir bom && cp "$novel" bom/
    # shellcheck disable=SC2086
    run $options -o bom "bom/$novel"
    status=$?
    [ "$status" = 0 ] || fail "$novel $options: status $status: $(cat err.txt)"
    case $options in
        *--json*)
            python3 -c 'import json,sys; d=json.load(open("out.txt")); v=[h["volume"] for h in d["headings"]]; sys.exit(not (v and v[0] == 1 and min(v) >= 1))' ||
                fail "$novel $options: heading 1 not in volume 1: $(cat out.txt)" ;;
        --list*)
            [ "$(head -n 2 out.txt | tail -n 1 | cut -f 3,4)" = "$(printf 'novel_2.txt\t第一章 甲')" ] ||
                fail "$novel $options: heading 1: $(cat out.txt)" ;;
        *--delete-source*)
            [ -e "bom/$novel" ] && fail "$novel $options: the volumes do not convert back: $(cat err.txt)" ;;
    esac
done <<'TABLE'
bom8.txt|--to gbk --delete-source
bom8.txt|--to utf-16le -n 1 --delete-source
bom8.txt|--to gbk --max-size 64 -n 1 --delete-source
bom16.txt|--to gbk --delete-source
bom16.txt|--to utf-8 -n 1 --delete-source
bom8.txt|--epub
bom16.txt|--epub
bom8.txt|--list --json --to gbk
bom16.txt|--list --json --to utf-8
bom8.txt|--list --to gbk -n 1
TABLE

# 2. A size limit in an encoding that cannot hold a character of an over-long chapter: refused
#    as without the limit, in time, nothing written.
python3 -c "open('emoji.txt','w').write('第一章 开始\n'+'天'*60+'😀'+'天'*60+'\n')"
run --to gbk -o unheld emoji.txt
want=$(cat err.txt)
grep -q '分割失败！GBK 无法无损表示字节偏移 197（第 2 行）处的字符' err.txt || fail "unconvertible: message: $want"
#    options
while IFS='|' read -r options; do
    # shellcheck disable=SC2086
    run --to gbk $options -o unheld emoji.txt
    status=$?
    [ "$status" = 1 ] || fail "unconvertible $options: status $status: $(cat err.txt)"
    [ "$(cat err.txt)" = "$want" ] || fail "unconvertible $options: message: $(cat err.txt)"
    [ -e unheld ] && fail "unconvertible $options: the folder was made"
done <<'TABLE'
--max-size 64
--max-size 64 -n 1
--max-size 100 --name {k}-{title}.txt
TABLE
# Without that character: every file within the limit, none empty but a preface, the whole.
python3 -c "open('sky.txt','w').write('第一章 开始\n'+'天'*200+'\n'+'地'*30+'\n')"
run --max-size 64 --to gbk --delete-source -o sky sky.txt || fail "limit in GBK: $(cat err.txt)"
[ -e sky.txt ] && fail "limit in GBK: the source was kept: $(cat err.txt)"
[ -z "$(find sky -name 'novel_*.txt' -size +64c)" ] || fail "limit in GBK: a file past 64 bytes"
[ -z "$(find sky -name 'novel_*.txt' -empty)" ] || fail "limit in GBK: an empty file"

finish edge
