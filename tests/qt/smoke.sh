#!/usr/bin/env bash
# The real folioknife on a virtual display with a window manager, driven as a user drives it:
# started with a generated novel, 分割 clicked, the "信息" box answered with Return, the
# window closed with Alt+F4. Checks the files, the exit code, and leaves a screenshot taken
# while the box was up in the given folder. Runs under a UTF-8 locale, and under a GBK locale
# when one can be compiled. Exits 77 (skipped) when the X tools are missing.
#   smoke.sh FOLIOKNIFE FK_GENNOVEL SCREENSHOT_DIR
set -u
program=$(realpath "$1")
gen=$(realpath "$2")
shots=$(realpath "$3")
for tool in Xvfb openbox xdotool import iconv; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
# In a sanitizer build: libxkbcommon-x11 strndup()s atom names that have no NUL within their
# length, which is allowed, but the strict string check reads on to a NUL and reports it.
[ -n "${ASAN_OPTIONS:-}" ] && export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"

work=$(mktemp -d)
pids=()
# stop_from N: ends what this script started after the first N, by pid, newest first; every
# wait is bounded.
stop_from() {
    local i
    for ((i = ${#pids[@]} - 1; i >= $1; i--)); do
        kill "${pids[i]}" 2>/dev/null && timeout 5 tail --pid="${pids[i]}" -f /dev/null
    done
    pids=("${pids[@]:0:$1}")
}
# bash may run the EXIT trap when a subshell of this script ends (a command substitution, a
# background job); only the shell that set it may stop the servers and remove the work folder.
owner=$BASHPID
cleanup() {
    [ "$BASHPID" = "$owner" ] || return 0
    stop_from 0
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
snap() { import -window root "$shots/smoke-$1.png" || fail "no screenshot $1"; }
x() { timeout 10 env LC_ALL=C.UTF-8 xdotool "$@"; }
# titled TITLE: the visible windows whose title is TITLE. Read one by one: under a GBK locale
# Qt writes the legacy WM_NAME in the wrong encoding, which "search --name" matches against;
# getwindowname reads the UTF-8 _NET_WM_NAME that window managers show.
titled() {
    local w
    for w in $(x search --onlyvisible --name . 2>/dev/null); do
        [ "$(x getwindowname "$w" 2>/dev/null)" = "$1" ] && echo "$w"
    done
}
# until_ok TENTHS CMD...: runs CMD every tenth of a second until it succeeds, at most TENTHS times.
until_ok() {
    local n=$1; shift
    while ((n-- > 0)); do "$@" && return 0; sleep 0.1; done
    return 1
}

# Without a display the program says where to go instead, before Qt can abort.
timeout 120 env -u DISPLAY "$program" >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 1 ] || fail "without a display: exit $rc, expected 1"
grep -q folioknife-split "$work/err" || fail "without a display: $(cat "$work/err")"

# start_display: a display of our own, numbered by the server, with openbox on it; each program
# start gets a fresh one, so nothing a previous start left behind can reach it. It is reached
# through its socket file only: "-nolisten local" turns off the abstract socket, which every
# root on this machine shares, so a server in a chroot cannot answer for our display. Under the
# sanitizers with a cold font cache every start is slow: the waits are long, and each ends as
# soon as its condition holds.
start_display() {
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -nolisten local 3>"$work/display" 2>"$work/xvfb.log" &
    pids+=($!)
    until_ok 300 test -s "$work/display" || { fail "Xvfb did not start: $(cat "$work/xvfb.log")"; return 1; }
    export DISPLAY=":$(cat "$work/display")"
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    pids+=($!)
    until_ok 300 x get_desktop >/dev/null 2>&1 || { fail "openbox did not start: $(cat "$work/openbox.log")"; return 1; }
}

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

    local started=${#pids[@]}
    start_display || return
    env LC_ALL="$locale" ${locpath:+LOCPATH="$locpath"} "$program" "$folder/novel.txt" \
        >"$work/$name.out" 2>"$work/$name.err" &
    local pid=$!
    pids+=("$pid")
    local wid box
    until_ok 900 eval 'wid=$(titled "Tarvelle V0.7" | head -n 1); [ -n "$wid" ]' ||
        { fail "$name: no window titled Tarvelle V0.7; stderr: $(head -c 3000 "$work/$name.err")"; stop_from "$started"; return; }
    until_ok 50 x windowactivate --sync "$wid" || fail "$name: the window cannot be activated"
    # SplitButton stands at 333,59 and is 88x32 in the client area.
    x mousemove --window "$wid" 377 75 click 1
    until_ok 300 eval 'box=$(titled 信息 | head -n 1); [ -n "$box" ]' ||
        { fail "$name: no box titled 信息 after clicking 分割"; snap "$name-failed"; stop_from "$started"; return; }
    sleep 0.3  # let the box draw before the picture is taken
    snap "$name"
    x windowactivate --sync "$box" key Return
    until_ok 50 eval '[ -z "$(titled 信息)" ]' || fail "$name: the box stayed"

    local count
    count=$(ls "$folder" | grep -c '^novel_[0-9]*\.txt$')
    [ "$count" = 3 ] || fail "$name: $count volumes, expected 3 (26 pieces, 10 a file)"
    cat "$folder"/novel_1.txt "$folder"/novel_2.txt "$folder"/novel_3.txt |
        cmp -s - "$folder/novel.txt" || fail "$name: the volumes do not join back to the novel"

    x windowactivate --sync "$wid" key alt+F4
    until_ok 300 eval '! kill -0 "$pid" 2>/dev/null' ||
        { fail "$name: still running after Alt+F4"; stop_from "$started"; return; }
    wait "$pid"
    local rc=$?
    [ "$rc" = 0 ] || fail "$name: exit code $rc; stderr: $(cat "$work/$name.err")"
    stop_from "$started"
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
