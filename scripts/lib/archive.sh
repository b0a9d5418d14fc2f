# shellcheck shell=bash
# Sourced by the scripts that fetch from Debian's archive themselves (the PCRE2 sources for the
# Windows build, the fresh root of CI): the archive is the one this machine's apt already
# uses, never a host written in the project.
#
#   debian_archive SUITE   prints the first address that apt's sources give for SUITE (such as
#                          bookworm): the "URIs:" of a deb822 stanza in sources.list.d/*.sources
#                          whose "Suites:" name it, or a "deb" line of sources.list or
#                          sources.list.d/*.list. Fails, saying so, when there is none.

debian_archive() {
    local suite=$1 dir=${APT_ETC:-/etc/apt} found
    found=$(
        shopt -s nullglob
        {
            # deb822: stanzas are separated by blank lines; "Types:" may list deb and deb-src.
            for f in "$dir"/sources.list.d/*.sources; do
                awk -v suite="$suite" '
                    function flush() {
                        if (uri != "" && types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && enabled)
                            print uri
                        uri = ""; types = ""; suites = ""; enabled = 1
                    }
                    BEGIN { enabled = 1 }
                    /^[ \t]*$/ { flush(); next }
                    /^#/ { next }
                    tolower($1) == "types:" { $1 = ""; types = $0 " " }
                    tolower($1) == "uris:" { uri = $2 }
                    tolower($1) == "suites:" { $1 = ""; suites = $0 }
                    tolower($1) == "enabled:" { enabled = (tolower($2) != "no") }
                    END { flush() }' "$f"
            done
            # One-line style: deb [options] URI SUITE COMPONENT...
            for f in "$dir"/sources.list "$dir"/sources.list.d/*.list; do
                [ -f "$f" ] || continue
                sed -e 's/\[[^]]*\]//' "$f" | awk -v suite="$suite" '$1 == "deb" && $3 == suite { print $2 }'
            done
        } | head -n 1
    )
    if [ -z "$found" ]; then
        echo "no apt source for $suite in $dir (sources.list, sources.list.d)" >&2
        return 1
    fi
    printf '%s\n' "${found%/}"
}
