# shellcheck shell=bash
# Sourced by the benchmarks: the built programs (built first when missing), and the measures
# of a run. measure writes into $work, the benchmark's own folder.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
split=$root/build/src/cli/folioknife-split
# shellcheck disable=SC2034  # the novel generator, for the benchmarks that source this
gen=$root/build/tools/fk-gennovel
[ -x "$split" ] || "$root/scripts/build.sh" >/dev/null

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
# Wall seconds (to the millisecond: /usr/bin/time gives hundredths only), peak kilobytes and
# user CPU seconds (from /usr/bin/time) of one run.
measure() {
    local t0=$EPOCHREALTIME
    /usr/bin/time -f '%M %U' -o "${work:?}/time.txt" "$@" >/dev/null 2>&1
    local t1=$EPOCHREALTIME
    echo "$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.4f", b - a}') $(cat "$work/time.txt")"
}
