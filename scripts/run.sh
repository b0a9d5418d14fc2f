#!/usr/bin/env bash
# Sets everything up and runs the program: `scripts/run.sh [novel.txt]`.
# Starts the window, with the novel already loaded when one is given. Without a display it
# says so and runs folioknife-split in the terminal instead: on the novel when one is given,
# else on a sample novel that it generates (GBK, 60 chapters), split into sample/output.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" gui
"$root/scripts/build.sh" >/dev/null

if [ -n "${QT_QPA_PLATFORM:-}" ] || [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    # The full path, as a file manager passes it: the window presets the output folder to
    # the folder part of the path, which a bare file name does not have.
    [ $# -ge 1 ] && exec "$root/build/src/app/qt/folioknife" "$(realpath -m -- "$1")"
    exec "$root/build/src/app/qt/folioknife"
fi
echo "run.sh: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window" \
     "cannot be shown; running folioknife-split, the same split in the terminal, instead." >&2
if [ $# -ge 1 ]; then
    exec "$root/build/src/cli/folioknife-split" "$@"
fi
cd "$root"
mkdir -p sample
build/tools/fk-gennovel sample/novel-gbk.txt --encoding gbk --chapters 60 >/dev/null
echo "Sample novel: sample/novel-gbk.txt ($(stat -c %s sample/novel-gbk.txt) bytes, GBK)"
echo "Headings found (first five):"
build/src/cli/folioknife-split --codepage GBK --list sample/novel-gbk.txt | head -n 5
build/src/cli/folioknife-split --codepage GBK -n 10 -o sample/output sample/novel-gbk.txt
ls -l sample/output
