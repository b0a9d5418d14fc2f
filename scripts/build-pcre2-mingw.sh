#!/usr/bin/env bash
# Builds PCRE2 (the custom expression's engine) as a static library for the Windows cross build
# and installs it into the MinGW tree, /usr/x86_64-w64-mingw32, from Debian's own pcre2 source
# package (the same 10.42 as libpcre2-dev). Run as root, by scripts/setup.sh windows; does
# nothing when the library is there.
set -euo pipefail
source "$(dirname "$0")/lib/debsource.sh"
prefix=/usr/x86_64-w64-mingw32
[ -f "$prefix/lib/libpcre2-8.a" ] && [ -f "$prefix/include/pcre2.h" ] && exit 0

work=$(mktemp -d)
cleanup() { [ "$BASHPID" = "$$" ] && rm -rf "$work"; }
trap cleanup EXIT

debian_source pcre2 "$work"
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=x86_64-w64-mingw32-gcc-posix \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON \
    -DPCRE2_BUILD_PCRE2_8=ON -DPCRE2_BUILD_PCRE2_16=OFF -DPCRE2_BUILD_PCRE2_32=OFF \
    -DPCRE2_SUPPORT_JIT=ON -DPCRE2_SUPPORT_UNICODE=ON -DPCRE2_BUILD_PCRE2GREP=OFF \
    -DPCRE2_BUILD_TESTS=OFF >/dev/null
cmake --build "$work/build" >/dev/null
cmake --install "$work/build" >/dev/null
