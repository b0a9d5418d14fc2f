# shellcheck shell=bash
# Sourced by the scripts that build a library for the Windows cross build from Debian's own
# source package (PCRE2, libzip): Debian packages no MinGW build of them, and its sources are
# the same release the Linux build links.
#
#   debian_source PACKAGE DIR
#                       unpacks the bookworm source package PACKAGE, Debian's patches applied,
#                       into DIR/src. When apt knows no source packages, a deb-src entry is
#                       added first, for the archive the system's own apt sources name (run as
#                       root).

# shellcheck source=archive.sh
source "$(dirname "${BASH_SOURCE[0]}")/archive.sh"

debian_source() {
    local package=$1 dir=$2 archive dsc
    if ! apt-get source --download-only --print-uris "$package" >/dev/null 2>&1; then
        archive=$(debian_archive bookworm) || return 1
        echo "setup: adding Debian's source packages (deb-src) for $package from $archive"
        cat >/etc/apt/sources.list.d/folioknife-src.sources <<SOURCES
Types: deb-src
URIs: $archive
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
        apt-get update -qq
    fi
    # apt, as root, warns that it downloads unsandboxed; it has checked every file against
    # the archive's signed index, so dpkg-source need not check the uploader's signature.
    (cd "$dir" && apt-get source --download-only -qq "$package" >/dev/null 2>&1) || {
        echo "setup: the source package $package could not be downloaded" >&2
        return 1
    }
    dsc=$(find "$dir" -maxdepth 1 -name "${package}_*.dsc" | head -n 1)
    [ -n "$dsc" ] || { echo "setup: no ${package}_*.dsc downloaded" >&2; return 1; }
    dpkg-source --no-check -x "$dsc" "$dir/src" >/dev/null
    echo "setup: building $(basename "$dsc" .dsc) for Windows"
}
