# shellcheck shell=bash
# Sourced by the test scripts: failing with a reason, waiting with a bound, and ending what the
# script started, however it ends.
#
#   fail MESSAGE        says what failed and ends the script with status 1. A script that goes
#                       on after a failure and gives its verdict at the end sets keep_going=yes:
#                       fail then prints "FAIL: MESSAGE" and counts it in $failures.
#   until_ok TENTHS CMD...
#                       runs CMD every tenth of a second until it succeeds, at most TENTHS times.
#   track PID|FUNCTION  something to end when the script ends: a process (killed, its end
#                       awaited for at most 5 s) or a function that ends something itself.
#   stop_tracked [N]    ends what was tracked after the first N (default 0), newest first;
#                       ${#tracked[@]} is the N to come back to later.
#   at_exit FUNCTION    runs FUNCTION when the script ends, after everything tracked is ended;
#                       the last registered runs first.
#   ended PID           succeeds once process PID has ended.
#   built_version DIR   the version the build in DIR was made with, from its generated header.
#   count_volumes DIR   how many volumes (novel_<number>.txt) DIR holds.
#   count_entries DIR   how many files and folders DIR holds, as ls lists them (no hidden ones).
#   count_named DIR TEXT
#                       how many files and folders of DIR, hidden ones too, have TEXT in their name.
#   zip_entry ZIP NAME  the bytes of entry NAME of the zip (an EPUB) on standard output; Python's
#                       zipfile, as a fresh machine has no unzip.
#   finish KIND         the verdict of a script that keeps going, and its exit status.

# Once per script: the helpers that build on this one source it too.
[ -z "${checks_owner:-}" ] || return 0

failures=0
tracked=()
exit_steps=()

fail() {
    if [ "${keep_going:-no}" = yes ]; then
        echo "FAIL: $*"
        failures=$((failures + 1))
        return 0
    fi
    local name=${0##*/}
    echo "${name%.sh}: $*" >&2
    exit 1
}

until_ok() {
    local n=$1
    shift
    while ((n-- > 0)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

track() { tracked+=("$1"); }

stop_tracked() {
    local i item
    for ((i = ${#tracked[@]} - 1; i >= ${1:-0}; i--)); do
        item=${tracked[i]}
        if ! [[ $item =~ ^[0-9]+$ ]]; then
            "$item" || true
        elif kill "$item" 2>/dev/null; then
            timeout 5 tail --pid="$item" -f /dev/null || true
        fi
    done
    tracked=("${tracked[@]:0:${1:-0}}")
}

at_exit() { exit_steps+=("$1"); }

ended() { ! kill -0 "$1" 2>/dev/null; }

built_version() {
    sed -n 's/^#define FOLIOKNIFE_VERSION "\(.*\)"$/\1/p' "$1/generated/folioknife/Version.h" | grep .
}

zip_entry() {
    python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))' "$1" "$2"
}
count_volumes() {
    local f n=0
    for f in "$1"/novel_*.txt; do
        [[ ${f##*/} =~ ^novel_[0-9]*\.txt$ ]] && n=$((n + 1))
    done
    echo "$n"
}
count_entries() { find "$1" -mindepth 1 -maxdepth 1 ! -name '.*' -printf . | wc -c; }
count_named() { find "$1" -mindepth 1 -maxdepth 1 -name "*$2*" -printf . | wc -c; }

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures $1 check(s) failed"
        exit 1
    fi
    echo "all $1 checks passed"
}

# bash may run the EXIT trap when a subshell of the script ends (a command substitution, a
# background job); only the shell that sourced this may end things and remove folders.
checks_owner=$BASHPID
on_script_exit() {
    [ "$BASHPID" = "$checks_owner" ] || return 0
    stop_tracked 0
    local i
    for ((i = ${#exit_steps[@]} - 1; i >= 0; i--)); do "${exit_steps[i]}"; done
}
trap on_script_exit EXIT
trap 'exit 130' INT TERM
