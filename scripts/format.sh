#!/usr/bin/env bash
# The house format (.clang-format) for our C++ sources, and the check before every commit.
#   scripts/format.sh             formats every tracked .h and .cpp in place
#   scripts/format.sh FILE...     formats just those files
#   scripts/format.sh --check     changes nothing; fails, saying why, when a C++ file differs
#                                 from the format, when shellcheck finds anything in a shell
#                                 script (.shellcheckrc: the helpers they source are read too),
#                                 or when a tracked file's name begins with "-" (a program that
#                                 took an option for the name of its output wrote it; every
#                                 later command would take it for an option), or when a tracked
#                                 file names a package archive's host (the archive is the one
#                                 the machine's apt sources name: scripts/lib/archive.sh), or
#                                 when a tracked text file holds a merge's conflict markers
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in clang-format shellcheck; do
    command -v "$tool" >/dev/null ||
        { echo "format: $tool is not installed (scripts/setup.sh installs it)" >&2; exit 2; }
done

check=no
if [ "${1:-}" = --check ]; then
    check=yes
    shift
fi
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files '*.h' '*.cpp')
fi

if [ "$check" = no ]; then
    clang-format -i --style=file "${files[@]}"
    exit 0
fi
dashed=0
if git ls-files -z | grep -zE '(^|/)-' | tr '\0' '\n'; then
    echo "format: tracked files whose names begin with \"-\"; remove them with git rm -- NAME" >&2
    dashed=1
fi
# Debian's and Ubuntu's archives and mirrors, npm's and PyPI's registries.
archive_hosts='(deb|ftp[0-9]*|ftp\.[a-z]{2}|security|snapshot|archive|httpredir|cdn-fastly\.deb|mirrors?)\.debian\.org'
archive_hosts+='|(archive|security|ports|[a-z]{2}\.archive)\.ubuntu\.com'
archive_hosts+='|registry\.(npmjs\.org|yarnpkg\.com)|(pypi|files\.pythonhosted)\.org'
named=0
if git grep -nIiE "$archive_hosts" -- .; then
    echo "format: tracked files name a package archive's host; take it from the machine's apt sources (scripts/lib/archive.sh)" >&2
    named=1
fi
merged=0
if git grep -nIE '^(<{7}|>{7})( |$)' -- .; then
    echo "format: tracked files hold a merge's conflict markers; resolve them" >&2
    merged=1
fi
linted=0
git ls-files -z '*.sh' .ci/run | xargs -0 shellcheck || linted=1
differ=0
for f in "${files[@]}"; do
    if ! clang-format --style=file "$f" | cmp -s - "$f"; then
        echo "$f"
        differ=1
    fi
done
[ "$differ" = 0 ] || echo "format: these files differ from .clang-format; scripts/format.sh formats them" >&2
[ "$differ" = 0 ] && [ "$dashed" = 0 ] && [ "$linted" = 0 ] && [ "$named" = 0 ] && [ "$merged" = 0 ]
