#!/usr/bin/env bash
# Writes what folioknife-split prints and writes for a fixed set of novels and command lines, in
# Chinese and in English, into one text file: exit status, standard output and error, and every
# file made with its SHA-256 (an EPUB's entries one by one, its date left out). Run it before and
# after a change that must not change behaviour, and diff the two files:
#
#   scripts/outputs-snapshot.sh before.txt            # build/ as it is now
#   ... change, rebuild ...
#   scripts/outputs-snapshot.sh after.txt && diff before.txt after.txt
#
#   scripts/outputs-snapshot.sh FILE [SPLIT GENNOVEL]  # other programs than build/'s
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:?usage: outputs-snapshot.sh FILE [SPLIT GENNOVEL]}")
split=$(realpath "${2:-$root/build/src/cli/folioknife-split}")
gen=$(realpath "${3:-$root/build/tools/fk-gennovel}")
work=$(mktemp -d)
cleanup() { [ "$BASHPID" = "$$" ] && rm -rf "$work"; }
trap cleanup EXIT
cd "$work" || exit 1

# The novels, made once and copied into a fresh folder for every case.
mkdir novels && (
    cd novels || exit 1
    "$gen" gbk.txt --encoding gbk --chapters 40 --seed 3
    "$gen" utf8.txt --encoding utf8 --chapters 23 --seed 5 --no-preface
    "$gen" le.txt --encoding utf16le --chapters 12 --seed 7
    "$gen" be.txt --encoding utf16be --chapters 12 --seed 8 --lf
    "$gen" reader.txt --encoding gbk --chapters 30 --seed 9 --reader
    "$gen" damaged.txt --encoding gbk --chapters 20 --seed 11 --damage
    { printf '\xef\xbb\xbf'; cat utf8.txt; } >bom.txt
    tr '\n' '\r' <utf8.txt | tr -d '\n' >cr.txt
    printf '没有章节的书。\n第二行。\n' | iconv -f UTF-8 -t GBK >plain.txt
    printf '序\n第一卷 风起\n本卷讲风起之事。\n第1章 一\n甲\n第2章 二\n乙\n第二卷 云涌\n第3章 三\n丙\n后记\n完\n' >volumes.txt
    printf 'Chapter 1\nOne.\nChapter 2\nTwo.\nChapter 3\nThree.\n' >english.txt
) >/dev/null 2>&1

# One entry per file made: its name and SHA-256; an EPUB entry by entry, without its date.
files_made() {
    find . -type f ! -name stdout.txt ! -name stderr.txt | LC_ALL=C sort | while read -r f; do
        case $f in
            *.epub) python3 - "$f" <<'PY'
import hashlib, re, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for i in z.infolist():
        data = re.sub(rb'<meta property="dcterms:modified">[^<]*<', b'<', z.read(i))
        print(sys.argv[1], i.filename, hashlib.sha256(data).hexdigest())
PY
                ;;
            *) echo "$f $(sha256sum <"$f" | cut -c1-64)" ;;
        esac
    done
}

# run_case LOCALE NOVELS -- ARGS...: a fresh folder with the novels named, then the command.
run_case() {
    local locale=$1 n=0
    shift
    local novels=()
    while [ "$1" != -- ]; do novels+=("$1"); shift; done
    shift
    rm -rf case && mkdir case && cd case || exit 1
    for f in "${novels[@]}"; do cp "../novels/$f" .; done
    LC_ALL=$locale LANG=$locale "$split" "$@" >stdout.txt 2>stderr.txt
    n=$?
    {
        echo "=== [$locale] folioknife-split $*"
        echo "exit $n"
        echo "--- stdout"
        sed "s|$work|WORK|g" stdout.txt
        echo "--- stderr"
        sed "s|$work|WORK|g" stderr.txt
        echo "--- files"
        files_made
    } >>"$out"
    cd .. || exit 1
}

: >"$out"
while IFS='|' read -r novels args; do
    [ -n "$novels" ] || continue
    read -ra words <<<"$args"
    read -ra names <<<"$novels"
    for locale in zh_CN.UTF-8 C.UTF-8; do
        run_case "$locale" "${names[@]}" -- "${words[@]}"
    done
done <<'TABLE'
gbk.txt|gbk.txt
gbk.txt|-n 3 -o out gbk.txt
gbk.txt|--list gbk.txt
gbk.txt|--json -n 7 gbk.txt
gbk.txt|--json --list gbk.txt
gbk.txt|-n 1 --name {k0}_{title}.txt gbk.txt
gbk.txt|--max-size 8K gbk.txt
gbk.txt|--max-size 20K -n 4 gbk.txt
gbk.txt|--to utf-8 -n 5 gbk.txt
gbk.txt|--epub book.epub gbk.txt
gbk.txt|--epub book.epub --title 书名 --author 作者 gbk.txt
gbk.txt|--delete-source -n 20 gbk.txt
gbk.txt|-s 回 gbk.txt
gbk.txt|-p 第 -s 节 gbk.txt
gbk.txt|--anywhere gbk.txt
gbk.txt|-n abc gbk.txt
gbk.txt|-n 0 gbk.txt
gbk.txt|missing.txt
gbk.txt|-e 第( gbk.txt
gbk.txt|--json -e 第( gbk.txt
gbk.txt|-e ^第\d+章 --list gbk.txt
gbk.txt|-e (?<=[\s　]{0,4})第.{1,9}章 --list gbk.txt
gbk.txt|--codepage GBK -e ^[☆★].{1,30}$ gbk.txt
gbk.txt|--codepage NOPE gbk.txt
utf8.txt|utf8.txt
utf8.txt|-n 4 --to gbk utf8.txt
utf8.txt|--epub u.epub utf8.txt
le.txt|-n 5 le.txt
le.txt|--list --json le.txt
be.txt|-n 5 be.txt
be.txt|--epub b.epub be.txt
reader.txt|reader.txt
reader.txt|--list reader.txt
reader.txt|--epub r.epub reader.txt
damaged.txt|damaged.txt
damaged.txt|--to utf-8 damaged.txt
damaged.txt|--epub d.epub damaged.txt
bom.txt|-n 5 bom.txt
bom.txt|-e ^第\d+章 --list bom.txt
cr.txt|--list cr.txt
cr.txt|--epub c.epub cr.txt
plain.txt|plain.txt
plain.txt|--max-size 64 plain.txt
plain.txt|--epub p.epub plain.txt
volumes.txt|--list volumes.txt
volumes.txt|--epub v.epub volumes.txt
english.txt|-e ^Chapter\s+\d+ -n 1 english.txt
english.txt|english.txt
gbk.txt utf8.txt|-o books gbk.txt utf8.txt
gbk.txt utf8.txt|--json gbk.txt utf8.txt
gbk.txt|--help
gbk.txt|--version
TABLE
echo "$(grep -c '^=== ' "$out") cases written to $out"
