#!/usr/bin/env bash
# Builds libdeflate (the EPUB's deflate, about twice as fast as zlib's) as a static library for
# the Windows cross build and installs it into the MinGW tree, /usr/x86_64-w64-mingw32, from
# Debian's own libdeflate source package (the same 1.14 as libdeflate-dev). The library
# alone, no programs. Run as root, by scripts/setup.sh windows; does nothing when the library
# is there.
set -euo pipefail
source "$(dirname "$0")/lib/debsource.sh"
prefix=/usr/x86_64-w64-mingw32
[ -f "$prefix/lib/libdeflate.a" ] && [ -f "$prefix/include/libdeflate.h" ] && exit 0

work=$(mktemp -d)
cleanup() { [ "$BASHPID" = "$$" ] && rm -rf "$work"; }
trap cleanup EXIT

debian_source libdeflate "$work"
# Its Makefile tells a MinGW compiler by its name and names the static library as MSVC
# would; it is an ar archive like any other.
make -C "$work/src" -j2 CC=x86_64-w64-mingw32-gcc-posix AR=x86_64-w64-mingw32-ar \
    libdeflatestatic.lib >/dev/null
install -m 644 "$work/src/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
install -m 644 "$work/src/libdeflate.h" "$prefix/include/libdeflate.h"
