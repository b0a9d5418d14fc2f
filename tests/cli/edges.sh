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

# 3. A flush that fails is a failed write: at every fsync of a split the run stops with status
#    2 and the cause, the older volume or book is back, the source kept, nothing of ours left;
#    once no fsync is left to fail, the split is done.
if command -v strace >/dev/null &&
    strace -f -qq -o /dev/null -e inject=fsync:error=EIO true 2>/dev/null; then
    #    case      | options                             | what stands there before
    while IFS='|' read -r name options before; do
        points=0
        for when in $(seq 1 12); do
            rm -rf "$name" && mkdir -p "$name/out" && cp novel.txt "$name/"
            case $before in
                volume) printf 'an older volume' > "$name/out/novel_1.txt" ;;
                book) printf 'an older book' > "$name/novel.epub" ;;
            esac
            # shellcheck disable=SC2086
            ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
                strace -f -qq -o /dev/null -e trace=fsync -e inject=fsync:error=EIO:when="$when" \
                "$split" $options "$name/novel.txt" >out.txt 2>err.txt
            status=$?
            [ "$status" = 0 ] && break
            points=$((points + 1))
            [ "$status" = 2 ] || fail "$name, fsync $when: status $status: $(cat err.txt)"
            grep -qE '分割失败！无法(写入文件|同步输出文件夹)：|无法写入 .*novel.epub：' err.txt ||
                fail "$name, fsync $when: message: $(cat err.txt)"
            grep -qE 'Input/output error|输入/输出错误' err.txt || fail "$name, fsync $when: reason: $(cat err.txt)"
            cmp -s "$name/novel.txt" novel.txt || fail "$name, fsync $when: the source is gone"
            case $before in
                volume) [ "$(cat "$name/out/novel_1.txt")" = 'an older volume' ] || fail "$name, fsync $when: the older volume is not back" ;;
                book) [ "$(cat "$name/novel.epub")" = 'an older book' ] || fail "$name, fsync $when: the older book is not back" ;;
                *) [ "$(count_entries "$name/out")" = 0 ] || fail "$name, fsync $when: files left: $(ls "$name/out")" ;;
            esac
            [ "$(count_named "$name" folioknife-)" = 0 ] || fail "$name, fsync $when: ours left: $(ls -aR "$name")"
        done
        [ "$status" = 0 ] || fail "$name: still failing after 12 fsyncs"
        [ "$points" -ge 2 ] || fail "$name: only $points fsync(s) to fail"
        echo "$name: $points fsyncs failed, each a failed write"
    done <<TABLE
first|-o first/out --delete-source|
replacing|-o replacing/out --replace|volume
replacing-deleting|-o replacing-deleting/out --replace --delete-source|volume
book|--epub --delete-source|
book-over-book|--epub --delete-source|book
TABLE
else
    echo "skipped the failed flushes: strace cannot inject an fsync failure here"
fi

# 4. What a killed --epub run leaves beside its book goes with the next run; only names of our
#    making that hold a book's beginning (or nothing), never the novel.
"$split" --epub -o . novel.txt >/dev/null 2>&1 && mv novel.epub book.bytes
#    leftover                          | its bytes | the book there | after the next run
while IFS='|' read -r leftover bytes present after; do
    rm -rf left && mkdir left && cp novel.txt left/
    case $bytes in
        book) cp book.bytes "left/$leftover" ;;
        none) : > "left/$leftover" ;;
        text) printf 'a reader kept this' > "left/$leftover" ;;
    esac
    [ "$present" = yes ] && printf 'an older book' > left/novel.epub
    run --epub left/novel.txt || fail "leftover $leftover: $(cat err.txt)"
    case $after in
        gone) [ -e "left/$leftover" ] && fail "leftover $leftover was not removed" ;;
        kept) [ "$(cat "left/$leftover")" = 'a reader kept this' ] || fail "leftover $leftover was touched" ;;
        kept-book) cmp -s "left/$leftover" book.bytes || fail "leftover $leftover was touched" ;;
    esac
done <<'TABLE'
novel.epub.folioknife-new-AbCd1234|book|yes|gone
novel.epub.folioknife-new-AbCd1234|none|no|gone
novel.epub.folioknife-old-AbCd1234|book|no|gone
novel.epub.folioknife-old-AbCd1234|book|yes|gone
novel.epub.folioknife-new-AbCd1234|text|yes|kept
novel.epub.folioknife-new-AbCd12345|book|yes|kept-book
novel.epub.folioknife-new-|book|yes|kept-book
TABLE
# The novel itself, named like a temporary book of its own EPUB, is never removed.
rm -rf self && mkdir self && cp book.bytes self/x.epub.folioknife-new-Self1234
# (Its bytes are a zip archive, no text: the book is refused, status 1.)
run --epub self/x.epub self/x.epub.folioknife-new-Self1234
[ $? = 1 ] || fail "a novel named like a temporary book: $(cat err.txt)"
cmp -s self/x.epub.folioknife-new-Self1234 book.bytes || fail "a novel named like a temporary book was removed"

# 5. Characters XML 1.0 cannot hold (control characters, U+FFFE, U+FFFF) in a title line, a
#    heading and the text: every XML file of the book is well-formed, and the user is told the
#    true cause.
python3 - <<'PY'
text = '《书\x02名》\n作者：某\x1b人\n第一章 开\x01始\n正文\x07\n第二章 \ufffe终\uffff\n完\n'
open('xml8.txt', 'w', encoding='utf-8').write(text)
open('xml16.txt', 'wb').write(b'\xff\xfe' + text.encode('utf-16-le'))
PY
well_formed() {  # well_formed BOOK: every XML file in it parses
    python3 - "$1" <<'PY'
import sys, zipfile, xml.dom.minidom
book = zipfile.ZipFile(sys.argv[1])
names = [n for n in book.namelist() if n.endswith(('.xml', '.xhtml', '.opf', '.ncx'))]
for name in names:
    try:
        xml.dom.minidom.parseString(book.read(name))
    except Exception as e:
        sys.exit(f'{name}: {e}')
if len(names) < 6:
    sys.exit(f'only {names}')
PY
}
#    novel     | options
while IFS='|' read -r novel options; do
    rm -f "${novel%.txt}.epub"
    # shellcheck disable=SC2086
    run --epub $options "$novel" || fail "$novel $options: status $?: $(cat err.txt)"
    well_formed "${novel%.txt}.epub" || fail "$novel $options: ill-formed XML"
    grep -q 'XML 无法容纳的字符' err.txt || fail "$novel $options: cause: $(cat err.txt)"
    grep -q '无法转换为 UTF-8' err.txt && fail "$novel $options: a convertible character said unconvertible"
done <<'TABLE'
xml8.txt|
xml16.txt|
xml8.txt|-e ^第.章
TABLE
# A title and an author typed with a control character in them.
run --epub --title "$(printf 'a\001b')" --author "$(printf 'c\037d')" xml8.txt || fail "typed title: $(cat err.txt)"
well_formed xml8.epub || fail "typed title: ill-formed XML"

# 6. A folder that may be written but not read (a drop box, mode 333) is split into again and
#    again, with --replace and --delete-source, as a user who may not read it: its names are
#    flushed through its file system. (As root every folder may be read.)
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    # The program where the unprivileged user may run it.
    mkdir -m 755 program && cp "$split" program/ && chmod 755 program/*
    as_nobody() { timeout 30 setpriv --reuid=nobody --regid=nogroup --clear-groups "$@" >out.txt 2>err.txt; }
    mkdir -m 777 drop && mkdir -m 777 drop/out
    "$gen" other.txt --encoding gbk --chapters 20 --seed 12 >/dev/null
    chmod 333 drop/out
    #    novel       | options
    while IFS='|' read -r novel options; do
        cp "$novel" drop/ && chmod 666 "drop/$novel"
        # shellcheck disable=SC2086
        as_nobody program/folioknife-split $options -o drop/out "drop/$novel" ||
            fail "drop box, $novel $options: status $?: $(cat err.txt)"
    done <<'TABLE'
novel.txt|
novel.txt|
novel.txt|--delete-source
other.txt|--replace --delete-source
TABLE
    [ -e drop/other.txt ] && fail "drop box: the source was kept: $(cat err.txt)"
    chmod 755 drop/out
    joined drop/out | cmp -s - other.txt ||
        fail "drop box: the volumes are not the last novel: $(ls -a drop/out)"
    [ "$(count_named drop/out folioknife-)" = 0 ] || fail "drop box: ours left: $(ls -a drop/out)"
    chmod 333 drop/out
    cp novel.txt drop/ && chmod 666 drop/novel.txt
    as_nobody program/folioknife-split --epub drop/out/book.epub drop/novel.txt ||
        fail "drop box, EPUB: status $?: $(cat err.txt)"
else
    echo "skipped the drop box: needs root and setpriv"
fi

# 7. Every cause true, nothing left over.
#    A name of a process's descriptor or a device is no novel, even when it leads to one: its
#    folder (/dev) is never locked or written.
for novel in /dev/stdin /proc/self/fd/0 /dev/fd/0; do
    [ -e "$novel" ] || continue
    timeout 30 "$split" --delete-source "$novel" < novel.txt >out.txt 2>err.txt
    status=$?
    [ "$status" = 2 ] || fail "$novel: status $status: $(cat err.txt)"
    grep -q "不是普通文件：$novel" err.txt || fail "$novel: message: $(cat err.txt)"
done
[ -z "$(find /dev -maxdepth 1 -name '*folioknife*' -o -maxdepth 1 -name 'novel_*')" ] || fail "files written into /dev"
#    A novel named "..txt" under {name} would write the volume ".": refused, nothing written.
mkdir dots && cp novel.txt dots/..txt
run --name '{name}' -o dots/out dots/..txt
[ $? = 1 ] || fail "..txt: status: $(cat err.txt)"
grep -q '分割失败！输出文件名无效：\.$' err.txt || fail "..txt: message: $(cat err.txt)"
[ -e dots/out ] && fail "..txt: the folder was made"
#    A heading's control characters are listed as JSON writes them, never raw to the terminal.
printf '第一章 \033]0;title\007标\t题\n文\n' > esc.txt
run --list esc.txt || fail "--list with escapes: $(cat err.txt)"
grep -q $'\x1b' out.txt && fail "--list printed an escape character raw"
grep -qF '第一章 \u001b]0;title\u0007标\t题' out.txt || fail "--list: $(cat out.txt)"
#    Folders that can be written by no one here: the folder that could not be made says why.
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    mkdir -m 777 ro && cp novel.txt ro/x.txt && chmod 644 ro/x.txt && chmod 555 ro
    as_nobody program/folioknife-split -r ro
    [ $? = 2 ] || fail "unwritable folder: status: $(cat err.txt)"
    grep -qE 'Permission denied|权限不够' err.txt || fail "unwritable folder: reason: $(cat err.txt)"
    grep -qE 'No such file|没有那个文件' err.txt && fail "unwritable folder: a false reason: $(cat err.txt)"
    chmod 755 ro
fi

# 8. Folder mode passes over the folders that earlier splits of its novels made, whatever the
#    names, also when the second run names its volumes otherwise (the folder's mark tells):
#    the second finds nothing left to split. A folder with a file of the mark's name that is
#    not ours is split.
mkdir lib && cp novel.txt lib/x.txt && cp novel.txt lib/y.txt
#    first run's options     | second run's options
while IFS='|' read -r options again; do
    rm -rf lib/*/ && cp novel.txt lib/x.txt && cp novel.txt lib/y.txt
    for round in 1 2; do
        [ "$round" = 2 ] && options=$again
        # shellcheck disable=SC2086
        run -r $options --delete-source lib
        status=$?
        [ "$round" = 1 ] && [ "$status" != 0 ] && fail "-r $options: first run: $(cat err.txt)"
    done
    [ "$status" = 2 ] || fail "-r $options: second run: status $status: $(cat out.txt err.txt)"
    [ -n "$(find lib -mindepth 3)" ] && fail "-r $options: volumes split again: $(find lib)"
done <<'TABLE'
--name {name}-{k}.txt|--name {name}-{k}.txt
--name {k0}.txt|--name {k0}.txt
--name {name}-{k}.txt|
--name {k0}_{title}.txt|-n 5
--name {k}.txt|--name {name}-{k}.txt
TABLE
rm -rf lib && mkdir -p lib/mine && cp novel.txt lib/mine/z.txt && echo 'my notes' > lib/mine/.folioknife-volumes
run -r lib || fail "a folder with someone's file of the mark's name: $(cat err.txt)"
[ "$(count_volumes lib/mine/z)" -ge 1 ] || fail "a folder with someone's file of the mark's name was passed over: $(find lib)"

finish edge
