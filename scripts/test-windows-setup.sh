#!/usr/bin/env bash
# The Windows installer as a user meets it, under Wine with code page 936: built by
# scripts/package.sh setup, installed silently for this user with the "一键分割" entry
# (/S /CONTEXTMENU), folioknife-split.exe run from the installed folder on a GBK novel,
# folioknife.exe started by the entry's command as Explorer starts it and split with one click,
# then the silent uninstaller, after which no file and no registry key of ours is left, and
# an entry that starts another copy of the program is left alone. As root on Debian 12;
# installs what is missing. A fresh Wine prefix under /tmp, removed at the end with every
# process this script started.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$(date +%s)
source scripts/lib/checks.sh

scripts/setup.sh windows
setup=$(scripts/package.sh setup)
version=$(built_version build-win) || fail "build-win holds no version header"
[ "$(basename "$setup")" = "folioknife-$version-setup.exe" ] || fail "installer named $setup"
# Runs as the user who starts it: the manifest asks for no elevation.
grep -aq 'level="asInvoker"' "$setup" || fail "the installer asks for elevation"
probe_exe=$root/build-win/tests/win32/fk-wintest.exe
gennovel=$root/build-win/tools/host/fk-gennovel

source scripts/wine-session.sh
begin_session

user_dir="$WINEPREFIX/drive_c/users/$(id -un)"
installed="$user_dir/AppData/Local/Programs/folioknife"
menu_link="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/小说分割.lnk"
win_installed="C:\\users\\$(id -un)\\AppData\\Local\\Programs\\folioknife"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\folioknife'
context_key='HKCU\Software\Classes\*\shell\一键分割'
machine_key='HKLM\SOFTWARE\Classes\txtfile\shell\folioknife'
other_key='HKLM\SOFTWARE\Classes\*\shell\一键分割'
# reg_value KEY [NAME]: the value (the default one without NAME), or failure when there is
# none. reg.exe writes in the console's code page.
reg_value() {
    local out
    if [ $# -gt 1 ]; then
        out=$(wine reg query "$1" /v "$2" </dev/null 2>/dev/null | gbk_of) || return 1
    else
        out=$(wine reg query "$1" /ve </dev/null 2>/dev/null | gbk_of) || return 1
    fi
    tr -d '\r' <<<"$out" | sed -n 's/^ *[^ ]* *REG_[A-Z_]* *\(.*\)$/\1/p' | head -n 1
}
has_key() { wine reg query "$1" </dev/null >/dev/null 2>&1; }

# --- Install --------------------------------------------------------------------------------
wine "$(windows_path "$setup")" /S /CONTEXTMENU </dev/null >"$work/setup.out" 2>&1 ||
    fail "the installer exited $?: $(cat "$work/setup.out")"
listing() { find "$installed" -mindepth 1 -printf '%P\n' 2>/dev/null | LC_ALL=C sort | tr '\n' ' '; }
[ "$(listing)" = "README.txt folioknife-split.exe folioknife.exe uninstall.exe " ] ||
    fail "installed: $(listing)"
[ -f "$menu_link" ] || fail "no Start-menu entry 小说分割"
#  key             | value name      | value
while IFS='|' read -r key name want; do
    got=$(reg_value "$key" ${name:+"$name"}) || fail "no value $name in $key"
    [ "$got" = "$want" ] || fail "$key $name: $got, expected $want"
done <<TABLE
$uninstall_key|DisplayVersion|$version
$uninstall_key|UninstallString|"$win_installed\\uninstall.exe"
$uninstall_key|InstallLocation|$win_installed
$context_key||一键分割
$context_key\\command||"$win_installed\\folioknife.exe" %1
TABLE

# folioknife-split.exe from the installed folder, on a GBK novel.
cd "$work"
"$gennovel" "小说.txt" --encoding gbk --chapters 60 --seed 3 >/dev/null
wine "$installed/folioknife-split.exe" --version </dev/null >out.txt 2>&1 || fail "--version: $(cat out.txt)"
[ "$(tr -d '\r' <out.txt)" = "$version" ] || fail "the installed folioknife-split.exe says $(cat out.txt)"
wine "$installed/folioknife-split.exe" -n 20 -o "分卷" "小说.txt" </dev/null >out.txt 2>err.txt ||
    fail "the installed folioknife-split.exe exited $?: $(gbk_of err.txt)"
cat 分卷/novel_{1,2,3,4}.txt | cmp -s - 小说.txt || fail "the volumes do not join back to the novel"

# folioknife.exe started by the entry's command, "%1" replaced by a path with blanks as
# Explorer passes it (unquoted): the novel is loaded, and one click on 分割 splits it beside it.
# The box shows the entry the installer wrote for this user.
mkdir -p "$work/My Books"
"$gennovel" "$work/My Books/长篇 小说.txt" --encoding gbk --chapters 25 --seed 7 >/dev/null
command=$(reg_value "$context_key\\command")
wine "$probe_exe" launch "${command/\%1/$(windows_path "$work/My Books/长篇 小说.txt")}" </dev/null &
gui=$!
wid=$(wait_window 600 "Tarvelle V$version") || fail "no window from the installed folioknife.exe"
wine "$probe_exe" check "OpenButton.text=文件已打开" OpenButton.enabled=0 ContextMenuCheck.checked=1 \
    "OutputDirEdit.text=$(windows_path "$work/My Books/")" </dev/null >probe.out ||
    fail "the window started by the entry: $(gbk_of probe.out)"
until_ok 50 x windowactivate --sync "$wid" || fail "the window cannot be activated"
x mousemove --window "$wid" 377 75 click 1  # SplitButton: 333,59, 88x32
box=$(wait_window 600 信息) || fail "no box after clicking 分割"
[ "$(wine "$probe_exe" box 信息 </dev/null | gbk_of)" = "分割成功！" ] || fail "the box does not say 分割成功！"
snap "$root/build-win/screenshot-setup.png" || fail "no screenshot"
x windowactivate --sync "$box" key Return
cat "$work/My Books"/novel_{1,2,3}.txt | cmp -s - "$work/My Books/长篇 小说.txt" ||
    fail "the window's volumes do not join back to the novel"
x windowactivate --sync "$wid" key alt+F4
until_ok 300 ended "$gui" || fail "folioknife.exe still running after Alt+F4"
wait "$gui" || fail "folioknife.exe exited $?"

# --- Uninstall ------------------------------------------------------------------------------
# The machine-wide entry as the program's check box writes it for this copy (an administrator
# here), and one of another copy, which must stay.
wine reg add "$machine_key\\command" /ve /t REG_SZ /d "$win_installed\\folioknife.exe %1" /f \
    </dev/null >/dev/null 2>&1 || fail "could not write $machine_key"
wine reg add "$other_key\\command" /ve /t REG_SZ /d 'Z:\其他\folioknife.exe %1' /f \
    </dev/null >/dev/null 2>&1 || fail "could not write $other_key"
# The uninstaller copies itself to the temporary folder and goes on from there: its end is
# seen in the folder it removes.
wine "$installed/uninstall.exe" /S </dev/null >"$work/uninstall.out" 2>&1 ||
    fail "the uninstaller exited $?: $(cat "$work/uninstall.out")"
gone() { [ ! -e "$installed" ]; }
until_ok 300 gone || fail "left after uninstalling: $(listing)"
[ ! -e "$menu_link" ] || fail "the Start-menu entry was left"
for key in "$uninstall_key" "$context_key" "$machine_key" 'HKCU\Software\Classes\*'; do
    if has_key "$key"; then fail "the uninstaller left $key"; fi
done
has_key "$other_key" || fail "the uninstaller removed the entry of another copy"
end_session

echo "test-windows-setup: all passed in $(($(date +%s) - started)) s ($(basename "$setup"))"
