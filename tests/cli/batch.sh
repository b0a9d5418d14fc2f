#!/usr/bin/env bash
# Several novels in one call, what the program says about each, in one language, and the
# listing with the file of each heading, as text and as JSON read back.
#   batch.sh FOLIOKNIFE_SPLIT FK_GENNOVEL
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
source "$(dirname "$0")/common.sh"

two_novels "$gen" a.txt b.txt
mkdir -p one two books/sub books/empty
cp a.txt one/ && cp b.txt two/ && printf '' > two/empty.txt
cp a.txt books/x.TXT && cp b.txt books/sub/y.txt && cp a.txt books/sub/novel_1.txt

# 1. Several novels: each into a folder of its own named after it, each reported, the worst
#    status; a failure stops none of the others. The sources are deleted when asked.
cp one/a.txt keep-a.txt
expect_status 2 "$split" --delete-source one/a.txt missing.txt two/empty.txt two/b.txt
for n in one/a two/b; do
    [ -e "$n.txt" ] && fail "$n: source kept"
done
joined one/a | cmp -s - keep-a.txt || fail "one/a/ does not join back to a.txt"
joined two/b | cmp -s - b.txt || fail "two/b/ does not join back to b.txt"
[ "$(count_volumes one/a)" = 5 ] || fail "one/a/: $(count_volumes one/a) files"
# The folder named in full, as it is found from anywhere.
grep -qxF "one/a.txt：分割成功！章节标题：40，输出文件：5，位于 $PWD/one/a；源文件已删除" out.txt || fail "line of a: $(cat out.txt)"
grep -qxF "two/b.txt：分割成功！章节标题：23，输出文件：3，位于 $PWD/two/b；源文件已删除" out.txt || fail "line of b: $(cat out.txt)"
# One line each, as GNU programs write them: the program, the novel, why.
grep -qxE 'folioknife-split: missing.txt: (No such file or directory|没有那个文件或目录)' err.txt ||
    fail "missing novel: $(cat err.txt)"
grep -qx 'folioknife-split: two/empty.txt: 请先设定TXT文件位置' err.txt || fail "empty novel: $(cat err.txt)"
[ -e two/empty ] && fail "a refused novel got a folder"

# 2. Folders of novels, -r for subfolders, -o for where the folders go. Volumes of an earlier
#    split and the folders of a split's novels are no novels; a folder without novels is an
#    error of its own. Two novels of one name cannot share a folder.
#    arguments                    | status | folders made (under out/) | lines on stdout
while IFS='|' read -r args status folders lines; do
    rm -rf out
    # shellcheck disable=SC2086
    expect_status "$status" "$split" -o out $args
    for f in $folders; do
        [ "$(count_volumes "out/$f")" -ge 1 ] || fail "$args: no volumes in out/$f"
    done
    [ "$(find out -mindepth 1 -maxdepth 1 | wc -l)" = "$(echo "$folders" | wc -w)" ] || fail "$args: out holds $(ls out)"
    [ "$(wc -l < out.txt)" = "$lines" ] || fail "$args: $(wc -l < out.txt) lines: $(cat out.txt)"
done <<'TABLE'
books|0|x|1
-r books|0|x y|2
books/empty books|2|x|1
books/x.TXT b.txt books/sub/y.txt books/x.TXT|1|x b y|3
TABLE
grep -q '已跳过：本次的另一部小说已分割到 out/x' err.txt || fail "same name twice: $(cat err.txt)"
# Split in place and again with -r: the novels' own folders are passed over.
expect_status 0 "$split" -r books
expect_status 0 "$split" -r books
[ "$(wc -l < out.txt)" = 2 ] || fail "second -r run split the first one's volumes: $(cat out.txt)"
joined books/x | cmp -s - a.txt || fail "books/x/ does not join back"

# 3. One language per run: English outside a Chinese locale, Chinese in one; the parser's
#    errors and --help included.
#    locale     | arguments           | status | text wanted (stdout and stderr)
while IFS='|' read -r loc args status want; do
    # shellcheck disable=SC2086
    LC_ALL=$loc expect_status "$status" "$split" $args
    grep -qF -- "$want" out.txt err.txt || fail "$loc $args: no '$want' in: $(cat out.txt err.txt)"
    if [ "$loc" = C.UTF-8 ]; then
        # No Chinese but the characters to type or to find in a book: the preset prefix and
        # suffix, other suffixes, the title and author marks that --title and --author look for,
        # and a refused expression as typed, under its message.
        grep -v -- '--prefix\|--suffix\|suffix (such as\|split by "\|--title\|--author\|^  [^ -]' out.txt err.txt |
            grep -qP '[\x{4e00}-\x{9fff}]' &&
            fail "$loc $args: Chinese in an English run: $(cat out.txt err.txt)"
    fi
done <<'TABLE'
C.UTF-8|--no-such a.txt|64|unknown option or argument: --no-such
zh_CN.UTF-8|--no-such a.txt|64|未知的选项或参数：--no-such
C.UTF-8||64|FILE is missing
zh_CN.UTF-8||64|缺少 FILE
C.UTF-8|-o en a.txt|0|a.txt: split done: 40 headings, 5 files in /
C.UTF-8|-n 0 a.txt|64|-n 0: give a whole number of chapters per file, 1 or more
C.UTF-8|-e 第( a.txt|1|invalid chapter expression: 
C.UTF-8|-s 回 -o other a.txt|0|no chapter heading with "回" found; split by "章": 40 chapter headings
C.UTF-8|-s 回 --anywhere -o none a.txt|3|no chapter heading found: the whole text went into one file
C.UTF-8|a.txt/|2|folioknife-split: a.txt/: Not a directory
C.UTF-8|--codepage UTF-16 a.txt|64|code page UTF-16 cannot be used
C.UTF-8|--help|0|Exit status:
zh_CN.UTF-8|--help|0|退出状态：
TABLE

# 4. --list: the file each heading goes into; --json: the same as one document, read back.
expect_status 0 "$split" --list -n 7 a.txt
[ "$(sed -n 2p out.txt | cut -f 3)" = novel_1.txt ] || fail "--list: heading 1: $(sed -n 2p out.txt)"
[ "$(sed -n 8p out.txt | cut -f 3)" = novel_2.txt ] || fail "--list: heading 7: $(sed -n 8p out.txt)"
[ "$(tail -n 1 out.txt | cut -f 3)" = novel_6.txt ] || fail "--list: heading 40: $(tail -n 1 out.txt)"
check_json() {  # check_json NOVEL PER_FILE HEADINGS VOLUMES [ARGS...]
    local novel=$1 per=$2 headings=$3 volumes=$4; shift 4
    expect_status 0 "$split" --list --json -n "$per" "$@" "$novel"
    python3 - "$novel" "$per" "$headings" "$volumes" <<'PY' || fail "--json $novel -n $per $*: $(head -c 300 out.txt)"
import json, sys
novel, per, headings, volumes = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
doc = json.load(open("out.txt", encoding="utf-8"))
data = open(novel, "rb").read()
assert doc["file"] == novel and doc["bytes"] == len(data), (doc["file"], doc["bytes"])
assert len(doc["headings"]) == headings and len(doc["volumes"]) == volumes
# The volumes cover the novel in order, and each heading lies in the volume it names.
at = 0
for k, v in enumerate(doc["volumes"], 1):
    assert v["number"] == k and v["file"] == f"novel_{k}.txt" and v["offset"] == at
    at += v["length"]
assert at == len(data)
for h in doc["headings"]:
    v = doc["volumes"][h["volume"] - 1]
    assert v["offset"] <= h["offset"] < v["offset"] + v["length"]
    assert data[h["offset"]:].startswith(h["text"].encode(doc["encoding"].replace("GB18030", "gb18030"))[:2])
assert sum(v["headings"] for v in doc["volumes"]) == headings
assert (headings == 0) == any("no chapter heading" in n or "未找到章节标题" in n for n in doc["notes"])
PY
}
check_json a.txt 7 40 6
check_json b.txt 1 23 24
check_json b.txt 10 0 1 -s 回 --anywhere
check_json b.txt 10 23 3 -s 回
expect_status 0 "$split" --json a.txt b.txt
python3 -c 'import json; d = json.load(open("out.txt")); assert [x["file"] for x in d] == ["a.txt", "b.txt"]' ||
    fail "--json with two novels: $(head -c 200 out.txt)"

# 5. Not on a terminal, a split prints nothing on standard error.
expect_status 0 "$split" -o quiet a.txt
[ -s err.txt ] && fail "progress or noise on a non-terminal: $(cat err.txt)"

finish batch
