#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12 (as root). Does nothing when every
# package is already there. Boost comes as 1.81 only: libboost1.81-dev conflicts with Debian's
# default Boost.Regex (1.74) packages.
set -euo pipefail
# strace kills the splitter at each of its renames; e2fsprogs and python3 make and shut down
# the file system image of the power-cut test; git lists the files the format check reads.
packages=(
    build-essential cmake ninja-build pkg-config time clang-format shellcheck help2man
    libboost1.81-dev libcli11-dev libgtest-dev libgmock-dev nlohmann-json3-dev gettext locales
    libzip-dev libdeflate-dev libpcre2-dev git strace e2fsprogs python3
)
# Extra groups, asked for by the scripts that need them.
for group in "$@"; do
    case "$group" in
        # qt6-translations-l10n: Qt's file dialogs in the user's language. epubcheck and
        # python3 check the EPUBs of folioknife-split in the native tests.
        gui) packages+=(qt6-base-dev qt6-translations-l10n xvfb xauth xdotool openbox imagemagick
                        fonts-wqy-microhei fonts-wqy-zenhei libcurl4-openssl-dev locales
                        epubcheck python3) ;;
        # googletest: the sources, built by the cross toolchain for the Windows tests.
        # libz-mingw-w64-dev: zlib for libzip and the EPUB writer; nsis: the installer;
        # epubcheck and python3 check the EPUB that the Windows program writes.
        windows) packages+=(g++-mingw-w64-x86-64-posix wine wine64 googletest xvfb xdotool
                            openbox imagemagick fonts-wqy-microhei locales libz-mingw-w64-dev
                            nsis epubcheck python3) ;;
        # llvm-14: llvm-symbolizer, without which the leak suppressions cannot match.
        sanitizers) packages+=(clang-14 libclang-rt-14-dev llvm-14) ;;
        # Checking the Debian package, and installing it as a user would (gio launches a
        # desktop entry as a file manager does; python3 serves the update file on loopback).
        package) packages+=(lintian desktop-file-utils man-db libglib2.0-bin python3) ;;
        # A GUI EPUB reader on a virtual display, for the picture of a book in
        # docs/images (scripts/screenshot-epub.sh); no test uses it.
        reader) packages+=(foliate dbus xvfb xauth xdotool openbox imagemagick
                           fonts-wqy-microhei) ;;
        *) echo "setup.sh: unknown group $group" >&2; exit 64 ;;
    esac
done
missing=()
for p in "${packages[@]}"; do
    # Installed, not merely known to dpkg (a removed package keeps its configuration).
    dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# folioknife-split speaks Chinese under a Chinese locale; its tests run in one.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
    echo "setup: making the locale zh_CN.UTF-8"
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
# The custom expression's engine and the EPUB's zip library and deflate for the Windows build:
# built from Debian's PCRE2, libzip and libdeflate sources.
for group in "$@"; do
    if [ "$group" = windows ]; then
        "$(dirname "$0")/build-pcre2-mingw.sh"
        "$(dirname "$0")/build-libzip-mingw.sh"
        "$(dirname "$0")/build-libdeflate-mingw.sh"
    fi
done
