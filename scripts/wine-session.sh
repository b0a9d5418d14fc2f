# Sourced by the Wine test scripts (test-windows.sh, test-windows-zip.sh): a fresh Wine prefix
# and work folder under /tmp, code page 936, and sessions of a virtual display with a Wine
# server on it. The caller defines fail MESSAGE (which exits) before sourcing this, and may
# define after_cleanup, run last when the script ends. Everything started here is ended, and
# both folders removed, however the script ends.

# Wine takes the ANSI code page from the Unix locale: zh_CN.UTF-8 gives 936 (GBK).
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
unset LC_ALL LANGUAGE LC_CTYPE LC_MESSAGES LC_COLLATE
export LANG=zh_CN.UTF-8

prefix=$(mktemp -d /tmp/fk-wineprefix.XXXXXX)
work=$(mktemp -d /tmp/fk-winerun.XXXXXX)
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
x_pids=()  # Xvfb, then openbox, of the display in use
server_up=no
# bash may run the EXIT trap when a subshell of this script ends (a command substitution, a
# background job); only the shell that set it may stop the servers and remove the folders.
session_owner=$BASHPID
cleanup() {
    [ "$BASHPID" = "$session_owner" ] || return 0
    end_session
    if declare -F after_cleanup >/dev/null; then after_cleanup; fi
    rm -rf "$prefix" "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# windows_path PATH: the name Wine's programs know a file of this machine by (drive Z: is /).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# until_ok TENTHS CMD...: runs CMD every tenth of a second until it succeeds, at most TENTHS times.
until_ok() {
    local n=$1
    shift
    while ((n-- > 0)); do "$@" && return 0; sleep 0.1; done
    return 1
}
x() { timeout 10 xdotool "$@"; }

# begin_session: a display of our own, numbered by the server, with openbox on it (without a
# window manager a message box can be neither activated nor dismissed with xdotool; reached
# through its socket file only, as "-nolisten local" leaves no abstract socket that another
# root of this machine could share), and a
# persistent Wine server whose desktop lives on that display. Each program start under test
# gets a session of its own, so nothing an earlier start left behind can reach it.
begin_session() {
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -nolisten local 3>"$work/display" 2>"$work/xvfb.log" &
    x_pids+=($!)
    until_ok 300 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=":$(cat "$work/display")"
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    x_pids+=($!)
    until_ok 300 x get_desktop >/dev/null 2>&1 || fail "openbox did not start: $(cat "$work/openbox.log")"
    # One persistent server for the session: without it every program start costs seconds.
    # Never "wineserver -w" while it runs: that waits for ever.
    wineserver -p
    server_up=yes
    # This first program also starts Wine's own background processes (services.exe, explorer.exe
    # for the desktop, rpcss.exe) with their output going nowhere. Started by a test instead,
    # they would inherit ctest's pipes and hold that test open until it timed out.
    wine cmd /c exit </dev/null >/dev/null 2>&1
}
# end_session: the Wine server and its programs, then the window manager, then the display;
# each by its id, each wait bounded.
end_session() {
    if [ "$server_up" = yes ]; then
        wineserver -k >/dev/null 2>&1 || true
        # The server is gone after -k; waiting is safe now and makes sure its children are too.
        timeout 30 wineserver -w >/dev/null 2>&1 || true
        server_up=no
    fi
    local i
    for ((i = ${#x_pids[@]} - 1; i >= 0; i--)); do
        kill "${x_pids[i]}" 2>/dev/null && timeout 5 tail --pid="${x_pids[i]}" -f /dev/null
    done
    x_pids=()
}
