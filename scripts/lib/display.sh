# shellcheck shell=bash
# Sourced by the scripts that drive a window: a virtual display of our own with a window
# manager on it, and the means to find, drive and photograph windows there.
#
#   start_display       Xvfb on a display number free on this machine, openbox on it, DISPLAY
#                       set; both tracked (stop_tracked ends them). Returns 1 after fail when
#                       either does not start (a script that keeps going goes on).
#   x ARGS...           xdotool, bounded in time.
#   titled TITLE        the ids of the visible windows whose title is exactly TITLE.
#   wait_window TENTHS TITLE
#                       prints the id of the first such window, once there is one.
#   no_window TITLE     succeeds when no window has that title.
#   snap FILE           a screenshot of the display, once the picture has stopped changing.
#
# Without a window manager a message box can be neither activated nor dismissed with xdotool.

# shellcheck source=checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
# The servers' logs, shown when one does not start.
display_logs=$(mktemp -d /tmp/fk-display.XXXXXX)
remove_display_logs() { rm -rf "$display_logs"; }
at_exit remove_display_logs

# X clients (xcb) try the abstract socket @/tmp/.X11-unix/X<n> before the socket file, and the
# abstract namespace is shared by every root on the machine (a chroot, a container in the
# same network namespace), while lock files and socket files are not. So a number counts as
# free only when neither this root's files nor the abstract namespace know it, and our server
# holds its abstract name itself: no other server can take it while ours runs.
display_taken() {
    [ -e "/tmp/.X$1-lock" ] || [ -e "/tmp/.X11-unix/X$1" ] ||
        { [ -r /proc/net/unix ] && abstract_x_socket "$1" | grep -q .; }
}
# abstract_x_socket N: the inodes of the sockets bound to @/tmp/.X11-unix/XN.
abstract_x_socket() { awk -v name="@/tmp/.X11-unix/X$1" '$8 == name { print $7 }' /proc/net/unix 2>/dev/null; }
# owns_abstract_name PID N: no abstract socket of display N, or only ones that PID holds.
owns_abstract_name() {
    local inode
    for inode in $(abstract_x_socket "$2"); do
        find "/proc/$1/fd" -lname "socket:\[$inode\]" 2>/dev/null | grep -q . || return 1
    done
}

start_display() {
    local n=10 tries mark
    for ((tries = 0; tries < 20; tries++)); do
        while display_taken "$n"; do n=$((n + 1)); done
        rm -f "$display_logs/display"
        mark=${#tracked[@]}
        Xvfb ":$n" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
            3>"$display_logs/display" 2>"$display_logs/xvfb.log" &
        track $!
        # Ready once it has written its number; ended when another server took the number first.
        until_ok 300 display_ready "$!" || break
        if [ -s "$display_logs/display" ] && owns_abstract_name "${tracked[mark]}" "$n"; then
            export DISPLAY=":$n"
            openbox --sm-disable >"$display_logs/openbox.log" 2>&1 &
            track $!
            until_ok 300 manager_ready "$!"
            x get_desktop >/dev/null 2>&1 && return 0
            # A server of another root may have taken the number's abstract name between our
            # check and openbox's connection: try the next number, and fail only at the end.
            echo "openbox did not start on :$n: $(cat "$display_logs/openbox.log")" >>"$display_logs/tries.log"
        else
            cat "$display_logs/xvfb.log" >>"$display_logs/tries.log"
        fi
        stop_tracked "$mark"
        n=$((n + 1))
    done
    fail "no display started: $(cat "$display_logs/tries.log" "$display_logs/xvfb.log" 2>/dev/null)"
    return 1
}
display_ready() { [ -s "$display_logs/display" ] || ! kill -0 "$1" 2>/dev/null; }
# The window manager answers, or has ended.
manager_ready() { x get_desktop >/dev/null 2>&1 || ! kill -0 "$1" 2>/dev/null; }

x() { timeout 10 env LC_ALL=C.UTF-8 xdotool "$@"; }

# Read one by one: under a GBK locale Qt writes the legacy WM_NAME in the wrong encoding, which
# "search --name" matches against; getwindowname reads the UTF-8 _NET_WM_NAME that window
# managers show.
titled() {
    local w
    for w in $(x search --onlyvisible --name . 2>/dev/null); do
        [ "$(x getwindowname "$w" 2>/dev/null)" = "$1" ] && echo "$w"
    done
}
wait_window() {
    local first
    until_ok "$1" first_titled "$2" && echo "$first"
}
first_titled() {
    first=$(titled "$1" | head -n 1)
    [ -n "$first" ]
}
no_window() { [ -z "$(titled "$1")" ]; }

# A box is drawn some moments after it is mapped: the picture is taken when two looks a tenth
# of a second apart see the same pixels (or after 5 s, as it then is).
snap() {
    local before='' now n=50
    while ((n-- > 0)); do
        now=$(import -window root rgb:- 2>/dev/null | md5sum)
        [ "$now" = "$before" ] && break
        before=$now
        sleep 0.1
    done
    import -window root "$1"
}
