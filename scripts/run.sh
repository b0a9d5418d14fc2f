#!/usr/bin/env bash
# Sets everything up and runs the program: `scripts/run.sh [novel.txt]`.
# Without a novel it splits a sample novel that it generates (GBK, 60 chapters) into
# sample/output and shows what it found.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh gui
scripts/build.sh >/dev/null
if [ $# -ge 1 ]; then
    exec build/src/cli/folioknife-split "$@"
fi
mkdir -p sample
build/tools/fk-gennovel sample/novel-gbk.txt --encoding gbk --chapters 60 >/dev/null
echo "Sample novel: sample/novel-gbk.txt ($(stat -c %s sample/novel-gbk.txt) bytes, GBK)"
echo "Headings found (first five):"
build/src/cli/folioknife-split --codepage GBK --list sample/novel-gbk.txt | head -n 5
build/src/cli/folioknife-split --codepage GBK -n 10 -o sample/output sample/novel-gbk.txt
ls -l sample/output
