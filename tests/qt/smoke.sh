#!/usr/bin/env bash
# The real folioknife on a virtual display with a window manager, driven as a user drives it:
# started with a generated novel, 分割 clicked, the "信息" box answered with Return, the
# window closed with Alt+F4. Checks the files, the exit code, and leaves a screenshot taken
# while the box was up in the given folder. Runs under a UTF-8 locale, and under a GBK locale
# when one can be compiled. Exits 77 (skipped) when the X tools are missing.
#   FOLIOKNIFE_VERSION=<the build's version> smoke.sh FOLIOKNIFE FK_GENNOVEL SCREENSHOT_DIR
set -u
program=$(realpath "$1")
gen=$(realpath "$2")
shots=$(realpath "$3")
# The display, waits and failures of the test scripts; a failure is counted and the next
# check goes on.
# shellcheck source=../../scripts/lib/checks.sh
source "$(dirname "$0")/../../scripts/lib/checks.sh"
# shellcheck source=../../scripts/lib/display.sh
source "$(dirname "$0")/../../scripts/lib/display.sh"
keep_going=yes
version=${FOLIOKNIFE_VERSION:?set by ctest}
for tool in Xvfb openbox xdotool import iconv; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
# In a sanitizer build: libxkbcommon-x11 strndup()s atom names that have no NUL within their
# length, which is allowed, but the strict string check reads on to a NUL and reports it.
[ -n "${ASAN_OPTIONS:-}" ] && export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"

work=$(mktemp -d)
remove_work() { rm -rf "$work"; }
at_exit remove_work
snap_or_fail() { snap "$shots/smoke-$1.png" || fail "no screenshot $1"; }

# Without a display the program says where to go instead, before Qt can abort.
timeout 120 env -u DISPLAY "$program" >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 1 ] || fail "without a display: exit $rc, expected 1"
grep -q folioknife-split "$work/err" || fail "without a display: $(cat "$work/err")"

# run NAME LOCALE ENCODING GENERATOR_ENCODING [LOCPATH]
run() {
    local name=$1 locale=$2 encoding=$3 generated=$4 locpath=${5:-}
    echo "== $name: LC_ALL=$locale, a $encoding novel in a folder with a Chinese name"
    # The folder's name in the locale's encoding, as a file manager of that locale makes it.
    local folder
    folder="$work/$name-$(printf '小说' | iconv -f UTF-8 -t "$encoding")"
    mkdir -p "$folder"
    local chapters
    chapters=$("$gen" "$folder/novel.txt" --encoding "$generated" --chapters 25 --seed 7)
    [ "$chapters" = 25 ] || { fail "$name: the generator wrote $chapters headings"; return; }

    # Each program start gets a fresh display, so nothing a previous start left behind can
    # reach it. Under the sanitizers with a cold font cache every start is slow: the waits are
    # long, and each ends as soon as its condition holds.
    local started=${#tracked[@]}
    start_display || return
    env LC_ALL="$locale" ${locpath:+LOCPATH="$locpath"} "$program" "$folder/novel.txt" \
        >"$work/$name.out" 2>"$work/$name.err" &
    local pid=$!
    track "$pid"
    local wid box
    wid=$(wait_window 900 "Tarvelle V$version") ||
        { fail "$name: no window titled Tarvelle V$version; stderr: $(head -c 3000 "$work/$name.err")"; stop_tracked "$started"; return; }
    until_ok 50 x windowactivate --sync "$wid" || fail "$name: the window cannot be activated"
    # SplitButton stands at 333,59 and is 88x32 in the client area.
    x mousemove --window "$wid" 377 75 click 1
    box=$(wait_window 300 信息) ||
        { fail "$name: no box titled 信息 after clicking 分割"; snap_or_fail "$name-failed"; stop_tracked "$started"; return; }
    snap_or_fail "$name"
    x windowactivate --sync "$box" key Return
    until_ok 50 no_window 信息 || fail "$name: the box stayed"

    local count
    count=$(count_volumes "$folder")
    [ "$count" = 3 ] || fail "$name: $count volumes, expected 3 (26 pieces, 10 a file)"
    cat "$folder"/novel_1.txt "$folder"/novel_2.txt "$folder"/novel_3.txt |
        cmp -s - "$folder/novel.txt" || fail "$name: the volumes do not join back to the novel"

    x windowactivate --sync "$wid" key alt+F4
    until_ok 300 ended "$pid" ||
        { fail "$name: still running after Alt+F4"; stop_tracked "$started"; return; }
    wait "$pid"
    local rc=$?
    [ "$rc" = 0 ] || fail "$name: exit code $rc; stderr: $(cat "$work/$name.err")"
    stop_tracked "$started"
}

run utf8 C.UTF-8 UTF-8 utf8

# A GBK locale compiled into the work folder: the captions then travel GBK -> UTF-8 into Qt,
# and the novel's path and files are GBK bytes throughout.
mkdir -p "$work/locale"
if localedef -i zh_CN -f GBK "$work/locale/zh_CN.GBK" >/dev/null 2>&1 &&
    [ "$(LOCPATH="$work/locale" LC_ALL=zh_CN.GBK locale charmap 2>/dev/null)" = GBK ]; then
    run gbk zh_CN.GBK GBK gbk "$work/locale"
else
    echo "note: no GBK locale could be compiled (localedef or the zh_CN sources missing)"
fi

[ "$failures" = 0 ] && echo "smoke: all passed" || echo "smoke: $failures failure(s)"
[ "$failures" = 0 ]
