#!/usr/bin/env bash
# Builds the packages and prints the package's path on standard output:
#   scripts/package.sh deb [BUILD_DIR [CMAKE_ARGS...]]
#       BUILD_DIR (default build-deb)/folioknife_<version>-1_amd64.deb: a Release build with
#       Debian's hardening flags, stripped, its dependencies found by dpkg-shlibdeps;
#   scripts/package.sh zip
#       build-win/folioknife-<version>-win64.zip from the MinGW-w64 cross build;
#   scripts/package.sh setup
#       build-win/folioknife-<version>-setup.exe, the installer of the same files, made with
#       NSIS from packaging/windows/folioknife.nsi.
set -euo pipefail
cd "$(dirname "$0")/.."
# Only the package's path goes to standard output; the build talks on standard error.
exec 3>&1 1>&2
kind=${1:-deb}
shift || true
case "$kind" in
    deb)
        dir=${1:-build-deb}
        shift || true
        scripts/setup.sh gui
        # Debian's own flags for packages: fortified, stack-protected, PIE, full RELRO.
        export DEB_BUILD_MAINT_OPTIONS=hardening=+all
        CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
        LDFLAGS=$(dpkg-buildflags --get LDFLAGS) \
            cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DFOLIOKNIFE_TESTS=OFF "$@" \
                  >/dev/null
        cmake --build "$dir"
        rm -f "$dir"/folioknife_*.deb
        (cd "$dir" && cpack -G DEB >/dev/null)
        ls "$(realpath "$dir")"/folioknife_*_amd64.deb >&3
        ;;
    zip | setup)
        scripts/setup.sh windows
        cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
              -DCMAKE_BUILD_TYPE=Release >/dev/null
        cmake --build build-win
        if [ "$kind" = zip ]; then
            rm -f build-win/folioknife-*.zip
            (cd build-win && cpack -G ZIP >/dev/null)
            ls "$PWD"/build-win/folioknife-*-win64.zip >&3
            exit 0
        fi
        # The installer holds what the zip holds, stripped as CPack strips it.
        version=$(sed -n 's/^#define FOLIOKNIFE_VERSION "\(.*\)"$/\1/p' \
                      build-win/generated/folioknife/Version.h)
        [ -n "$version" ] || { echo "package.sh: build-win holds no version header" >&2; exit 1; }
        stage=$PWD/build-win/setup-files
        rm -rf "$stage" build-win/folioknife-*-setup.exe
        cmake --install build-win --prefix "$stage" --strip >/dev/null
        makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" \
                 -DICON="$PWD/assets/folioknife.ico" \
                 -DOUTFILE="$PWD/build-win/folioknife-$version-setup.exe" \
                 packaging/windows/folioknife.nsi
        ls "$PWD/build-win/folioknife-$version-setup.exe" >&3
        ;;
    *) echo "usage: scripts/package.sh deb|zip|setup" >&2; exit 64 ;;
esac
