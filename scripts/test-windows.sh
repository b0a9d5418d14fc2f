#!/usr/bin/env bash
# Builds the Windows programs with MinGW-w64 and tests them under Wine: the unit tests through
# ctest (Wine is the toolchain's emulator; the window's tests get a virtual display), then
# folioknife-split.exe on a generated GBK novel, whose volumes must join back to it byte for
# byte and whose EPUB must pass epubcheck and equal the Linux program's, then folioknife.exe
# itself on that display, driven with xdotool and read with fk-wintest. As root on Debian 12;
# installs what is missing. Builds in build-win/ (the novel generator, which needs iconv, for
# this machine in build-win/tools/host/; the Linux folioknife-split in build/) and leaves four
# screenshots there; each run gets a fresh Wine prefix under /tmp, removed at the end with
# every process it started.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
source scripts/lib/checks.sh

# --- Packages -------------------------------------------------------------------------------
scripts/setup.sh windows

# --- Build ----------------------------------------------------------------------------------
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win
version=$(built_version build-win) || fail "build-win holds no version header"
split_exe=$PWD/build-win/src/cli/folioknife-split.exe
gui_exe=$PWD/build-win/src/app/win32/folioknife.exe
probe_exe=$PWD/build-win/tests/win32/fk-wintest.exe
gennovel=$PWD/build-win/tools/host/fk-gennovel
shots=$PWD/build-win
# The Linux folioknife-split, whose EPUB the Windows one's must equal: the one target of the
# native build (nothing to do after scripts/test.sh's native stage).
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target folioknife-split >/dev/null
native_split=$PWD/build/src/cli/folioknife-split

# Both programs stand alone, needing no DLL but the system's (libstdc++, zlib and libzip are
# linked in); the window is a GUI program.
imports=$(x86_64-w64-mingw32-objdump -p "$gui_exe")
grep -q 'Subsystem.*Windows GUI' <<<"$imports" || fail "folioknife.exe is not a GUI program"
for exe in "$gui_exe" "$split_exe"; do
    if x86_64-w64-mingw32-objdump -p "$exe" | grep -iE 'DLL Name: *(lib|zlib)'; then
        fail "$(basename "$exe") needs DLLs beside it"
    fi
done

# --- Wine -----------------------------------------------------------------------------------
# A fresh prefix, code page 936, and begin_session/end_session: a display and a Wine server.
source scripts/wine-session.sh

begin_session
# Chinese captions in Wine's default fonts are drawn as boxes; these fonts have the glyphs.
printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"SimSun"="WenQuanYi Micro Hei"' '"NSimSun"="WenQuanYi Micro Hei"' \
    '"MS Song"="WenQuanYi Micro Hei"' '"Microsoft YaHei"="WenQuanYi Micro Hei"' >"$work/fonts.reg"
wine regedit /S "$(windows_path "$work/fonts.reg")" </dev/null >/dev/null 2>&1 ||
    fail "the font replacements could not be imported"

# --- Unit tests -----------------------------------------------------------------------------
# A window test that skips has tested nothing: here, where the window must be tested, a skip
# fails the stage, and the reason the test gave is shown. (Listed first: any ctest run, a
# listing too, writes LastTest.log anew, and the reasons are read from the run's.)
window_tests=$(ctest --test-dir build-win -N -L window | sed -n 's/^ *Test *#[0-9]*: \([^ ]*\).*/\1/p')
ctest --test-dir build-win --output-on-failure --no-tests=error -j2 | tee "$work/ctest.log"
skipped=$(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*\*\*\*Skipped.*/\1/p' "$work/ctest.log" |
    grep -Fxf <(printf '%s\n' "$window_tests") || true)
if [ -n "$skipped" ]; then
    # ctest keeps each test's output of the run in LastTest.log under "N/M Testing: NAME";
    # GoogleTest prints "<file>:<line>: Skipped" and the reason on the next line.
    why=$(tr -d '\r' <build-win/Testing/Temporary/LastTest.log | awk -v names="$skipped" '
        BEGIN { n = split(names, list, "\n"); for (i = 1; i <= n; i++) window[list[i]] = 1 }
        / Testing: / { test = $3 }
        reason { print; reason = 0 }
        / Skipped$/ { reason = test in window }' | sort -u | head -n 3 | tr '\n' ' ')
    fail "$(wc -l <<<"$skipped") window test(s) skipped, which is no pass: $(tr '\n' ' ' <<<"$skipped")" \
        "-- the reasons given: ${why:-none}"
fi

# --- The command-line splitter on a novel ---------------------------------------------------
# A GBK novel with a Chinese name, split into a folder with a Chinese name: the names reach
# the program as GBK bytes and must come out on disk as the same names.
cd "$work"
chapters=400
per_file=7
"$gennovel" "小说.txt" --encoding gbk --chapters "$chapters" --seed 11 >/dev/null
want=$(( (chapters + 1 + per_file - 1) / per_file ))  # the preface is a piece of its own

wine "$split_exe" -n "$per_file" -o "分卷" "小说.txt" >out.txt 2>err.txt ||
    fail "folioknife-split.exe exited $?: $(gbk_of err.txt)"
got=$(find "分卷" -name 'novel_*.txt' | wc -l)
[ "$got" = "$want" ] || fail "$got volumes, expected $want"
for i in $(seq 1 "$want"); do cat "分卷/novel_$i.txt"; done | cmp - "小说.txt" ||
    fail "the volumes do not join back to the novel"
gbk_of out.txt | grep -q "章节标题：$chapters，输出文件：$want" ||
    fail "unexpected report: $(gbk_of out.txt)"

# With --delete-source the novel goes once the volumes hold all of it.
cp "小说.txt" "原稿.txt"
wine "$split_exe" -n 50 -o "再分" --delete-source "原稿.txt" >out.txt 2>err.txt ||
    fail "folioknife-split.exe --delete-source exited $?: $(gbk_of err.txt)"
[ ! -e "原稿.txt" ] || fail "the source was not deleted"
want=$(( (chapters + 1 + 49) / 50 ))
for i in $(seq 1 "$want"); do cat "再分/novel_$i.txt"; done | cmp - "小说.txt" ||
    fail "the volumes of the deleted source do not join back to it"

# Without -o the volumes go beside the novel, whichever separator its path uses; the program
# runs in another folder, which must stay empty.
mkdir -p "书库甲" "书库乙" "别处"
cp "小说.txt" "书库甲/甲.txt"
cp "小说.txt" "书库乙/乙.txt"
backslashed=$(windows_path "$work/书库甲/甲.txt")
slashed=$(windows_path "$work/书库乙/乙.txt")
slashed=${slashed//\\//}
#  folder  | novel as the program is given it
while IFS='|' read -r folder given; do
    (cd "别处" && wine "$split_exe" -n 50 "$given" >../out.txt 2>../err.txt) ||
        fail "without -o ($given): exited $?: $(gbk_of err.txt)"
    want=$(( (chapters + 1 + 49) / 50 ))
    for i in $(seq 1 "$want"); do cat "$folder/novel_$i.txt"; done | cmp -s - "小说.txt" ||
        fail "without -o ($given): the volumes are not beside the novel"
done <<TABLE
书库甲|$backslashed
书库乙|$slashed
TABLE
[ -z "$(ls "别处")" ] || fail "without -o: volumes in the current folder: $(ls "别处")"

# A folder where volume 2 should go: the split fails, says why, and leaves the folder as it
# was; the novel, itself named like volume 1, keeps every byte. (--replace: the folder at
# novel_2.txt makes the names no earlier split of this novel, which is asked about first.)
mkdir -p "挡路/novel_2.txt"
cp "小说.txt" "挡路/novel_1.txt"
wine "$split_exe" -n 50 --delete-source --replace "挡路/novel_1.txt" >out.txt 2>err.txt &&
    fail "a folder at a volume's name: the split succeeded"
gbk_of err.txt | grep -q '分割失败！无法写入文件：挡路.novel_2.txt' ||
    fail "a folder at a volume's name: $(gbk_of err.txt)"
gbk_of err.txt | grep -q '^folioknife-split: .*分割失败！无法写入文件：挡路.novel_2.txt: .' ||
    fail "a folder at a volume's name: no reason after the message: $(gbk_of err.txt)"
cmp -s "挡路/novel_1.txt" "小说.txt" || fail "a folder at a volume's name: the novel changed"
[ "$(ls "挡路")" = "$(printf 'novel_1.txt\nnovel_2.txt')" ] || fail "files left: $(ls "挡路")"
# The novel is one of the outputs: split, kept, and the user is told.
rmdir "挡路/novel_2.txt"
wine "$split_exe" -n 1000 --delete-source "挡路/novel_1.txt" >out.txt 2>err.txt ||
    fail "the novel as its own volume: exited $?"
gbk_of err.txt | grep -q '源文件未删除：源文件就是输出文件之一' ||
    fail "the novel as its own volume: $(gbk_of err.txt)"
cmp -s "挡路/novel_1.txt" "小说.txt" || fail "the novel as its own volume: not whole"
# Refused code pages: UTF-16 in no named byte order, and UTF-7.
for cp in UTF-16 UTF-7; do
    status=0
    wine "$split_exe" --codepage "$cp" "小说.txt" >out.txt 2>err.txt || status=$?
    [ "$status" = 64 ] || fail "--codepage $cp was not refused: $status"
done

# A UTF-8 novel on this GBK system: the expression follows the novel's encoding, so every
# heading is found and the volumes join back to the novel.
"$gennovel" "utf8.txt" --encoding utf8 --chapters "$chapters" --seed 11 >/dev/null
wine "$split_exe" -n "$per_file" -o "utf8-volumes" "utf8.txt" >out.txt 2>err.txt ||
    fail "folioknife-split.exe on a UTF-8 novel exited $?: $(gbk_of err.txt)"
want=$(( (chapters + 1 + per_file - 1) / per_file ))
got=$(find "utf8-volumes" -name 'novel_*.txt' | wc -l)
[ "$got" = "$want" ] || fail "UTF-8 novel: $got volumes, expected $want"
for i in $(seq 1 "$want"); do cat "utf8-volumes/novel_$i.txt"; done | cmp -s - "utf8.txt" ||
    fail "UTF-8 novel: the volumes do not join back to it"
wine "$split_exe" --list "utf8.txt" >out.txt 2>err.txt || fail "--list on the UTF-8 novel"
# The first line alone: under pipefail, iconv cut off by head would fail the check.
head -n 1 out.txt | gbk_of | tr -d '\r' | grep -qx '编码：UTF-8' || fail "--list: $(head -n 1 out.txt | gbk_of)"
[ "$(wc -l < out.txt)" = $((chapters + 1)) ] || fail "--list found $(($(wc -l < out.txt) - 1)) headings"

# A Western system (code page 1252, as Wine takes it from LANG=C.UTF-8): without --codepage
# the splitter tells GBK and UTF-8 novels apart by their content and finds every heading (it
# used to read them in code page 1252 and find none, as --codepage CP1252 still does).
[ "$(LANG=C.UTF-8 wine cmd /c chcp </dev/null 2>/dev/null | tr -dc '0-9')" != 936 ] ||
    fail "LANG=C.UTF-8 gives code page 936 under Wine"
for encoding in gbk utf8; do
    "$gennovel" "west-$encoding.txt" --encoding "$encoding" --chapters 40 --seed 17 >/dev/null
    LANG=C.UTF-8 wine "$split_exe" -n 10 -o "west-$encoding" "west-$encoding.txt" >out.txt 2>err.txt ||
        fail "code page 1252, $encoding novel: exited $?: $(cat err.txt)"
    got=$(find "west-$encoding" -name 'novel_*.txt' | wc -l)
    [ "$got" = 5 ] || fail "code page 1252, $encoding novel: $got volumes, expected 5: $(cat out.txt)"
    cat "west-$encoding"/novel_{1,2,3,4,5}.txt | cmp -s - "west-$encoding.txt" ||
        fail "code page 1252, $encoding novel: the volumes do not join back to it"
done

# Novels as readers download them: a table of contents, headings in many forms, references
# inside sentences; GBK, UTF-8 with one damaged byte, UTF-16 in both byte orders. Only the
# chapters are headings; UTF-16 volumes after the first begin with the byte-order mark.
for case in "gbk -" "utf8 --damage" "utf16le fffe" "utf16be feff"; do
    read -r encoding mark <<<"$case"
    novel="reader-$encoding.txt"
    extra=()
    if [ "$mark" = --damage ]; then extra=(--damage); fi
    "$gennovel" "$novel" --encoding "$encoding" --chapters 30 --reader --seed 7 "${extra[@]}" >/dev/null
    wine "$split_exe" -n 4 -o "reader-$encoding" "$novel" >out.txt 2>err.txt ||
        fail "reader novel $encoding: exited $?: $(gbk_of err.txt)"
    gbk_of out.txt | grep -q "章节标题：30，输出文件：8" ||
        fail "reader novel $encoding: $(gbk_of out.txt)"
    { cat "reader-$encoding/novel_1.txt"
      for k in $(seq 2 8); do
          if [ "$mark" = fffe ] || [ "$mark" = feff ]; then
              [ "$(head -c 2 "reader-$encoding/novel_$k.txt" | od -An -tx1 | tr -d ' ')" = "$mark" ] ||
                  fail "reader novel $encoding: novel_$k.txt lacks the byte-order mark"
              tail -c +3 "reader-$encoding/novel_$k.txt"
          else
              cat "reader-$encoding/novel_$k.txt"
          fi
      done; } | cmp -s - "$novel" || fail "reader novel $encoding: the volumes do not join back"
done
# An invalid expression is refused before anything is written.
status=0
wine "$split_exe" -e '第(' -o "invalid" "utf8.txt" >out.txt 2>err.txt || status=$?
if ! { [ "$status" = 1 ] && gbk_of err.txt | grep -q '^folioknife-split: utf8.txt: 章节表达式无效：' &&
       [ ! -e invalid ]; }; then
    fail "invalid expression: status $status, $(gbk_of err.txt)"
fi

# The reader's features on this Chinese system: Chinese messages and help; several novels
# with one failing, each into a folder of its own; names that sort; a size limit; UTF-8
# volumes that convert back before the source goes; the listing as JSON.
status=0
wine "$split_exe" --no-such "小说.txt" >out.txt 2>err.txt || status=$?
if ! { [ "$status" = 64 ] && gbk_of err.txt | grep -q '未知的选项或参数：--no-such'; }; then
    fail "an unknown option under code page 936: $status, $(gbk_of err.txt)"
fi
wine "$split_exe" --help >out.txt 2>err.txt || fail "--help exited $?"
# Read whole first: under pipefail, iconv cut off by grep -q would fail the check.
gbk_of out.txt >help.txt
grep -q '退出状态：' help.txt || fail "--help is not Chinese: $(head -n 3 help.txt)"
mkdir -p "书堆" && cp "小说.txt" "书堆/甲.txt" && cp "utf8.txt" "书堆/乙.txt"
status=0
wine "$split_exe" -n 10 --name '{name}_{k0}.txt' "书堆/甲.txt" "书堆/无.txt" "书堆/乙.txt" \
    >out.txt 2>err.txt || status=$?
[ "$status" = 2 ] || fail "several novels, one missing: status $status"
[ "$(gbk_of out.txt | grep -c '分割成功！')" = 2 ] || fail "several novels: $(gbk_of out.txt)"
gbk_of err.txt | grep -q '^folioknife-split: 书堆.无.txt: .' || fail "several novels: $(gbk_of err.txt)"
for pair in "甲 小说.txt" "乙 utf8.txt"; do
    read -r n src <<<"$pair"
    # The .txt files: the folder also holds the split's mark of a folder of volumes.
    find "书堆/$n" -maxdepth 1 -type f -name '*.txt' -printf '%f\n' | sort | while read -r f; do cat "书堆/$n/$f"; done |
        cmp -s - "$src" || fail "several novels: the .txt files of 书堆/$n/ in the order they sort"
    [ -f "书堆/$n/.folioknife-volumes" ] || fail "several novels: 书堆/$n/ is not marked as a folder of volumes"
done
wine "$split_exe" --max-size 20K -o "限长" "小说.txt" >out.txt 2>err.txt || fail "--max-size exited $?"
for f in "限长"/*; do [ "$(stat -c %s "$f")" -le 20480 ] || fail "--max-size: $f is too large"; done
cp "小说.txt" "转码.txt"
wine "$split_exe" -n 10 --to utf-8 --delete-source -o "转码" "转码.txt" >out.txt 2>err.txt ||
    fail "--to utf-8 exited $?: $(gbk_of err.txt)"
[ -e "转码.txt" ] && fail "--to utf-8 --delete-source: the source was kept: $(gbk_of err.txt)"
for k in $(seq 1 "$(find "转码" -name 'novel_*.txt' | wc -l)"); do cat "转码/novel_$k.txt"; done |
    iconv -f UTF-8 -t GBK | cmp -s - "小说.txt" || fail "--to utf-8: the volumes are not the novel"
# A byte-order mark directly before the first heading (a Notepad file) with --to: no crash,
# heading 1 in volume 1 (--list --json too), the volumes turned back are the text after it.
printf '\xef\xbb\xbf第一章 甲\n文\n第二章 乙\n文\n' > "标记8.txt"
{ printf '\xff\xfe'; printf '第一章 甲\n文\n第二章 乙\n文\n' | iconv -f UTF-8 -t UTF-16LE; } > "标记16.txt"
#   novel    | --to  | iconv's name of it
while IFS='|' read -r novel to codec; do
    rm -rf "标记"
    wine "$split_exe" --to "$to" -o "标记" "$novel" >out.txt 2>err.txt ||
        fail "a mark before the heading, --to $to: exited $?: $(gbk_of err.txt)"
    iconv -f "$codec" -t UTF-8 "标记/novel_1.txt" | cmp -s - <(printf '第一章 甲\n文\n第二章 乙\n文\n') ||
        fail "a mark before the heading, --to $to: volume 1 is not the text"
    wine "$split_exe" --list --json --to "$to" "$novel" >out.txt 2>err.txt ||
        fail "a mark before the heading, --list --json --to $to: exited $?"
    python3 -c 'import json; d = json.load(open("out.txt", encoding="utf-8")); assert d["headings"][0]["volume"] == 1' ||
        fail "a mark before the heading, --list --json --to $to: $(head -c 300 out.txt)"
done <<'TABLE'
标记8.txt|gbk|GBK
标记16.txt|utf-8|UTF-8
TABLE
wine "$split_exe" --json -n 10 "utf8.txt" >out.txt 2>err.txt || fail "--json exited $?"
python3 -c 'import json, sys; d = json.load(open("out.txt", encoding="utf-8"))
assert len(d["headings"]) == int(sys.argv[1]) and sum(v["length"] for v in d["volumes"]) == d["bytes"]' \
    "$chapters" || fail "--json: $(head -c 300 out.txt)"

# --- EPUB -----------------------------------------------------------------------------------
# The GBK novel and the UTF-16 one made into books here and by the Linux program: epubcheck
# finds nothing to say, and with the time fixed (SOURCE_DATE_EPOCH) the two books are the same
# bytes. Then --delete-source, which reads the book back from disk before the novel goes.
# The third is UTF-16LE without a byte-order mark, its title with a release tag, an author
# line, a volume with an introduction and an extra after it.
export SOURCE_DATE_EPOCH=1767225600
{ printf '作者：某人\r\n'
  iconv -f GBK -t UTF-8 "小说.txt" | sed '0,/^第一章/s//第一卷 风起\r\n本卷讲风起之事。\r\n第一章/'
  printf '番外 一\r\n正文\r\n'
} | iconv -f UTF-8 -t UTF-16LE >"【精校】卷本.txt"
mkdir -p linux-epub
for novel in "小说.txt" "reader-utf16le.txt" "【精校】卷本.txt"; do
    book=${novel%.txt}.epub
    wine "$split_exe" --epub "$novel" >out.txt 2>err.txt ||
        fail "--epub $novel exited $?: $(gbk_of err.txt)"
    gbk_of out.txt | grep -q "$novel：已写出 EPUB：" || fail "--epub $novel: $(gbk_of out.txt)"
    java -jar /usr/share/java/epubcheck.jar "$book" >check.txt 2>&1 ||
        fail "epubcheck $book: $(grep -E 'ERROR|WARNING|FATAL' check.txt | head -n 3)"
    grep -q 'No errors or warnings detected' check.txt || fail "epubcheck $book: $(cat check.txt)"
    (cd linux-epub && "$native_split" --epub -o . "../$novel" >../out.txt 2>../err.txt) ||
        fail "the Linux folioknife-split --epub $novel exited $?: $(cat err.txt)"
    if ! cmp -s "$book" "linux-epub/$book"; then
        fail "the EPUBs of $novel on Windows and Linux differ: $(python3 -c 'import sys, zipfile
a, b = (zipfile.ZipFile(f) for f in sys.argv[1:])
print(" ".join(n for n in sorted(set(a.namelist()) | set(b.namelist()))
      if n not in a.namelist() or n not in b.namelist() or a.read(n) != b.read(n)) or "in the zip only")' \
            "$book" "linux-epub/$book")"
    fi
done
zip_entry "【精校】卷本.epub" OEBPS/content.opf | grep -q '<dc:title>卷本</dc:title>' ||
    fail "--epub 【精校】卷本.txt: the title"
zip_entry "【精校】卷本.epub" OEBPS/nav.xhtml | tr -d '\n' |
    grep -q '第一卷 风起</a><ol><li>.*</ol></li><li><a href="[^"]*">番外 一</a></li></ol>' ||
    fail "--epub 【精校】卷本.txt: the contents: $(zip_entry "【精校】卷本.epub" OEBPS/nav.xhtml | head -c 600)"
cp "reader-utf16le.txt" "书稿.txt"
wine "$split_exe" --epub --delete-source "书稿.txt" >out.txt 2>err.txt ||
    fail "--epub --delete-source exited $?: $(gbk_of err.txt)"
{ [ ! -e "书稿.txt" ] && [ -f "书稿.epub" ]; } || fail "--epub --delete-source: $(gbk_of out.txt)"
unset SOURCE_DATE_EPOCH

# A novel named like the program's lock or record, or like a volume, in its own folder: never
# removed. The record's name is one the split needs: refused with the reason. novel_2.txt split
# twice with --replace: the second split replaces novel_1.txt and keeps novel_2.txt.
volumes=$(( (chapters + 1 + 49) / 50 ))
for own in .folioknife-lock .folioknife-record; do
    rm -rf "自名" && mkdir "自名" && cp "小说.txt" "自名/$own"
    status=0
    wine "$split_exe" -n 50 "自名/$own" >out.txt 2>err.txt || status=$?
    cmp -s "自名/$own" "小说.txt" || fail "a novel named $own: removed or changed"
    if [ "$own" = .folioknife-record ]; then
        { [ "$status" = 1 ] && gbk_of err.txt | grep -q '不是本程序的记录文件'; } ||
            fail "a novel named $own: status $status: $(gbk_of err.txt)"
    else
        [ "$status" = 0 ] || fail "a novel named $own: exited $status: $(gbk_of err.txt)"
        for i in $(seq 1 "$volumes"); do cat "自名/novel_$i.txt"; done | cmp -s - "小说.txt" ||
            fail "a novel named $own: the volumes are not the novel"
    fi
done
rm -rf "二号" && mkdir "二号" && cp "小说.txt" "二号/novel_2.txt"
wine "$split_exe" -n 300 --replace "二号/novel_2.txt" >out.txt 2>err.txt ||
    fail "novel_2.txt: exited $?: $(gbk_of err.txt)"
cat "二号/novel_1.txt" "二号/novel_2.txt" | cmp -s - "小说.txt" || fail "novel_2.txt: not the novel"
cp "二号/novel_2.txt" "第二卷.txt"
wine "$split_exe" -n 300 --replace "二号/novel_2.txt" >out.txt 2>err.txt ||
    fail "novel_2.txt again: exited $?: $(gbk_of err.txt)"
cmp -s "二号/novel_2.txt" "第二卷.txt" || fail "novel_2.txt again: the novel was removed or changed"
cmp -s "二号/novel_1.txt" "第二卷.txt" || fail "novel_2.txt again: novel_1.txt is not its split"
[ -z "$(find "二号" "自名" -name '*folioknife-*' ! -name '.folioknife-lock' ! -name '.folioknife-record')" ] ||
    fail "files of ours left: $(ls -A "二号" "自名")"

# --- The window program ---------------------------------------------------------------------
end_session
title="Tarvelle V$version"
probe() { wine "$probe_exe" "$@" </dev/null; }
# from_probe [FILE]: what fk-wintest printed, in UTF-8. It prints in the program's code page:
# GBK under code page 936, UTF-8 under any other (LANG=C.UTF-8 gives 1252).
from_probe() { if [ "$LANG" = C.UTF-8 ]; then cat "$@"; else gbk_of "$@"; fi; }
# close_window WHAT: Alt+F4 on the window $wid ends the program $gui, within a bound, with 0.
close_window() {
    x windowactivate --sync "$wid" key alt+F4
    until_ok 300 ended "$gui" || fail "$1: still running after Alt+F4"
    local rc=0
    wait "$gui" || rc=$?
    [ "$rc" = 0 ] || fail "$1: exit code $rc"
}
# click_split WHAT FOLDER: the program, just started with a novel of FOLDER, shows the novel
# loaded, Open disabled and the output folder preset to FOLDER; one click on 分割 brings up a
# box. Sets wid (the window) and box.
click_split() {
    local what=$1 folder=$2
    wid=$(wait_window 600 "$title") || fail "$what: no window titled $title"
    probe check "OpenButton.text=文件已打开" OpenButton.enabled=0 \
        "OutputDirEdit.text=$(windows_path "$folder/")" >"$work/probe.out" ||
        fail "$what: $(from_probe "$work/probe.out")"
    until_ok 50 x windowactivate --sync "$wid" || fail "$what: the window cannot be activated"
    # SplitButton stands at 333,59 and is 88x32 in the client area.
    x mousemove --window "$wid" 377 75 click 1
    box=$(wait_window 600 信息) || fail "$what: no box titled 信息 after clicking 分割"
}
# split_in_window WHAT FOLDER NOVEL [SCREENSHOT]: click_split, the box says the split is done,
# Return closes it, the volumes beside the novel join back to it, and Alt+F4 ends the program.
split_in_window() {
    local what=$1 folder=$2 novel=$3 shown
    click_split "$what" "$folder"
    shown=$(probe box 信息 | from_probe)
    [ "$shown" = "分割成功！" ] || fail "$what: the box after clicking 分割 says: $shown"
    if [ -n "${4:-}" ]; then snap "$4" || fail "no screenshot $4"; fi
    x windowactivate --sync "$box" key Return
    until_ok 50 no_window 信息 || fail "$what: the box stayed after Return"
    got=$(find "$folder" -name 'novel_*.txt' | wc -l)
    [ "$got" = 3 ] || fail "$what: $got volumes beside the novel, expected 3 (26 pieces, 10 a file)"
    cat "$folder"/novel_{1,2,3}.txt | cmp - "$folder/$novel" ||
        fail "$what: the volumes do not join back to the novel"
    close_window "folioknife.exe with $what"
}

# Started with a novel, as the context-menu entry starts it: the file is loaded, Open is
# disabled, the output goes beside the novel; one click on 分割 and the volumes are there.
mkdir -p "$work/书库"
"$gennovel" "$work/书库/长篇小说.txt" --encoding gbk --chapters 25 --seed 7 >/dev/null
begin_session
wine "$gui_exe" "$(windows_path "$work/书库/长篇小说.txt")" </dev/null >"$work/gui.out" 2>&1 &
gui=$!
split_in_window "a novel" "$work/书库" 长篇小说.txt "$shots/screenshot-split.png"
end_session

# Closed while the box after 分割 is up (the box has no owner, so the window takes Alt+F4):
# the box goes with it, the program ends with 0, and the novel is as it was.
mkdir -p "$work/书库丙"
"$gennovel" "$work/书库丙/小说.txt" --encoding gbk --chapters 25 --seed 9 >/dev/null
cp "$work/书库丙/小说.txt" "$work/novel-before-close.txt"
begin_session
wine "$gui_exe" "$(windows_path "$work/书库丙/小说.txt")" </dev/null >"$work/gui.out" 2>&1 &
gui=$!
click_split "closed during the box" "$work/书库丙"
close_window "folioknife.exe closed while 分割成功！ was up"
cmp -s "$work/书库丙/小说.txt" "$work/novel-before-close.txt" ||
    fail "closed during the box: the novel is not as it was"
end_session

# Started as Explorer starts the context-menu entry: the registered command leaves the path
# unquoted, so a path with blanks reaches the program as several items; the program still loads
# the whole path and presets its folder. fk-wintest hands the command line over as it stands
# (wine would quote it).
for folder in "My Books" "My  Books"; do
    mkdir -p "$work/$folder"
    "$gennovel" "$work/$folder/a novel.txt" --encoding gbk --chapters 25 --seed 5 >/dev/null
    begin_session
    probe launch "$(windows_path "$gui_exe") $(windows_path "$work/$folder/a novel.txt")" &
    gui=$!
    split_in_window "a path with \"$folder\"" "$work/$folder" "a novel.txt"
    end_session
done

# A folder and a novel named with characters whose second byte is 0x5C ("\\" in ASCII: 乗 is
# 81 5C, 盶 is B1 5C in GBK): the CLI and the window split into that folder and nowhere else.
mkdir -p "$work/乗盶"
"$gennovel" "$work/乗盶/乗.txt" --encoding gbk --chapters 25 --seed 3 >/dev/null
begin_session
(cd "$work" && wine "$split_exe" -n 10 -o "分卷乗盶" "乗盶/乗.txt" >out.txt 2>err.txt) ||
    fail "0x5C folder: the CLI exited $?: $(gbk_of "$work/err.txt")"
cat "$work/分卷乗盶"/novel_{1,2,3}.txt | cmp -s - "$work/乗盶/乗.txt" ||
    fail "0x5C folder: the CLI's volumes do not join back to the novel"
wine "$gui_exe" "$(windows_path "$work/乗盶/乗.txt")" </dev/null >"$work/gui.out" 2>&1 &
gui=$!
split_in_window "a 0x5C folder" "$work/乗盶" "乗.txt"
end_session

# Started plainly: every control holds its preset; with a fixed drive D:, D:\output as ever.
mkdir -p "$work/drive-d"
rm -f "$prefix/dosdevices/d:" "$prefix/dosdevices/d::"
ln -s "$work/drive-d" "$prefix/dosdevices/d:"
begin_session
wine "$gui_exe" </dev/null >"$work/gui.out" 2>&1 &
gui=$!
wid=$(wait_window 600 "$title") || fail "no window titled $title after a plain start"
probe check 'OutputDirEdit.text=D:\output' >"$work/probe.out" ||
    fail "the window after a plain start: $(gbk_of "$work/probe.out")"
snap "$shots/screenshot-presets.png" || fail "no screenshot of the presets"
close_window "folioknife.exe started plainly"
end_session

# No drive D: (a laptop with one disk): the preset is "output" in the user's Documents, and a
# split into D:\output says that the drive is missing, in the window and in the CLI.
rm -f "$prefix/dosdevices/d:"
begin_session
profile=$(wine cmd /c echo %USERPROFILE% </dev/null 2>/dev/null | tr -d '\r')
[ -n "$profile" ] || fail "no user profile folder"
cd "$work"
status=0
wine "$split_exe" -n 10 -o 'D:\output' "小说.txt" >out.txt 2>err.txt || status=$?
[ "$status" = 2 ] || fail "no drive D:: the CLI exited $status"
[ "$(gbk_of err.txt | tr -d '\r')" = "$(printf 'folioknife-split: 小说.txt: 分割失败！无法创建输出文件夹：D:\\output: 没有驱动器 D:')" ] ||
    fail "no drive D:: the CLI said: $(gbk_of err.txt)"
wine "$gui_exe" "$(windows_path "$work/书库/长篇小说.txt")" </dev/null >"$work/gui.out" 2>&1 &
gui=$!
wid=$(wait_window 600 "$title") || fail "no drive D:: no window titled $title"
probe check "OutputDirEdit.text=$(windows_path "$work/书库/")" OpenButton.text=文件已打开 \
    OpenButton.enabled=0 >"$work/probe.out" || fail "no drive D:: $(gbk_of "$work/probe.out")"
until_ok 50 x windowactivate --sync "$wid" || fail "no drive D:: the window cannot be activated"
# OutputDirEdit stands at 69,139 and is 216x20: its text replaced as a reader types it.
x mousemove --window "$wid" 170 149 click 1
x key End shift+Home BackSpace
x type 'D:\output'
x mousemove --window "$wid" 377 75 click 1
box=$(wait_window 600 信息) || fail "no drive D:: no box after clicking 分割"
shown=$(probe box 信息 | gbk_of | tr -d '\r')
[ "$shown" = "$(printf '分割失败！无法创建输出文件夹：D:\\output\n没有驱动器 D:')" ] ||
    fail "no drive D:: the window said: $shown"
x windowactivate --sync "$box" key Return
until_ok 50 no_window 信息 || fail "no drive D:: the box stayed after Return"
close_window "folioknife.exe without drive D:"
wine "$gui_exe" </dev/null >"$work/gui.out" 2>&1 &
gui=$!
wid=$(wait_window 600 "$title") || fail "no drive D:: no window after a plain start"
probe check "OutputDirEdit.text=$profile\\Documents\\output" >"$work/probe.out" ||
    fail "no drive D:: the preset: $(gbk_of "$work/probe.out")"
close_window "folioknife.exe started plainly without drive D:"
end_session

# A Western system (code page 1252): the window talks to Windows in UTF-16 and holds its texts
# in UTF-8, so every caption is the Chinese one (fk-wintest reads them whole and compares them
# with the control table), a novel with a Chinese name opens from the command line and splits
# beside itself, and so does one in a folder whose GBK bytes hold 0x5C; the CLI splits it too.
export LANG=C.UTF-8
mkdir -p "$work/西文/书库" "$work/西文/乗盶"
"$gennovel" "$work/西文/书库/长篇小说.txt" --encoding gbk --chapters 25 --seed 7 >/dev/null
"$gennovel" "$work/西文/乗盶/乗.txt" --encoding utf8 --chapters 25 --seed 3 >/dev/null
begin_session
[ "$(wine cmd /c chcp </dev/null 2>/dev/null | tr -dc '0-9')" != 936 ] ||
    fail "LANG=C.UTF-8 gives code page 936 under Wine"
wine "$gui_exe" </dev/null >"$work/gui.out" 2>&1 &
gui=$!
wid=$(wait_window 600 "$title") || fail "code page 1252: no window titled $title"
probe check >"$work/probe.out" || fail "code page 1252, the captions: $(cat "$work/probe.out")"
snap "$shots/screenshot-cp1252.png" || fail "no screenshot under code page 1252"
close_window "folioknife.exe started plainly under code page 1252"
#  folder | novel | screenshot
while IFS='|' read -r folder novel shot; do
    wine "$gui_exe" "$(windows_path "$work/西文/$folder/$novel")" </dev/null >"$work/gui.out" 2>&1 &
    gui=$!
    split_in_window "code page 1252, $folder/$novel" "$work/西文/$folder" "$novel" \
        ${shot:+"$shots/$shot"}
done <<TABLE
书库|长篇小说.txt|screenshot-cp1252-split.png
乗盶|乗.txt|
TABLE
(cd "$work/西文" && wine "$split_exe" -n 10 -o "分卷乗盶" "乗盶/乗.txt" >../out.txt 2>../err.txt) ||
    fail "code page 1252, 0x5C folder: the CLI exited $?: $(cat "$work/err.txt")"
cat "$work/西文/分卷乗盶"/novel_{1,2,3}.txt | cmp -s - "$work/西文/乗盶/乗.txt" ||
    fail "code page 1252, 0x5C folder: the CLI's volumes do not join back to the novel"
end_session

echo "test-windows: all passed in $(( $(date +%s) - started )) s"
