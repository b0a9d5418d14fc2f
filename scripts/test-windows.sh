#!/usr/bin/env bash
# Builds the Windows programs with MinGW-w64 and tests them under Wine: the unit tests through
# ctest (Wine is the toolchain's emulator), then folioknife-split.exe on a generated GBK novel,
# whose volumes must join back to it byte for byte. As root on Debian 12; installs what is
# missing. Builds in build-win/ (and the novel generator in build-win-host/); each run gets a
# fresh Wine prefix under /tmp, removed at the end with every Wine process it started.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

fail() {
    echo "test-windows: $*" >&2
    exit 1
}

# --- Packages -------------------------------------------------------------------------------
packages=(cmake ninja-build g++ g++-mingw-w64-x86-64-posix wine wine64 libboost1.81-dev
          libcli11-dev googletest locales)
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "test-windows: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes the ANSI code page from the Unix locale: zh_CN.UTF-8 gives 936 (GBK).
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi

# --- Build ----------------------------------------------------------------------------------
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win
# The generator uses iconv, so it is built for this machine, not for Windows.
mkdir -p build-win-host
if [ ! -x build-win-host/fk-gennovel ] ||
   [ tools/gennovel.cpp -nt build-win-host/fk-gennovel ]; then
    g++ -std=c++17 -O2 -Wall -Wextra -Werror -o build-win-host/fk-gennovel tools/gennovel.cpp
fi
split_exe=$PWD/build-win/src/cli/folioknife-split.exe
gennovel=$PWD/build-win-host/fk-gennovel

# --- Wine -----------------------------------------------------------------------------------
prefix=$(mktemp -d /tmp/fk-wineprefix.XXXXXX)
work=$(mktemp -d /tmp/fk-winerun.XXXXXX)
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
server_started=no
cleanup() {
    if [ "$server_started" = yes ]; then
        wineserver -k >/dev/null 2>&1 || true
        # The server is gone after -k; waiting is safe now and makes sure its children are too.
        timeout 30 wineserver -w >/dev/null 2>&1 || true
    fi
    rm -rf "$prefix" "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

unset LC_ALL LANGUAGE LC_CTYPE LC_MESSAGES LC_COLLATE
export LANG=zh_CN.UTF-8
# One persistent server for the whole run: without it every test start costs seconds. Never
# "wineserver -w" while it runs: that waits for ever.
wineserver -p
server_started=yes
wine cmd /c exit </dev/null >/dev/null 2>&1

# --- Unit tests -----------------------------------------------------------------------------
ctest --test-dir build-win --output-on-failure --no-tests=error -j2

# --- The command-line splitter on a novel ---------------------------------------------------
# A GBK novel with a Chinese name, split into a folder with a Chinese name: the names reach
# the program as GBK bytes and must come out on disk as the same names.
cd "$work"
chapters=400
per_file=7
"$gennovel" "小说.txt" --encoding gbk --chapters "$chapters" --seed 11 >/dev/null
want=$(( (chapters + 1 + per_file - 1) / per_file ))  # the preface is a piece of its own

wine "$split_exe" -n "$per_file" -o "分卷" "小说.txt" >out.txt 2>err.txt ||
    fail "folioknife-split.exe exited $?: $(iconv -f GBK -t UTF-8 err.txt)"
got=$(find "分卷" -name 'novel_*.txt' | wc -l)
[ "$got" = "$want" ] || fail "$got volumes, expected $want"
for i in $(seq 1 "$want"); do cat "分卷/novel_$i.txt"; done | cmp - "小说.txt" ||
    fail "the volumes do not join back to the novel"
iconv -f GBK -t UTF-8 out.txt | grep -q "章节标题：$chapters，输出文件：$want" ||
    fail "unexpected report: $(iconv -f GBK -t UTF-8 out.txt)"

# With --delete-source the novel goes once the volumes hold all of it.
cp "小说.txt" "原稿.txt"
wine "$split_exe" -n 50 -o "再分" --delete-source "原稿.txt" >out.txt 2>err.txt ||
    fail "folioknife-split.exe --delete-source exited $?: $(iconv -f GBK -t UTF-8 err.txt)"
[ ! -e "原稿.txt" ] || fail "the source was not deleted"
want=$(( (chapters + 1 + 49) / 50 ))
for i in $(seq 1 "$want"); do cat "再分/novel_$i.txt"; done | cmp - "小说.txt" ||
    fail "the volumes of the deleted source do not join back to it"

echo "test-windows: all passed in $(( $(date +%s) - started )) s"
