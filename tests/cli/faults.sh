#!/usr/bin/env bash
# Real files, used as a hostile or unlucky user would: output names that cannot be written (a
# file where the folder should be, a folder where a volume should be, a folder the user may not
# write to, a disk that fills up), output names that are links or devices, novels that are no
# regular files, code pages that would move the names, two splits in one folder, a novel that
# is itself an output. Whatever happens, the user is told, the status says it, and no text of
# the novel is lost: the folder holds every volume or is as it was, and the source is deleted
# only when the volumes on disk hold all of it.
#   faults.sh FOLIOKNIFE_SPLIT FK_GENNOVEL
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
source "$(dirname "$0")/common.sh"
seed_random
# The program and its catalogue, copied where the unprivileged user may read them: the
# checkout may lie in a folder only root can enter (/root), and the user would then get the
# English texts.
mkdir -m 755 program
cp "$split" program/
[ -d "$(dirname "$split")/locale" ] && cp -r "$(dirname "$split")/locale" program/
chmod -R a+rX program
split=$work/program/$(basename "$split")

"$gen" novel.txt --encoding gbk --chapters 60 --chapter-bytes 20000 >/dev/null
size=$(stat -c %s novel.txt)

# As root, and again as an unprivileged user where it matters (as root nothing is refused).
as_nobody=()
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
# run AS CMD...: runs the splitter as "root" (whoever runs the test) or "nobody"; stdout and
# stderr in out.txt and err.txt, at most 30 s and 2 GiB of memory (a program that reads a
# device without end must not take the machine with it).
# (Not under AddressSanitizer, which reserves terabytes of address space.)
memory_limit=(prlimit --as=$((2 << 30)))
[ -n "${ASAN_OPTIONS:-}" ] && memory_limit=()
run() {
    local who=$1 as=()
    shift
    [ "$who" = nobody ] && as=("${as_nobody[@]}")
    # Two runs at once give each its own files (run_out, run_err).
    timeout 30 "${memory_limit[@]}" "${as[@]}" "$split" "$@" >"${run_out:-out.txt}" 2>"${run_err:-err.txt}"
}
users=(root)
[ ${#as_nobody[@]} -gt 0 ] && users+=(nobody) || echo "skipped the unprivileged runs (needs root and setpriv)"
# A folder that either user may write to, holding a copy of the novel.
fresh() {
    rm -rf "$1"
    mkdir -p "$1"
    chmod 777 "$1"
    cp novel.txt "$1/${2:-src.txt}"
    chmod 666 "$1/${2:-src.txt}"
}
# leftovers DIR: temporary files a split left in DIR, the lock file included.
leftovers() { count_named "$1" folioknife-; }

# check_failed CASE STATUS FILE SOURCE: the run failed as it should have.
check_failed() {
    local name=$1 status=$2 file=$3 source=$4
    [ "$status" = 2 ] || fail "$name: status $status, expected 2"
    grep -q "分割失败！无法写入文件：$file" err.txt || fail "$name: message: $(cat err.txt)"
    [ "$(grep -c . err.txt)" -ge 2 ] || fail "$name: no reason on a line of its own: $(cat err.txt)"
    grep -q '分割成功' out.txt err.txt && fail "$name: success reported"
    cmp -s "$source" novel.txt || fail "$name: the source was deleted or changed"
}

# 1. Output names that cannot be written. The folder is left as it was: an older volume keeps
#    its bytes, no volume is half there, no temporary file remains, links at output names are
#    still the links they were; the reason is given. (--replace: the older volume is no split
#    of this novel.)
#    case         | run as | chapters per file | what stands in the way           | reason (the
#    system's words, English or Chinese)
while IFS='|' read -r name who per obstacle reason reason_zh; do
    reason="$reason|$reason_zh"
    [ "$who" = nobody ] && [ ${#as_nobody[@]} = 0 ] && continue
    fresh "$name"
    mkdir -p "$name/out" && chmod 777 "$name/out"
    printf 'an older volume' > "$name/out/novel_1.txt"
    out="$name/out"
    case $obstacle in
        file-as-folder) out="$name/taken"; touch "$out" ;;
        folder-at-2) mkdir "$name/out/novel_2.txt"
            ln -s "$work" "$name/out/novel_3.txt"
            ln -s "$work/nothing" "$name/out/novel_4.txt" ;;
        locked-folder) chmod 755 "$name/out" ;;
    esac
    run "$who" --codepage GBK -n "$per" --delete-source --replace -o "$out" "$name/src.txt"
    status=$?
    if [ "$obstacle" = folder-at-2 ]; then
        check_failed "$name" $status "$out/novel_2.txt" "$name/src.txt"
        if [ "$(readlink "$name/out/novel_3.txt")" != "$work" ] || [ "$(readlink "$name/out/novel_4.txt")" != "$work/nothing" ]; then
            fail "$name: the links at output names were not given back"
        fi
    else
        # Nothing can be written there, not even the lock file: the split stops before it
        # begins, and says why.
        [ "$status" = 2 ] || fail "$name: status $status, expected 2"
        grep -q "分割失败！无法锁定输出文件夹：$out" err.txt || fail "$name: message: $(cat err.txt)"
        cmp -s "$name/src.txt" novel.txt || fail "$name: the source was deleted or changed"
    fi
    grep -qE "$reason" err.txt || fail "$name: the reason is not '$reason': $(cat err.txt)"
    if [ "$obstacle" != file-as-folder ]; then
        [ "$(cat "$name/out/novel_1.txt")" = 'an older volume' ] || fail "$name: the older volume changed"
        [ "$(leftovers "$name/out")" = 0 ] || fail "$name: temporary files left: $(ls -a "$name/out")"
    fi
done <<'TABLE'
output-is-a-file|root|10|file-as-folder|Not a directory|不是目录
volume-2-is-a-folder|root|5|folder-at-2|Is a directory|是一个目录
locked-folder|nobody|10|locked-folder|Permission denied|权限不够
TABLE
# Without its catalogue (a Chinese user who may not read it), the system's reason is English too:
# one message is never in two languages.
mkdir -m 755 bare && cp "$split" bare/
fresh no-catalogue
touch no-catalogue/taken
timeout 30 bare/"$(basename "$split")" -o no-catalogue/taken no-catalogue/src.txt >out.txt 2>err.txt
{ grep -q '^split failed: ' err.txt && grep -q 'Not a directory' err.txt; } || fail "no catalogue: not all English: $(cat err.txt)"
LC_ALL=C grep -q $'[\x80-\xff]' err.txt && fail "no catalogue: a Chinese word in: $(cat err.txt)"
# The unprivileged user can split into a folder of its own and delete the source: the test is fair.
if [ ${#as_nobody[@]} -gt 0 ]; then
    fresh fair
    run nobody --delete-source -o fair fair/src.txt || fail "unprivileged split into a writable folder: $(cat err.txt)"
    [ -e fair/src.txt ] && fail "unprivileged complete split did not delete its source"
fi

# 2. The disk fills up part-way: a small tmpfs where it can be mounted, else a file-size limit
#    (SIGXFSZ ignored, so that write() fails with EFBIG instead of killing the process).
fresh full
printf 'an older volume' > full/novel_1.txt
if [ "$(id -u)" = 0 ] && mkdir -p full/disk && mount -t tmpfs -o size=$((size / 2)) tmpfs full/disk 2>/dev/null; then
    printf 'an older volume' > full/disk/novel_1.txt
    cp novel.txt full/src.txt
    run root --codepage GBK -n 7 --delete-source --replace -o full/disk full/src.txt
    status=$?
    check_failed "full tmpfs" $status "full/disk/novel_" full/src.txt
    grep -qE 'No space left on device|设备上没有空间' err.txt || fail "full tmpfs: reason: $(cat err.txt)"
    [ "$(cat full/disk/novel_1.txt)" = 'an older volume' ] || fail "full tmpfs: the older volume changed"
    # The older volume alone: the lock file goes with the lock.
    [ "$(count_named full/disk '')" = 1 ] || fail "full tmpfs: files left: $(ls -a full/disk)"
    umount full/disk
else
    echo "no tmpfs here: the full disk is a file-size limit"
fi
# The program itself ignores SIGXFSZ: the limit is a write failure with its reason.
prlimit --fsize=$((size / 12)) "$split" --codepage GBK -n 7 --delete-source --replace -o full full/src.txt >out.txt 2>err.txt
check_failed "file-size limit" $? "full/novel_" full/src.txt
grep -qE 'File too large|文件过大' err.txt || fail "file-size limit: reason: $(cat err.txt)"
[ "$(cat full/novel_1.txt)" = 'an older volume' ] || fail "file-size limit: the older volume changed"
[ "$(leftovers full)" = 0 ] || fail "file-size limit: temporary files left: $(ls full)"

# 3. Output names that are links, FIFOs or devices are replaced by the volumes, never written
#    through; the thing they named is untouched. As root that thing may be any file.
#    case        | run as | what stands at novel_1.txt
while IFS='|' read -r name who kind; do
    [ "$who" = nobody ] && [ ${#as_nobody[@]} = 0 ] && continue
    fresh "$name"
    printf 'a file of the system' > "$name.victim"
    chmod 644 "$name.victim"
    case $kind in
        link-to-null) ln -s /dev/null "$name/novel_1.txt" ;;
        link-to-file) ln -s "$work/$name.victim" "$name/novel_1.txt" ;;
        fifo) mkfifo -m 666 "$name/novel_1.txt" ;;
        dangling) ln -s "$work/$name.nothing" "$name/novel_1.txt" ;;
    esac
    run "$who" --codepage GBK -n 7 --delete-source --replace -o "$name" "$name/src.txt"
    status=$?
    [ "$status" = 0 ] || fail "$name: status $status: $(cat err.txt)"
    [ -e "$name/src.txt" ] && fail "$name: complete split kept its source: $(cat err.txt)"
    if [ -f "$name/novel_1.txt" ] && [ ! -L "$name/novel_1.txt" ]; then
        joined "$name" 9 | cmp -s - novel.txt || fail "$name: the volumes are not the novel"
    else
        fail "$name: novel_1.txt is no regular file"
    fi
    [ "$(cat "$name.victim")" = 'a file of the system' ] || fail "$name: the link's target was written"
    [ -e "$name.nothing" ] && fail "$name: a dangling link's target was created"
    [ -c /dev/null ] || fail "$name: /dev/null is no longer a device"
done <<'TABLE'
link-to-null|root|link-to-null
link-to-file|root|link-to-file
link-to-file-nobody|nobody|link-to-file
fifo-at-name|root|fifo
dangling-link|root|dangling
TABLE

# 4. Only regular files are novels: nothing hangs, nothing reads without end, status 2.
mkfifo fifo.txt
python3 -c 'import socket,sys; s=socket.socket(socket.AF_UNIX); s.bind(sys.argv[1])' sock.txt 2>/dev/null || true
for novel in fifo.txt /dev/zero /dev/null books-folder sock.txt; do
    [ "$novel" = books-folder ] && mkdir -p books-folder
    [ -e "$novel" ] || { echo "skipped $novel (could not be made)"; continue; }
    run root --delete-source -o from-special "$novel"
    status=$?
    [ "$status" = 2 ] || fail "$novel as the novel: status $status"
    # A folder is a folder of novels, and this one holds none.
    want='不是普通文件'
    [ "$novel" = books-folder ] && want='文件夹中没有 .txt 文件'
    grep -q "$want" err.txt || fail "$novel as the novel: message: $(cat err.txt)"
    [ -e "$novel" ] || fail "$novel as the novel: deleted"
done
[ -e from-special ] && fail "a novel that is no regular file created the output folder"
# A file that opens but cannot be read is no empty novel: its open failure with the reason.
run root --list /proc/self/mem
status=$?
[ "$status" = 2 ] || fail "an unreadable novel: status $status"
if ! grep -qx '打开失败：/proc/self/mem' err.txt || ! grep -qxE 'Input/output error|输入/输出错误' err.txt; then
    fail "an unreadable novel: message: $(cat err.txt)"
fi
# An endless writer at the FIFO's other end changes nothing.
(timeout 20 yes '第1章 没完没了' > fifo.txt 2>/dev/null &)
run root -o from-fifo fifo.txt
[ $? = 2 ] || fail "a FIFO with a writer: status"
timeout 2 cat fifo.txt >/dev/null  # lets the writer go

# 5. Code pages in which ASCII is not ASCII would build the names elsewhere: refused, 64. Those
# that shift into other character sets count too: bytes of their characters are ASCII ("/").
refused_codepage() {  # CODEPAGE MESSAGE-PATTERN
    fresh "cp-$1"
    run root --codepage "$1" --delete-source -o "cp-$1/out" "cp-$1/src.txt"
    [ $? = 64 ] || fail "--codepage $1: status"
    grep -qE "$2" err.txt || fail "--codepage $1: message: $(cat err.txt)"
    [ "$(ls "cp-$1")" = src.txt ] || fail "--codepage $1: files written: $(ls "cp-$1")"
}
for cp in UTF-16 UCS-2 UTF-32 UCS-4 UTF-7; do
    refused_codepage "$cp" '不接受 UTF-16、UTF-32、UCS-2 和 UCS-4'
done
for cp in ISO-2022-CN ISO-2022-CN-EXT ISO-2022-JP ISO-2022-JP-2; do
    refused_codepage "$cp" 'ISO-2022-\*, HZ and UTF-7 are refused|不接受 ISO-2022-\*、HZ 和 UTF-7'
done
for cp in GBK GB18030 BIG5 UTF-8 SHIFT_JIS EUC-JP; do
    fresh "cp-$cp"
    run root --codepage "$cp" -o "cp-$cp/out" "cp-$cp/src.txt" || fail "--codepage $cp refused: $(cat err.txt)"
done

# 6. A novel that is itself an output: kept, and the user is told why.
#    case          | novel's name | chapters per file | its folder
while IFS='|' read -r name file per; do
    fresh "$name" "$file"
    run root --codepage GBK -n "$per" --delete-source --replace "$name/$file" || fail "$name: status: $(cat err.txt)"
    grep -q '源文件未删除：源文件就是输出文件之一' err.txt || fail "$name: message: $(cat err.txt)"
    joined "$name" | cmp -s - novel.txt || fail "$name: the volumes are not the novel"
done <<'TABLE'
one-volume-own-name|novel_1.txt|100
third-of-nine|novel_3.txt|7
TABLE
fresh hardlinked
ln hardlinked/src.txt hardlinked/alias.txt
if ! run root --codepage GBK -n 7 --delete-source -o hardlinked hardlinked/src.txt || [ -e hardlinked/src.txt ]; then
    fail "a source with a second name was kept: $(cat err.txt)"
fi
cmp -s hardlinked/alias.txt novel.txt || fail "the source's second name lost its bytes"

# 7. One split per folder at a time. A folder held by another split: wait, then give up
#    without writing; held briefly: wait, then split.
fresh held
locked() { ! flock -n "$1/.folioknife-lock" true; }
# Each holder keeps the lock for as long as its sleep: 12 s, beyond the 10 s a split waits,
# then 2 s, within them.
flock held/.folioknife-lock sleep 12 &
holder=$!
until_ok 50 locked held || fail "held folder: the lock was not taken"
started=$(date +%s)
run root --delete-source -o held held/src.txt
status=$?
waited=$(($(date +%s) - started))
[ "$status" = 2 ] || fail "held folder: status $status"
grep -q '分割失败！输出文件夹正被另一个分割任务使用：held' err.txt || fail "held folder: message: $(cat err.txt)"
[ "$waited" -ge 9 ] || fail "held folder: gave up after ${waited}s, not 10s"
[ "$(ls held)" = src.txt ] || fail "held folder: files written: $(ls held)"
wait "$holder"
flock held/.folioknife-lock sleep 2 &
holder=$!
until_ok 50 locked held || fail "briefly held folder: the lock was not taken"
run root --codepage GBK -n 7 -o held held/src.txt || fail "briefly held folder: $(cat err.txt)"
wait "$holder"
# A file system that keeps no locks (NFS without its lock service: flock fails with ENOLCK):
# the split does not run unlocked. It stops before anything is written, says why, and keeps
# the novel; the lock file it made goes too.
if command -v strace >/dev/null &&
    strace -f -qq -o /dev/null -e inject=flock:error=ENOLCK true 2>/dev/null; then
    fresh nolocks
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
        strace -f -qq -o /dev/null -e inject=flock:error=ENOLCK \
        "$split" --codepage GBK -n 7 --delete-source -o nolocks nolocks/src.txt >out.txt 2>err.txt
    status=$?
    [ "$status" = 2 ] || fail "no locks: status $status, expected 2: $(cat err.txt)"
    grep -q '分割失败！无法锁定输出文件夹：nolocks' err.txt || fail "no locks: message: $(cat err.txt)"
    grep -qE 'No locks available|没有可用的锁' err.txt || fail "no locks: reason: $(cat err.txt)"
    grep -q '分割成功' out.txt err.txt && fail "no locks: success reported"
    cmp -s nolocks/src.txt novel.txt || fail "no locks: the source was deleted or changed"
    [ "$(ls -A nolocks)" = src.txt ] || fail "no locks: files written: $(ls -A nolocks)"
else
    echo "skipped the folder without locks: strace cannot inject a flock failure here"
fi
# Two splits of two novels with --delete-source into one folder at once: one splits and
# deletes its novel, the other finds its volumes, stops and keeps its own; no mix of the two.
# Also in a folder that may be written but not read (a drop box), as the unprivileged user.
"$gen" other.txt --encoding gbk --chapters 60 --chapter-bytes 20000 --seed 9 >/dev/null
for round in 1 2 3 dropbox; do
    who=root
    if [ "$round" = dropbox ]; then
        [ ${#as_nobody[@]} = 0 ] && continue
        who=nobody
    fi
    fresh "both$round" a.txt
    cp other.txt "both$round/b.txt"
    chmod 666 "both$round/b.txt"
    mkdir -m 777 "both$round/out"
    [ "$round" = dropbox ] && chmod 333 "both$round/out"
    (run_out=a.out run_err=a.err run "$who" --codepage GBK -n 7 --delete-source -o "both$round/out" "both$round/a.txt"; echo $? > a.status) &
    first=$!
    # Not a wait for something: a head start of 0 to 99 ms drawn at random, so that either
    # split may take the folder first over the rounds.
    sleep "$(printf '0.%03d' $((RANDOM % 100)))"
    run "$who" --codepage GBK -n 7 --delete-source -o "both$round/out" "both$round/b.txt"
    second=$?
    wait "$first"
    case "$(cat a.status) $second" in
        "0 2") winner=novel.txt loser=both$round/b.txt ;;
        "2 0") winner=other.txt loser=both$round/a.txt ;;
        *) fail "two at once ($round): statuses $(cat a.status) and $second: $(cat a.err err.txt)"; continue ;;
    esac
    grep -q '分割失败！输出文件夹中已有其他小说的分卷文件：' a.err err.txt || fail "two at once ($round): message: $(cat a.err err.txt)"
    chmod 755 "both$round/out"
    joined "both$round/out" | cmp -s - "$winner" || fail "two at once ($round): the volumes are not the one novel"
    [ -e "$loser" ] || fail "two at once ($round): the novel that stopped was deleted"
    [ "$(leftovers "both$round/out")" = 0 ] || fail "two at once ($round): temporary files left"
done

# 8. The clean-up of a folder touches only what a killed split of ours recorded: a file named
#    like one of our temporary files is kept, even when it is the novel being split.
fresh leftover novel_1.txt.folioknife-new-Keep1234
printf 'a reader kept this' > leftover/novel_2.txt.folioknife-old-abcd1234
run root --codepage GBK -n 7 leftover/novel_1.txt.folioknife-new-Keep1234 || fail "a novel named like a temporary file: $(cat err.txt)"
cmp -s leftover/novel_1.txt.folioknife-new-Keep1234 novel.txt || fail "a novel named like a temporary file was removed"
[ "$(cat leftover/novel_2.txt.folioknife-old-abcd1234)" = 'a reader kept this' ] || fail "a reader's file named like ours was removed"

# 8b. A novel named like one of the program's own files, or like a volume, is never removed nor
#     taken for one: split in its own folder it stays whole, and only what the split made (or
#     a --replace that names it) goes. Run twice: the second run meets the first one's files.
#     case            | run as | novel's name               | options          | status | message
while IFS='|' read -r name who file options want message; do
    [ "$who" = nobody ] && [ ${#as_nobody[@]} = 0 ] && continue
    fresh "$name" "$file"
    for round in 1 2; do
        # shellcheck disable=SC2086 # the options are words
        run "$who" --codepage GBK $options "$name/$file"
        status=$?
        [ "$status" = "$want" ] || fail "$name, run $round: status $status, expected $want: $(cat err.txt)"
        [ -z "$message" ] || grep -q "$message" err.txt || fail "$name, run $round: message: $(cat err.txt)"
        cmp -s "$name/$file" novel.txt || fail "$name, run $round: the novel was removed or changed"
    done
    [ "$(find "$name" -name '*folioknife-*' ! -name "$file" | wc -l)" = 0 ] || fail "$name: files of ours left: $(ls -A "$name")"
    if [ "$want" = 0 ]; then
        joined "$name" 4 | cmp -s - novel.txt || fail "$name: the volumes are not the novel"
    fi
done <<'TABLE'
named-like-the-lock|root|.folioknife-lock|-n 20|0|
named-like-the-lock-nobody|nobody|.folioknife-lock|-n 20|0|
named-like-the-record|root|.folioknife-record|-n 20|1|不是本程序的记录文件，而分割要用这个名称
named-like-a-record-temporary|root|.folioknife-record.folioknife-new-abcdefghiX|-n 20|0|
named-exactly-like-one|nobody|.folioknife-record.folioknife-new-abcdefgh12345678|-n 20|0|
novel-5-fewer-volumes|root|novel_5.txt|-n 20 --replace|0|
novel-5-fewer-volumes-nobody|nobody|novel_5.txt|-n 20 --replace|0|
TABLE
# What a kill or a power cut leaves of our own files before they say anything (an empty lock,
# an empty record, a record cut after its header) holds nothing to lose: the next split removes
# it and splits. Something else at the record's name is refused, as above.
#   case                 | file at the name      | its bytes             | status
while IFS='|' read -r name file bytes want; do
    fresh "$name"
    printf '%b' "$bytes" > "$name/$file"
    run root --codepage GBK -n 20 "$name/src.txt"
    status=$?
    [ "$status" = "$want" ] || fail "$name: status $status, expected $want: $(cat err.txt)"
    if [ "$want" = 0 ]; then
        [ -e "$name/$file" ] && fail "$name: the remnant was left"
        joined "$name" | cmp -s - novel.txt || fail "$name: the volumes are not the novel"
    else
        [ "$(cat "$name/$file")" = "$(printf '%b' "$bytes")" ] || fail "$name: the file was changed"
    fi
done <<'TABLE'
empty-lock|.folioknife-lock||0
empty-record|.folioknife-record||0
record-cut-after-header|.folioknife-record|folioknife record 2\n|0
record-cut-in-header|.folioknife-record|folioknife rec|0
someone-elses-record|.folioknife-record|my notes\n|1
TABLE
# novel_2.txt split twice into its own folder with --replace: the first split replaces it with
# its second volume, the second split replaces novel_1.txt with that volume's split and keeps
# novel_2.txt as it was.
for who in "${users[@]}"; do
    fresh "novel-2-$who" novel_2.txt
    run "$who" --codepage GBK -n 40 --replace "novel-2-$who/novel_2.txt" || fail "novel_2.txt ($who): $(cat err.txt)"
    joined "novel-2-$who" 2 | cmp -s - novel.txt || fail "novel_2.txt ($who): the volumes are not the novel"
    cp "novel-2-$who/novel_2.txt" second.txt
    run "$who" --codepage GBK -n 40 --replace "novel-2-$who/novel_2.txt" || fail "novel_2.txt again ($who): $(cat err.txt)"
    cmp -s "novel-2-$who/novel_2.txt" second.txt || fail "novel_2.txt again ($who): the novel was removed or changed"
    cmp -s "novel-2-$who/novel_1.txt" second.txt || fail "novel_2.txt again ($who): novel_1.txt is not its split"
done
# --replace removes only the files of this split's pattern, and the refusal names those that
# are no earlier split of this novel: the first three and their count.
fresh pattern book.txt
run root --codepage GBK -n 20 --name '{k}.txt' pattern/book.txt || fail "pattern: first split: $(cat err.txt)"
printf 'another novel' > pattern/2024.txt
printf 'another novel' > pattern/novel_3.txt
run root --codepage GBK -n 20 --name '{k}.txt' pattern/book.txt
[ $? = 2 ] || fail "pattern: another file of the pattern was not refused"
grep -qx '分割失败！输出文件夹中已有其他小说的分卷文件：pattern/2024.txt（共 1 个）' err.txt || fail "pattern: message: $(cat err.txt)"
run root --codepage GBK -n 20 --name '{k}.txt' --replace pattern/book.txt || fail "pattern: --replace: $(cat err.txt)"
[ -e pattern/2024.txt ] && fail "pattern: --replace kept the file it named"
[ "$(cat pattern/novel_3.txt)" = 'another novel' ] || fail "pattern: --replace removed a file of no pattern of this split"
# Names the split may not write, from --name or from {title}: refused before anything is
# written.
fresh own-names
printf '前言\n.folioknife-lock\n正文\n.folioknife-record\n正文\n' > own-names/src.txt
for options in "-e ^\.[a-z-]+$ --name {title} -n 1 --replace" "--name {k}.folioknife-old-x" "--name .folioknife-lock -n 1000"; do
    # shellcheck disable=SC2086 # the options are words
    run root $options own-names/src.txt
    [ $? = 1 ] || fail "own names ($options): status"
    grep -q '是本程序自用的文件名' err.txt || fail "own names ($options): message: $(cat err.txt)"
    [ "$(ls -A own-names)" = src.txt ] || fail "own names ($options): files written: $(ls -A own-names)"
done
# A rollback that fails is said, with the file that holds the old bytes, and is done by the
# next split into the folder.
if command -v strace >/dev/null && strace -f -qq -o /dev/null -e inject=rename:error=EIO true 2>/dev/null; then
    fresh rollback
    mkdir -m 777 rollback/out
    for k in 1 2 3 4 5 6 7 8 9; do printf 'old %s' "$k" > "rollback/out/novel_$k.txt"; done
    renames=rename,renameat,renameat2
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
        strace -f -qq -o /dev/null -e trace=$renames -e inject=$renames:error=EIO:when=5+ \
        "$split" --codepage GBK -n 7 --replace --delete-source -o rollback/out rollback/src.txt >out.txt 2>err.txt
    status=$?
    [ "$status" = 2 ] || fail "failed rollback: status $status"
    grep -q '^分割失败！无法恢复 rollback/out/novel_1.txt：旧内容在 rollback/out/novel_1.txt.folioknife-old-[a-z0-9]*[A-Za-z0-9]* 中$' err.txt || fail "failed rollback: message: $(cat err.txt)"
    grep -q '分割成功' out.txt err.txt && fail "failed rollback: success reported"
    cat rollback/out/novel_1.txt.folioknife-old-* | grep -qx 'old 1' || fail "failed rollback: the old bytes are not where the message says"
    run root --codepage GBK --list rollback/src.txt >/dev/null || fail "failed rollback: the novel"
    # The next split puts the folder back first; without --replace it then stops.
    run root --codepage GBK -n 7 -o rollback/out rollback/src.txt
    [ $? = 2 ] || fail "after a failed rollback: status"
    for k in 1 2 3 4 5 6 7 8 9; do
        [ "$(cat "rollback/out/novel_$k.txt")" = "old $k" ] || fail "after a failed rollback: novel_$k.txt is not as it was"
    done
    [ "$(leftovers rollback/out)" = 0 ] || fail "after a failed rollback: files of ours left: $(ls -A rollback/out)"
    cmp -s rollback/src.txt novel.txt || fail "failed rollback: the source was deleted or changed"
else
    echo "skipped the failed rollback: strace cannot inject a rename failure here"
fi

# 9. A standard output closed early (a pipe into "true") hides no note and changes no status.
fresh closed novel_1.txt
"$split" --codepage GBK -n 100 --delete-source closed/novel_1.txt 2>err.txt | true
[ "${PIPESTATUS[0]}" = 0 ] || fail "closed standard output: status ${PIPESTATUS[0]}"
grep -q '源文件未删除：源文件就是输出文件之一' err.txt || fail "closed standard output: the note is missing: $(cat err.txt)"

finish fault
