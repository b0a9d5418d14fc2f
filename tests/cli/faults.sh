#!/usr/bin/env bash
# Real files that cannot be written: the output path is a regular file, a folder that an
# unprivileged user may not write to, a file-size limit that makes the disk "fill up" part-way.
# Each time the user is told which file failed, "分割成功！" is not shown, the status is 2 and the
# source, asked to be deleted, is still there, whole.
#   faults.sh FOLIOKNIFE_SPLIT FK_GENNOVEL
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
source "$(dirname "$0")/common.sh"

"$gen" novel.txt --encoding gbk --chapters 60 --chapter-bytes 20000 >/dev/null
size=$(stat -c %s novel.txt)

# check_failed CASE STATUS FILE SOURCE: the run failed as it should have.
check_failed() {
    local name=$1 status=$2 file=$3 source=$4
    [ "$status" = 2 ] || fail "$name: status $status, expected 2"
    grep -q "分割失败！无法写入文件：$file" err.txt || fail "$name: message: $(cat err.txt)"
    grep -q '分割成功' out.txt err.txt && fail "$name: success reported"
    cmp -s "$source" novel.txt || fail "$name: the source was deleted or changed"
}

# 1. The output path names an existing regular file.
cp novel.txt src1.txt
touch taken
"$split" --delete-source -o taken src1.txt >out.txt 2>err.txt
check_failed "output is a file" $? taken/novel_1.txt src1.txt

# 2. A folder the user may not write to (as root nothing is refused, so drop privileges).
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    mkdir -p shared locked
    chmod 1777 shared
    chmod 755 locked
    cp novel.txt shared/src2.txt
    chown nobody shared/src2.txt
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        "$split" --delete-source -o locked shared/src2.txt >out.txt 2>err.txt
    check_failed "locked folder" $? locked/novel_1.txt shared/src2.txt
    # The same user can split into a folder of its own and delete the source: the test is fair.
    mkdir -p shared/mine && chmod 777 shared/mine
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        "$split" --delete-source -o shared/mine shared/src2.txt >out.txt 2>err.txt \
        || fail "unprivileged split into a writable folder: $(cat err.txt)"
    [ -e shared/src2.txt ] && fail "unprivileged complete split did not delete its source"
else
    echo "skipped the unprivileged-user case (needs root and setpriv)"
fi

# 3. The disk fills up part-way: a file-size limit below the size of one volume, with SIGXFSZ
#    ignored so that write() fails with EFBIG instead of killing the process.
cp novel.txt src3.txt
limit=$((size / 12))
( trap '' XFSZ; exec prlimit --fsize=$limit "$split" --codepage GBK -n 7 --delete-source -o full src3.txt ) >out.txt 2>err.txt
status=$?
check_failed "file-size limit" $status full/novel_1.txt src3.txt
# With one chapter per file the first volume is the short preface: it fits under the limit and
# is written in full; the first chapter does not, and the split stops there.
cp novel.txt src4.txt
( trap '' XFSZ; exec prlimit --fsize=2000 "$split" --codepage GBK -n 1 --delete-source -o part src4.txt ) >out.txt 2>err.txt
check_failed "part-way" $? part/novel_2.txt src4.txt
preface=$(stat -c %s part/novel_1.txt)
head -c "$preface" novel.txt | cmp -s - part/novel_1.txt || fail "part-way: the preface volume is not whole"
[ -e part/novel_3.txt ] && fail "part-way: went on after the failure"

finish fault
