# Sourced by the command-line test scripts: a scratch folder to work in (removed at the end),
# a UTF-8 terminal, failures counted, the volumes of an output folder, and the verdict.
work=$(mktemp -d)
# Only in this shell: bash may run an EXIT trap when one of its subshells ends.
trap_owner=$BASHPID
trap '[ "$BASHPID" = "$trap_owner" ] && rm -rf "$work"' EXIT
chmod 755 "$work"  # an unprivileged user must be able to reach into it
cd "$work" || exit 1
# The program speaks Chinese under a Chinese locale, as its readers run it.
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
count_volumes() { ls "$1" | grep -c '^novel_[0-9]*\.txt$'; }
# joined DIR [COUNT]: the volumes 1..COUNT of DIR (by default all of them), in order.
joined() {
    local i n=${2:-$(count_volumes "$1")}
    for i in $(seq 1 "$n"); do cat "$1/novel_$i.txt"; done
}
# finish KIND: the script's verdict and exit status.
finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures $1 check(s) failed"
        exit 1
    fi
    echo "all $1 checks passed"
}
