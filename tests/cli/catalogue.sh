#!/usr/bin/env bash
# Every text of folioknife-split that goes through tr() or trf() has its Chinese in the
# catalogue, and the catalogue compiles.
#   catalogue.sh SOURCE_DIR
set -eu
src=$1/src/cli
pot=$(mktemp)
trap 'rm -f "$pot"' EXIT
xgettext --keyword=tr --keyword=trf --keyword=N_ --from-code=UTF-8 --omit-header -o "$pot" "$src"/*.cpp
msgfmt --check -o /dev/null "$src/po/zh_CN.po"
msgcmp "$src/po/zh_CN.po" "$pot"
echo "the catalogue holds every text"
