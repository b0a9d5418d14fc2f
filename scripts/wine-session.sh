# shellcheck shell=bash
# Sourced by the Wine test scripts (test-windows.sh, test-windows-zip.sh): a fresh Wine
# prefix and work folder under /tmp, code page 936, and sessions of a virtual display with a
# Wine server on it. Everything started here is ended, and both folders removed, however the
# script ends.

# shellcheck source=lib/checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/checks.sh"
# shellcheck source=lib/display.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/display.sh"

# Wine takes the ANSI code page from the Unix locale: zh_CN.UTF-8 gives 936 (GBK).
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
unset LC_ALL LANGUAGE LC_CTYPE LC_MESSAGES LC_COLLATE
export LANG=zh_CN.UTF-8

prefix=$(mktemp -d /tmp/fk-wineprefix.XXXXXX)
work=$(mktemp -d /tmp/fk-winerun.XXXXXX)
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
remove_wine_folders() { rm -rf "$prefix" "$work"; }
at_exit remove_wine_folders

# windows_path PATH: the name Wine's programs know a file of this machine by (drive Z: is /).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# gbk_of [FILE]: what a program wrote under code page 936 (FILE, or standard input), in UTF-8.
gbk_of() { iconv -f GBK -t UTF-8 "$@"; }

# begin_session: a display of our own with openbox on it, and a persistent Wine server whose
# desktop lives on that display. Each program start under test gets a session of its own, so
# nothing an earlier start left behind can reach it.
begin_session() {
    session_start=${#tracked[@]}
    start_display
    # One persistent server for the session: without it every program start costs seconds.
    # Never "wineserver -w" while it runs: that waits for ever.
    wineserver -p
    track end_wine_server
    # This first program also starts Wine's own background processes (services.exe, explorer.exe
    # for the desktop, rpcss.exe) with their output going nowhere. Started by a test instead,
    # they would inherit ctest's pipes and hold that test open until it timed out.
    wine cmd /c exit </dev/null >/dev/null 2>&1
}
# end_session: the Wine server and its programs, then the window manager, then the display;
# each by its id, each wait bounded.
end_session() { stop_tracked "${session_start:-${#tracked[@]}}"; }
end_wine_server() {
    wineserver -k >/dev/null 2>&1 || true
    # The server is gone after -k; waiting is safe now and makes sure its children are too.
    timeout 30 wineserver -w >/dev/null 2>&1 || true
}
