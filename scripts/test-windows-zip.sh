#!/usr/bin/env bash
# The Windows zip as a user meets it: built by CPack from the cross build, unpacked under Wine
# into a folder whose name has Chinese characters and a blank, and both programs run from
# there: folioknife-split.exe on a GBK novel, folioknife.exe on a virtual display (its title,
# then closed with Alt+F4). As root on Debian 12; installs what is missing. A fresh Wine
# prefix under /tmp, removed at the end with every process this script started.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$(date +%s)
source scripts/lib/checks.sh

scripts/setup.sh windows package
zip=$(scripts/package.sh zip)
[ -f "$zip" ] || fail "no zip built"
version=$(built_version build-win) || fail "build-win holds no version header"
[ "$(basename "$zip")" = "folioknife-$version-win64.zip" ] || fail "zip named $(basename "$zip")"
# What the zip holds: one folder with the two programs and the read-me, nothing else.
want="folioknife-$version-win64/README.txt
folioknife-$version-win64/folioknife-split.exe
folioknife-$version-win64/folioknife.exe"
got=$(python3 -c 'import sys, zipfile; print("\n".join(sorted(
          n for n in zipfile.ZipFile(sys.argv[1]).namelist() if not n.endswith("/"))))' "$zip")
[ "$got" = "$want" ] || fail "the zip holds: $got"

# A fresh prefix, code page 936, and begin_session/end_session: a display and a Wine server.
source scripts/wine-session.sh
mounted=
unmount() { [ -z "$mounted" ] || umount "$mounted"; }
at_exit unmount
begin_session

# Wine has no unpacker of its own; Python's zipfile writes the names as the zip gives them.
target="$work/下载 文件"
mkdir -p "$target"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$target"
folder="$target/folioknife-$version-win64"
[ -f "$folder/README.txt" ] || fail "no README.txt in the zip"
for words in "folioknife.exe" "folioknife-split.exe" "图形界面" "Nothing to install"; do
    grep -qF "$words" "$folder/README.txt" || fail "README.txt lacks $words"
done

# folioknife-split.exe from that folder, on a GBK novel beside it. The generator uses iconv,
# so the cross build makes it for this machine.
gennovel=$root/build-win/tools/host/fk-gennovel
cd "$folder"
"$gennovel" "小说.txt" --encoding gbk --chapters 60 --seed 3 >/dev/null
wine "$(windows_path "$folder/folioknife-split.exe")" --version </dev/null >out.txt 2>&1 ||
    fail "folioknife-split.exe --version: $(cat out.txt)"
[ "$(tr -d '\r' <out.txt)" = "folioknife-split $version" ] || fail "folioknife-split.exe --version says $(cat out.txt)"
wine "$(windows_path "$folder/folioknife-split.exe")" -n 20 -o "分卷" "小说.txt" </dev/null \
    >out.txt 2>err.txt || fail "folioknife-split.exe exited $?: $(gbk_of err.txt)"
cat 分卷/novel_{1,2,3,4}.txt | cmp -s - 小说.txt || fail "the volumes do not join back to the novel"
[ ! -e 分卷/novel_5.txt ] || fail "more volumes than 61 pieces in files of 20 give"

# folioknife.exe from that folder: the window comes up with its title and ends with 0.
end_session
begin_session
wine "$(windows_path "$folder/folioknife.exe")" </dev/null >"$work/gui.out" 2>&1 &
gui=$!
wid=$(wait_window 300 "Tarvelle V$version") ||
    fail "no window titled Tarvelle V$version from the unpacked folder"
snap "$root/build-win/screenshot-zip.png" || fail "no screenshot"
x windowactivate --sync "$wid" key alt+F4
until_ok 100 ended "$gui" || fail "folioknife.exe still running after Alt+F4"
rc=0
wait "$gui" || rc=$?
[ "$rc" = 0 ] || fail "folioknife.exe exited $rc"

# Under Program Files an ordinary user may not write beside the program. The same folder
# mounted read-only stands in for that (root may write anywhere else): the update check must
# keep its copy in the user's temporary folder instead, read it there, and delete it. Wine's
# file trace shows where the program put the file; the check runs at once at the start.
readonly_folder="$work/只读 程序"
mkdir -p "$readonly_folder"
if mount --bind -o ro "$folder" "$readonly_folder" 2>/dev/null; then
    mounted=$readonly_folder
    end_session
    begin_session
    temp_copy="$WINEPREFIX/drive_c/users/$(id -un)/Temp/folioknife-up.ini"
    WINEDEBUG=trace+file wine "$(windows_path "$readonly_folder/folioknife.exe")" </dev/null \
        >"$work/gui.out" 2>"$work/trace.txt" &
    gui=$!
    wid=$(wait_window 300 "Tarvelle V$version") || fail "no window from the read-only folder"
    read_back() { grep -aq 'CreateFileW L".*Temp\\\\folioknife-up.ini" GENERIC_READ' "$work/trace.txt"; }
    until_ok 300 read_back || fail "the update check did not read its copy from the temporary folder"
    # The trace writes the folder's Chinese characters as escapes.
    grep -aq 'CreateFileW L"Z:.*\\\\up.ini" GENERIC_WRITE' "$work/trace.txt" ||
        fail "the update check did not try the program's folder first"
    temp_gone() { [ ! -e "$temp_copy" ]; }
    until_ok 100 temp_gone || fail "the update check left $temp_copy"
    x windowactivate --sync "$wid" key alt+F4
    until_ok 100 ended "$gui" || fail "folioknife.exe from the read-only folder still running after Alt+F4"
    rc=0
    wait "$gui" || rc=$?
    [ "$rc" = 0 ] || fail "folioknife.exe from the read-only folder exited $rc"
else
    echo "note: no read-only bind mount here; the temporary-folder fallback is left to the unit tests"
fi

echo "test-windows-zip: all passed in $(($(date +%s) - started)) s ($(basename "$zip"))"
