#!/usr/bin/env bash
# The picture of a book in docs/images: a generated novel with volumes, a title line, an author
# line and an introduction, made into an EPUB by folioknife-split and opened in Foliate (a
# GUI reader) on a virtual display; one picture of its cover, one of its contents. For the
# documentation only: no test runs it. Installs what it needs (scripts/setup.sh reader).
#   scripts/screenshot-epub.sh [OUT_DIR]        (default docs/images)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/images}")
"$root/scripts/setup.sh" reader
split=$root/build/src/cli/folioknife-split
[ -x "$split" ] || "$root/scripts/build.sh" >/dev/null
# shellcheck source=lib/checks.sh
source "$root/scripts/lib/checks.sh"
# shellcheck source=lib/display.sh
source "$root/scripts/lib/display.sh"
work=$(mktemp -d)
remove_work() { rm -rf "$work"; }
at_exit remove_work
mkdir -p "$out"

# Three volumes of four chapters, each volume opened by a line of introduction; paragraphs
# of words drawn from a small vocabulary by a fixed seed.
awk 'BEGIN {
    srand(31)
    split("山 水 风 云 剑 刀 江 湖 月 星 花 雪 人 心 梦 夜 灯 城 马 路", w, " ")
    split("一 二 三 四 五 六 七 八 九 十 十一 十二", n, " ")
    split("风起 云涌 雪落", v, " ")
    print "《剑与江湖》"
    print "作者：青衫客"
    print ""
    print "内容简介："
    print "　　一个少年离开小城，走进江湖的故事。"
    print ""
    chapter = 0
    for (i = 1; i <= 3; i++) {
        print "第" n[i] "卷 " v[i]
        print "　　本卷讲" v[i] "之事。"
        print ""
        for (j = 1; j <= 4; j++) {
            chapter++
            print "第" n[chapter] "章 " w[int(rand() * 20) + 1] w[int(rand() * 20) + 1]
            for (p = 0; p < 12; p++) {
                line = "　　"
                for (k = 0; k < 40; k++) line = line w[int(rand() * 20) + 1]
                print line "。"
            }
            print ""
        }
    }
}' >"$work/jian.txt"
SOURCE_DATE_EPOCH=1767225600 "$split" --epub "$work/jian.epub" "$work/jian.txt"

start_display
# Foliate keeps its settings and library in the home folder: a fresh one, so that the book
# opens as a first-time reader sees it.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_CACHE_HOME=$work/home/.cache LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
# WebKit draws without GPU compositing on a virtual display; its sandbox (bubblewrap) cannot
# start as root in a container, and the page then never loads. The book is our own.
export WEBKIT_DISABLE_COMPOSITING_MODE=1 WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1 NO_AT_BRIDGE=1
mkdir -p "$XDG_CONFIG_HOME"
dbus-run-session -- foliate "$work/jian.epub" >"$work/foliate.log" 2>&1 &
track $!
window=$(wait_window 600 "剑与江湖") ||
    fail "Foliate showed no window titled 剑与江湖: $(tail -n 20 "$work/foliate.log")"
x windowsize "$window" 1000 740 windowmove "$window" 12 12 windowactivate --sync "$window"
# WebKit lays the book out some seconds after the window shows (longer on a busy machine).
sleep "${READER_WAIT:-40}"
snap "$out/epub-cover.png"
# The contents: the sidebar's button, at the left of the title bar.
x mousemove 40 38 click 1
sleep 3
# The first volume opened: its chapters beneath it.
x mousemove 52 166 click 1
sleep 2
snap "$out/epub-contents.png"
echo "pictures: $out/epub-cover.png $out/epub-contents.png"
