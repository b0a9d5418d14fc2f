#!/usr/bin/env bash
# Builds libzip (the EPUB's container) as a static library for the Windows cross build and
# installs it into the MinGW tree, /usr/x86_64-w64-mingw32, from Debian's own libzip source
# package (the same 1.7.3 as libzip-dev), over the static zlib of libz-mingw-w64-dev. Only
# what an EPUB needs: deflate, no encryption, no bzip2 or xz, no tools. Run as root, by
# scripts/setup.sh windows after the packages; does nothing when the library is there.
set -euo pipefail
source "$(dirname "$0")/lib/debsource.sh"
prefix=/usr/x86_64-w64-mingw32
[ -f "$prefix/lib/libzip.a" ] && [ -f "$prefix/include/zip.h" ] && exit 0
[ -f "$prefix/lib/libz.a" ] || { echo "setup: no $prefix/lib/libz.a (libz-mingw-w64-dev)" >&2; exit 1; }

work=$(mktemp -d)
cleanup() { [ "$BASHPID" = "$$" ] && rm -rf "$work"; }
trap cleanup EXIT

debian_source libzip "$work"
# ZLIB_LIBRARY by name: CMake would take the import library libz.dll.a first, and the
# programs would then need zlib1.dll beside them.
cmake -Wno-dev -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=x86_64-w64-mingw32-gcc-posix \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
    -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF \
    -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF >/dev/null
cmake --build "$work/build" >/dev/null
cmake --install "$work/build" >/dev/null
