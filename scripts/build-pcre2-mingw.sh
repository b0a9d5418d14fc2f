#!/usr/bin/env bash
# Builds PCRE2 (the custom expression's engine) as a static library for the Windows cross build
# and installs it into the MinGW tree, /usr/x86_64-w64-mingw32. Debian packages no MinGW PCRE2,
# so its sources come from Debian's own pcre2 source package (the same 10.42 as libpcre2-dev),
# through a deb-src entry that this script adds when the system has none, for the archive the
# system's own apt sources name. Run as root, by scripts/setup.sh windows; does nothing when the
# library is there.
set -euo pipefail
source "$(dirname "$0")/lib/archive.sh"
prefix=/usr/x86_64-w64-mingw32
[ -f "$prefix/lib/libpcre2-8.a" ] && [ -f "$prefix/include/pcre2.h" ] && exit 0

work=$(mktemp -d)
cleanup() { [ "$BASHPID" = "$$" ] && rm -rf "$work"; }
trap cleanup EXIT

if ! apt-get source --download-only --print-uris pcre2 >/dev/null 2>&1; then
    archive=$(debian_archive bookworm)
    echo "setup: adding Debian's source packages (deb-src) for pcre2 from $archive"
    cat >/etc/apt/sources.list.d/folioknife-src.sources <<EOF
Types: deb-src
URIs: $archive
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    apt-get update -qq
fi
(cd "$work" && apt-get source --download-only -qq pcre2 >/dev/null)
tarball=$(find "$work" -maxdepth 1 -name "pcre2_*.orig.tar.*" | head -n 1)
mkdir "$work/src"
tar -xf "$tarball" -C "$work/src" --strip-components=1
echo "setup: building $(basename "$tarball") for Windows"
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=x86_64-w64-mingw32-gcc-posix \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON \
    -DPCRE2_BUILD_PCRE2_8=ON -DPCRE2_BUILD_PCRE2_16=OFF -DPCRE2_BUILD_PCRE2_32=OFF \
    -DPCRE2_SUPPORT_JIT=ON -DPCRE2_SUPPORT_UNICODE=ON -DPCRE2_BUILD_PCRE2GREP=OFF \
    -DPCRE2_BUILD_TESTS=OFF >/dev/null
cmake --build "$work/build" >/dev/null
cmake --install "$work/build" >/dev/null
