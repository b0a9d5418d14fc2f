#!/usr/bin/env bash
# The Debian package as a user meets it: built, checked with lintian and desktop-file-validate,
# installed with apt-get, both programs run from /usr/bin (the manual pages, the menu entry and
# the icons in place; a novel split; the window on a virtual display, its update check against
# a loopback server, its "一键分割" entry written, started by a launcher as "Open with" starts
# it, and removed), then purged: nothing of it may be left. As root on Debian 12; installs
# what is missing. The package is built in build-deb-test/ with the loopback server as its
# update host; `scripts/package.sh deb` makes the one to ship.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
# The update server, Xvfb, openbox and the programs are tracked: ended newest first.
source scripts/lib/checks.sh
source scripts/lib/display.sh

scripts/setup.sh gui package

work=$(mktemp -d /tmp/fk-package.XXXXXX)
remove_work() { rm -rf "$work"; }
at_exit remove_work

# --- An update server on loopback, bounded in time ------------------------------------------
mkdir -p "$work/site/soft/folioknife"
printf '[up]\r\nver=0.8\r\n' >"$work/site/soft/folioknife/up.ini"
# serving PID PORT: the server answers on the port, or it has ended (the port was taken).
serving() { (exec 3<>"/dev/tcp/127.0.0.1/$2") 2>/dev/null || ended "$1"; }
port=
for _ in 1 2 3 4 5; do
    try=$((20000 + RANDOM % 20000))
    timeout 900 python3 -m http.server --bind 127.0.0.1 --directory "$work/site" "$try" \
        >"$work/server.log" 2>&1 &
    server=$!
    until_ok 100 serving "$server" "$try" || fail "the update server did not answer"
    if ! ended "$server"; then
        track "$server"
        port=$try
        break
    fi
done
[ -n "$port" ] || fail "no port for the update server: $(cat "$work/server.log")"

# --- Build and inspect ----------------------------------------------------------------------
deb=$(scripts/package.sh deb build-deb-test "-DFOLIOKNIFE_UPDATE_HOST=127.0.0.1:$port")
[ -f "$deb" ] || fail "no package built"
version=$(built_version build-deb-test) || fail "build-deb-test holds no version header"
[ "$(basename "$deb")" = "folioknife_${version}-1_amd64.deb" ] || fail "package named $(basename "$deb")"
gennovel=$PWD/build-deb-test/tools/fk-gennovel

lintian "$deb" >"$work/lintian.txt" 2>&1 || true
echo "lintian:"
sed 's/^/  /' "$work/lintian.txt"
if grep -q '^E:' "$work/lintian.txt"; then fail "lintian reports errors"; fi
desktop-file-validate packaging/linux/folioknife.desktop || fail "the menu entry is not valid"

# --- Install --------------------------------------------------------------------------------
export DEBIAN_FRONTEND=noninteractive
# A machine that ran this before may still have it.
if dpkg-query -W folioknife >/dev/null 2>&1; then apt-get purge -y -qq folioknife >/dev/null; fi
(cd "$(dirname "$deb")" && apt-get install -y -qq "./$(basename "$deb")" >"$work/apt.log" 2>&1) ||
    fail "apt-get install: $(cat "$work/apt.log")"
dpkg-query -L folioknife >"$work/files"
grep -qx /usr/bin/folioknife "$work/files" || fail "the package holds no /usr/bin/folioknife"

# --- Installed files ------------------------------------------------------------------------
[ "$(/usr/bin/folioknife-split --version)" = "folioknife-split $version" ] || fail "folioknife-split --version"
[ "$(command -v folioknife-split)" = /usr/bin/folioknife-split ] || fail "folioknife-split is not on PATH"
# A minimal image may tell dpkg to leave manual pages out; the page is then read from the
# package itself.
if grep -rqs '^path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/; then
    echo "note: dpkg here leaves manual pages out; reading folioknife-split.1 from the package"
    dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/folioknife-split.1.gz \
        >"$work/folioknife-split.1.gz" || fail "the package holds no folioknife-split.1.gz"
    manual=$(LC_ALL=C.UTF-8 MANWIDTH=100 MANPAGER=cat man -l "$work/folioknife-split.1.gz" 2>/dev/null)
else
    for page in folioknife folioknife-split; do
        [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] ||
            fail "man -w $page: $(man -w "$page" 2>&1)"
    done
    manual=$(LC_ALL=C.UTF-8 MANWIDTH=100 MANPAGER=cat man folioknife-split 2>/dev/null)
fi
for words in "EXIT STATUS" "EXAMPLES" "--recursive" "--json" "--delete-source" "--codepage" "--list" "--per-file" \
    "--prefix" "--suffix" "--expression" "--output" "default 第"; do
    grep -qF -- "$words" <<<"$manual" || fail "the manual page lacks \"$words\""
done
# The installed catalogue: the installed program speaks Chinese under a Chinese locale.
if locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
    LC_ALL=zh_CN.UTF-8 folioknife-split --help | grep -q '退出状态：' ||
        fail "the installed folioknife-split does not speak Chinese under zh_CN.UTF-8"
fi
desktop-file-validate /usr/share/applications/folioknife.desktop || fail "installed menu entry"
grep -qx 'Exec=folioknife %f' /usr/share/applications/folioknife.desktop || fail "menu entry's Exec"
for size in 16 32 48 128 256; do
    icon=/usr/share/icons/hicolor/${size}x$size/apps/folioknife.png
    [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x$size" ] || fail "icon $icon"
done

# --- folioknife-split on a novel ------------------------------------------------------------
mkdir -p "$work/cli"
"$gennovel" "$work/cli/小说.txt" --encoding gbk --chapters 120 --seed 5 >/dev/null
(cd "$work/cli" && /usr/bin/folioknife-split --codepage GBK -n 25 -o 分卷 小说.txt >out.txt 2>err.txt) ||
    fail "folioknife-split: $(cat "$work/cli/err.txt")"
[ "$(count_entries "$work/cli/分卷")" = 5 ] || fail "$(count_entries "$work/cli/分卷") volumes, expected 5"
cat "$work/cli/分卷"/novel_{1,2,3,4,5}.txt | cmp -s - "$work/cli/小说.txt" ||
    fail "the volumes do not join back to the novel"

# --- The window -----------------------------------------------------------------------------
# A home of its own: the "一键分割" entry and anything else the program keeps goes there.
export HOME=$work/home
mkdir -p "$HOME"
unset XDG_DATA_HOME XDG_CACHE_HOME XDG_CONFIG_HOME QT_QPA_PLATFORM WAYLAND_DISPLAY
export LC_ALL=C.UTF-8
entry=$HOME/.local/share/applications/folioknife-context-menu.desktop

start_display

# answer TITLE KEY: the box titled TITLE comes up and goes with KEY.
answer() {
    local box
    box=$(wait_window 200 "$1") || fail "no box titled $1"
    x windowactivate --sync "$box" key "$2"
    until_ok 50 no_window "$1" || fail "the box $1 stayed after $2"
}
# close WID: Alt+F4, then the program must end (with 0 when it is our child).
close() {
    local pid
    pid=$(x getwindowpid "$1")
    x windowactivate --sync "$1" key alt+F4
    until_ok 100 ended "$pid" || fail "still running after Alt+F4"
    if [ "${2:-}" ]; then
        local rc=0
        wait "$2" || rc=$?
        [ "$rc" = 0 ] || fail "/usr/bin/folioknife exited $rc: $(cat "$work/gui.err")"
    fi
}
# The check box stands at 33,209 and 分割 at 333,59 in the client area.
click_check() { x mousemove --window "$1" 60 221 click 1; }
click_split() { x mousemove --window "$1" 377 75 click 1; }

# Started plainly, as from the menu: the title, then the update check's prompt (the server
# offers 0.8), answered No. Then the check box: the warning, and the entry is written.
/usr/bin/folioknife >"$work/gui.out" 2>"$work/gui.err" &
gui=$!
track "$gui"
wid=$(wait_window 200 "Tarvelle V$version") || fail "no window titled Tarvelle V$version"
answer 升级模块 Escape
rm "$work/site/soft/folioknife/up.ini"  # later starts find no newer version
# The package upgraded under the running program: the file it was started from is replaced,
# and the entry must still name /usr/bin/folioknife.
(cd "$(dirname "$deb")" && apt-get install --reinstall -y -qq "./$(basename "$deb")" >"$work/apt.log" 2>&1) ||
    fail "apt-get install --reinstall: $(cat "$work/apt.log")"
readlink "/proc/$gui/exe" | grep -q ' (deleted)$' || fail "the reinstall did not replace the program"
click_check "$wid"
answer 信息 Return
until_ok 50 test -s "$entry" || fail "no entry $entry after checking the box"
until_ok 50 grep -q '^Exec=' "$entry" || fail "the entry has no Exec line: $(cat "$entry")"
grep -qx 'Exec="/usr/bin/folioknife" %f' "$entry" || fail "the entry starts $(grep '^Exec' "$entry")"
desktop-file-validate "$entry" || fail "the 一键分割 entry is not valid"
cp "$entry" "$work/context-menu.desktop"
close "$wid" "$gui"

# "Open with" the 一键分割 entry and with the menu entry, as a launcher starts them: the novel
# is loaded and its folder is the output folder, so one click on 分割 puts the volumes there.
for launcher in "$entry" /usr/share/applications/folioknife.desktop; do
    folder="$work/书库 $(basename "$launcher" .desktop)"
    mkdir -p "$folder"
    "$gennovel" "$folder/长篇 小说.txt" --encoding utf8 --chapters 25 --seed 7 >/dev/null
    gio launch "$launcher" "$folder/长篇 小说.txt" >"$work/gio.log" 2>&1 ||
        fail "gio launch $launcher: $(cat "$work/gio.log")"
    wid=$(wait_window 200 "Tarvelle V$version") || fail "no window after launching $launcher"
    track "$(x getwindowpid "$wid")"
    x windowactivate --sync "$wid"
    click_split "$wid"
    answer 信息 Return
    [ "$(count_volumes "$folder")" = 3 ] ||
        fail "$launcher: $(count_volumes "$folder") volumes beside the novel, expected 3"
    cat "$folder"/novel_{1,2,3}.txt | cmp -s - "$folder/长篇 小说.txt" ||
        fail "$launcher: the volumes do not join back to the novel"
    close "$wid"
done

# Started again, the box is checked (the entry is there); a click removes the entry.
/usr/bin/folioknife >"$work/gui.out" 2>"$work/gui.err" &
gui=$!
track "$gui"
wid=$(wait_window 200 "Tarvelle V$version") || fail "no window on the third start"
click_check "$wid"
answer 信息 Return
until_ok 50 test ! -e "$entry" || fail "the entry stayed after clearing the box"
close "$wid" "$gui"

# The update check kept nothing: not beside the program, not in the home.
[ ! -e /usr/bin/up.ini ] || fail "the update check left /usr/bin/up.ini"
leftovers=$(find "$HOME" -iname '*up.ini*' -o -iname '*folioknife*' | grep -v '/书库 ' || true)
[ -z "$leftovers" ] || fail "left in the home: $leftovers"

# --- Purge ----------------------------------------------------------------------------------
apt-get purge -y -qq folioknife >"$work/apt.log" 2>&1 || fail "apt-get purge: $(cat "$work/apt.log")"
[ -z "$(dpkg-query -W -f='${Status}' folioknife 2>/dev/null)" ] ||
    fail "dpkg still knows folioknife: $(dpkg-query -W -f='${Status}' folioknife)"
while read -r path; do
    if [ -f "$path" ] || [ -L "$path" ]; then fail "left after purge: $path"; fi
done <"$work/files"
[ ! -e /usr/share/doc/folioknife ] || fail "left after purge: /usr/share/doc/folioknife"
if man -w folioknife-split >/dev/null 2>&1; then fail "man still finds folioknife-split"; fi
if command -v folioknife >/dev/null; then fail "folioknife is still on PATH"; fi

echo "test-package: all passed in $(($(date +%s) - started)) s ($(basename "$deb"))"
