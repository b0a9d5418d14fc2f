#!/usr/bin/env bash
# A power cut during a split and right after it. The novel's folder lives on a loop-mounted
# ext4 image; the cut is ext4's shutdown ioctl with EXT4_GOING_FLAGS_NOLOGFLUSH, which drops
# whatever had not reached stable storage, as a power cut does. The image is then mounted
# again (the journal replayed) and the same command run again, as a reader would: the folder
# must then hold the whole novel as a finished split leaves it, every time.
# A program saving its own file on that disk meanwhile commits the journal now and then.
# Two splits: novel_1.txt into its own folder (the novel itself is set aside and replaced),
# and src.txt with --delete-source into a folder holding an earlier split of it.
# Needs root, a loop device and python3 (for the ioctl); exits 77 (skipped) without them.
#   powercut.sh FOLIOKNIFE_SPLIT FK_GENNOVEL [CUTS]
set -u
split=$(realpath "$1")
gen=$(realpath "$2")
cuts=${3:-12}
source "$(dirname "$0")/common.sh"

skip() {
    echo "skipped the power-cut test: $*"
    exit 77
}
[ "$(id -u)" = 0 ] || skip "it needs root to mount a file system image"
for tool in mkfs.ext4 mount umount python3; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
truncate -s 256M disk.img
mkfs.ext4 -q -F disk.img || skip "mkfs.ext4 failed"
mkdir mnt
mount -o loop disk.img mnt 2>/dev/null || skip "no loop device here (a container without /dev/loop*?)"
# The image is unmounted before the scratch folder goes (the later step runs first).
unmount_image() { umount "$work/mnt" 2>/dev/null || umount -l "$work/mnt" 2>/dev/null; }
at_exit unmount_image

# EXT4_IOC_SHUTDOWN is _IOR('X', 125, __u32); EXT4_GOING_FLAGS_NOLOGFLUSH is 2.
cut_power() {
    python3 -c 'import fcntl, os, struct, sys
fd = os.open(sys.argv[1], os.O_RDONLY)
fcntl.ioctl(fd, 0x8004587D, struct.pack("I", 2))' mnt
}
# Another program on the same disk that saves its file every few milliseconds: each of its
# fsync calls commits the journal, so the split's renames and unlinks reach the disk early,
# while bytes the split has not flushed need not (ext4 allocates them late).
start_committer() {
    python3 -c 'import os, sys, time
while True:
    fd = os.open(sys.argv[1], os.O_WRONLY | os.O_CREAT, 0o644)
    try:
        os.write(fd, b"x"); os.fsync(fd)
    except OSError:
        sys.exit(0)
    os.close(fd); time.sleep(0.005)' mnt/other-program.txt 2>/dev/null &
    committer=$!
}
remount() {
    # The committer's last write may still hold the file system for a moment.
    until_ok 50 umount mnt 2>/dev/null || fail "the image could not be unmounted"
    mount -o loop disk.img mnt || { echo "the image could not be mounted again"; exit 1; }
}

"$gen" novel.txt --encoding gbk --chapters 1500 --chapter-bytes 6000 >/dev/null
# setup KIND: the folder before the split, on stable storage (the reader's files are old).
setup() {
    rm -rf mnt/book
    mkdir mnt/book
    if [ "$1" = own ]; then
        cp novel.txt mnt/book/novel_1.txt
    else
        cp novel.txt mnt/book/src.txt
        "$split" --codepage GBK -n 40 -o mnt/book mnt/book/src.txt >/dev/null 2>&1 || fail "the earlier split failed"
    fi
    sync
}
command_of() {
    if [ "$1" = own ]; then
        echo "--codepage GBK -n 10 mnt/book/novel_1.txt"
    else
        echo "--codepage GBK -n 10 --delete-source mnt/book/src.txt"
    fi
}

# How long a split takes here; the cuts fall within it, or right after the split has ended.
setup own
started=$(date +%s%N)
# shellcheck disable=SC2046
"$split" $(command_of own) >/dev/null 2>&1 || fail "the uninterrupted split failed"
span=$((($(date +%s%N) - started) / 1000000))
volumes=$(count_volumes mnt/book)
echo "novel $(stat -c %s novel.txt) bytes, $volumes volumes, a split takes ${span} ms"

# The folder holds the whole novel in its volumes, as a finished split leaves it.
whole() { [ "$(count_volumes mnt/book)" = "$volumes" ] && joined mnt/book | cmp -s - novel.txt; }
seed_random
for i in $(seq 1 "$cuts"); do
    kind=own
    [ $((i % 2)) = 0 ] && kind=delete
    setup "$kind"
    start_committer
    # shellcheck disable=SC2046
    if [ $((i % 3)) = 0 ]; then
        "$split" $(command_of "$kind") >/dev/null 2>&1
        at="the end"
        cut_power
    else
        "$split" $(command_of "$kind") >/dev/null 2>&1 &
        pid=$!
        ms=$((RANDOM * span / 32767))
        at="${ms} ms"
        # Not a wait for something: the moment of the cut, drawn at random within the split.
        sleep "$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000)))"
        cut_power
        wait "$pid" 2>/dev/null
    fi
    kill "$committer" 2>/dev/null
    wait "$committer" 2>/dev/null
    touch mnt/after-the-cut 2>/dev/null && fail "cut $i: the file system still takes writes"
    remount
    state="$(count_volumes mnt/book) volumes, $(($(count_named mnt/book folioknife-new) + $(count_named mnt/book folioknife-old))) temporary files"
    # The same command again, unless the split got to its end (run again, the split of
    # novel_1.txt would find its own volumes and rightly refuse to split the first one): it
    # puts back what the cut split left half done, then splits.
    if { [ "$kind" = own ] && ! whole; } || [ -e mnt/book/src.txt ]; then
        # shellcheck disable=SC2046
        "$split" $(command_of "$kind") >/dev/null 2>err.txt ||
            fail "cut $i ($kind, at $at): the rerun failed: $(cat err.txt)"
    fi
    if whole; then
        echo "cut $i ($kind split, at $at): $state after the cut; then whole"
    else
        fail "cut $i ($kind split, at $at): the novel is lost ($(count_volumes mnt/book) volumes; $(count_named mnt/book folioknife) of our files)"
    fi
    [ "$kind" = delete ] && [ -e mnt/book/src.txt ] && fail "cut $i: the rerun kept its source"
done
finish power-cut
