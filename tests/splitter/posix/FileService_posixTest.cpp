// The POSIX file layer on real files.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <gtest/gtest.h>

#include "splitter/FileService.h"
#include "splitter/SourceDocument.h"

namespace folioknife::splitter {
namespace {

TEST(LoadSourceDocument, OpensAReadOnlyFileAndLeavesItAsItWas) {
    char path[] = "/tmp/fk-readonly-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    { std::ofstream(path, std::ios::binary) << "read-only novel"; }
    ASSERT_EQ(chmod(path, 0444), 0);
    SourceDocument doc;
    EXPECT_TRUE(loadSourceDocument(doc, systemFileService(), path));
    EXPECT_EQ(doc.text(), "read-only novel");
    struct stat st;
    ASSERT_EQ(stat(path, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    std::remove(path);
}

TEST(LoadSourceDocument, ADirectoryDoesNotLoad) {
    SourceDocument doc;
    EXPECT_FALSE(loadSourceDocument(doc, systemFileService(), "/tmp"));
}

// A scratch file holding 'bytes', removed at the end of the test.
struct ScratchFile {
    explicit ScratchFile(const std::string& bytes) {
        int fd = mkstemp(path);
        EXPECT_GE(fd, 0);
        ::close(fd);
        std::ofstream(path, std::ios::binary) << bytes;
    }
    ~ScratchFile() { std::remove(path); }
    char path[32] = "/tmp/fk-mapped-XXXXXX";
};

TEST(LoadSourceDocument, AMappedNovelIsTheSameTextAsAReadOne) {
    const std::string big(3 << 20, 'x');
    const struct {
        const char* name;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"plain", "第1章 text\r\n", "第1章 text\r\n"},
        {"a 0x1A inside",
         std::string("before\x1a"
                     "after"),
         std::string("before\x1a"
                     "after")},
        {"a 0x00 inside", std::string("before\0after", 12), std::string("before\0after", 12)},
        {"NUL padding", std::string("text\0\0\0", 7), std::string("text\0\0\0", 7)},
        {"empty", "", ""},
        {"several MiB", big + "end", big + "end"},
    };
    for (const auto& c : cases) {
        ScratchFile file(c.bytes);
        SourceDocument read, mapped;
        EXPECT_TRUE(loadSourceDocument(read, systemFileService(), file.path, Loading::Read));
        EXPECT_TRUE(loadSourceDocument(mapped, systemFileService(), file.path, Loading::Map));
        EXPECT_TRUE(mapped.text() == c.text) << c.name;
        EXPECT_TRUE(read.text() == mapped.text()) << c.name;
        EXPECT_EQ(mapped.encoding().codePage, read.encoding().codePage) << c.name;
    }
}

TEST(LoadSourceDocument, AMappedTextOutlivesTheFileBeingReplaced) {
    ScratchFile file("第1章 the novel as loaded");
    SourceDocument doc;
    ASSERT_TRUE(loadSourceDocument(doc, systemFileService(), file.path, Loading::Map));
    const SharedBytes kept = doc.sharedText();
    // An editor that saves by writing a new file and renaming it over the old one.
    std::string fresh = std::string(file.path) + ".new";
    std::ofstream(fresh, std::ios::binary) << "something else entirely";
    ASSERT_EQ(std::rename(fresh.c_str(), file.path), 0);
    doc.replace(Text("another novel"));
    EXPECT_EQ(kept.view(), "第1章 the novel as loaded");
}

TEST(LoadSourceDocumentDeathTest, AMappedNovelCutShortEndsTheProcessWithItsMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ScratchFile file(std::string(1 << 20, 'x'));
    EXPECT_EXIT(
        {
            exitOnLostMapping("novel.txt was cut short\n", 2);
            SourceDocument doc;
            if (!loadSourceDocument(doc, systemFileService(), file.path, Loading::Map)) _exit(9);
            if (::truncate(file.path, 0) != 0) _exit(8);
            volatile char last = doc.text().back();
            (void)last;
            _exit(0);
        },
        ::testing::ExitedWithCode(2), "novel.txt was cut short");
}

TEST(PosixFileService, AReplacedFileKeepsNoBytesOfItsLongerPredecessor) {
    char path[] = "/tmp/fk-replace-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    { std::ofstream(path, std::ios::binary) << "a much longer old volume"; }
    std::string temporary;
    auto out = systemFileService().createTemporary(std::string(path) + ".new-", temporary);
    ASSERT_TRUE(out);
    EXPECT_TRUE((*out)->write("new"));
    EXPECT_TRUE((*out)->close());
    EXPECT_TRUE(systemFileService().replaceFile(temporary, path));
    std::ifstream in(path, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "new");
    std::remove(path);
}

// A scratch folder, removed with what it holds at the end of the test.
struct ScratchFolder {
    ScratchFolder() { EXPECT_NE(mkdtemp(path), nullptr); }
    ~ScratchFolder() { std::system(("rm -rf " + std::string(path)).c_str()); }
    std::string in(const std::string& name) const { return std::string(path) + "/" + name; }
    char path[32] = "/tmp/fk-files-XXXXXX";
};

void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(PosixFileService, OnlyRegularFilesOpenAndNothingWaitsForAWriter) {
    ScratchFolder dir;
    put(dir.in("novel.txt"), "text");
    ASSERT_EQ(mkfifo(dir.in("fifo").c_str(), 0600), 0);
    ASSERT_EQ(symlink("novel.txt", dir.in("link").c_str()), 0);
    ASSERT_EQ(symlink("fifo", dir.in("link-to-fifo").c_str()), 0);
    const struct {
        std::string path;
        FileKind kind;
        bool opens;
    } cases[] = {
        {dir.in("novel.txt"), FileKind::Regular, true},
        {dir.in("link"), FileKind::Regular, true},
        {dir.in("fifo"), FileKind::Other, false},
        {dir.in("link-to-fifo"), FileKind::Other, false},
        {"/dev/zero", FileKind::Other, false},
        {dir.path, FileKind::Directory, false},
        {dir.in("missing"), FileKind::Missing, false},
    };
    FileService& files = systemFileService();
    for (const auto& c : cases) {
        EXPECT_EQ(files.kindOf(c.path), c.kind) << c.path;
        const auto opened = files.openForReading(c.path);
        EXPECT_EQ(static_cast<bool>(opened), c.opens) << c.path;
        if (!c.opens) {
            EXPECT_FALSE(opened.error().reason.empty()) << c.path;
        }
        SourceDocument doc;
        EXPECT_EQ(static_cast<bool>(loadSourceDocument(doc, files, c.path)), c.opens) << c.path;
    }
}

TEST(PosixFileService, ARenameReplacesTheNameNotWhatItLinksTo) {
    ScratchFolder dir;
    FileService& files = systemFileService();
    put(dir.in("target"), "someone else's");
    ASSERT_EQ(symlink(dir.in("target").c_str(), dir.in("novel_1.txt").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", dir.in("novel_2.txt").c_str()), 0);
    ASSERT_EQ(mkdir(dir.in("novel_3.txt").c_str(), 0700), 0);
    for (const char* name : {"novel_1.txt", "novel_2.txt"}) {
        std::string temporary;
        auto out = files.createTemporary(dir.in(name) + ".new-", temporary);
        ASSERT_TRUE(out);
        ASSERT_TRUE((*out)->write(name));
        ASSERT_TRUE((*out)->close());
        EXPECT_TRUE(files.replaceFile(temporary, dir.in(name))) << name;
        struct stat st;
        ASSERT_EQ(lstat(dir.in(name).c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode)) << name;
        EXPECT_EQ(get(dir.in(name)), name);
    }
    EXPECT_EQ(get(dir.in("target")), "someone else's");
    std::string temporary;
    EXPECT_TRUE((*files.createTemporary(dir.in("x"), temporary))->close());
    const FileStatus renamed = files.replaceFile(temporary, dir.in("novel_3.txt"));
    ASSERT_FALSE(renamed);
    EXPECT_EQ(renamed.error().reason, "Is a directory");
}

TEST(PosixFileService, LinksAndOtherSpellingsAreTheSameFile) {
    ScratchFolder dir;
    FileService& files = systemFileService();
    put(dir.in("a"), "x");
    put(dir.in("b"), "x");
    ASSERT_EQ(link(dir.in("a").c_str(), dir.in("hard").c_str()), 0);
    ASSERT_EQ(symlink("a", dir.in("soft").c_str()), 0);
    const auto a = files.identify(dir.in("a")).ok();
    ASSERT_TRUE(a);
    const auto id = [&](const std::string& path) { return files.identify(path).ok(); };
    EXPECT_EQ(id(dir.in("hard")), a);
    EXPECT_EQ(id(dir.in("soft")), a);
    EXPECT_EQ(id(std::string(dir.path) + "/./b/../a"), std::nullopt);  // b is no folder
    EXPECT_EQ(id(std::string(dir.path) + "//./a"), a);
    EXPECT_NE(id(dir.in("b")), a);
    EXPECT_FALSE(id(dir.in("missing")));
}

TEST(PosixFileService, AFolderLockIsHeldAgainstEveryOtherTakerUntilItIsLetGo) {
    ScratchFolder dir;
    FileService& files = systemFileService();
    auto first = files.lockFolder(dir.path, 0);
    ASSERT_TRUE(first);
    // Another spelling of the same folder is the same lock.
    const auto second = files.lockFolder(std::string(dir.path) + "/.", 100);
    ASSERT_FALSE(second);
    EXPECT_EQ(second.error().kind, FileErrorKind::Busy);
    first->reset();
    EXPECT_TRUE(files.lockFolder(dir.path, 0));
    const auto missing = files.lockFolder(dir.in("missing"), 0);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, FileErrorKind::NotFound);
}

// The lock file a split makes carries the header of ours and goes with the lock; a file of
// that name that was there before (someone's own, a novel) is locked, never written to and
// never removed.
TEST(PosixFileService, OnlyALockFileOfOursGoesWithTheLock) {
    ScratchFolder dir;
    FileService& files = systemFileService();
    const std::string name = dir.in(kLockFileName);
    {
        auto lock = files.lockFolder(dir.path, 0);
        ASSERT_TRUE(lock);
        EXPECT_EQ(get(name).rfind(kLockFileHeader, 0), 0u);
    }
    EXPECT_EQ(files.entryKind(name), FileKind::Missing);
    for (const std::string& before : {std::string("第一章 a novel"), std::string()}) {
        put(name, before);
        {
            auto lock = files.lockFolder(dir.path, 0);
            ASSERT_TRUE(lock);
            const auto again = files.lockFolder(dir.path, 0);
            ASSERT_FALSE(again);
            EXPECT_EQ(again.error().kind, FileErrorKind::Busy);
        }
        EXPECT_EQ(get(name), before);
    }
}

TEST(PosixFileService, FlushingNeverWaitsOnAFifo) {
    ScratchFolder dir;
    ASSERT_EQ(mkfifo(dir.in("fifo").c_str(), 0600), 0);
    put(dir.in("file"), "x");
    FileService& files = systemFileService();
    EXPECT_TRUE(files.flushFiles({dir.in("file"), dir.in("file")}));
    // Whatever it says, it returns.
    static_cast<void>(files.flushFiles({dir.in("fifo")}));
    EXPECT_TRUE(files.flushFolder(dir.path));
    const FileStatus flushed = files.flushFiles({dir.in("file"), dir.in("missing")});
    ASSERT_FALSE(flushed);
    EXPECT_EQ(flushed.error().reason, "No such file or directory");
}

// Each failure says which call failed on which path, with the system's code and its words.
TEST(PosixFileService, AFailureIsAValueWithItsOperationPathCodeAndReason) {
    ScratchFolder dir;
    put(dir.in("file"), "x");
    FileService& files = systemFileService();
    std::string made;
    const std::string missing = dir.in("missing"), file = dir.in("file"), inFile = file + "/x";
    const struct {
        const char* call;
        FileStatus status;
        FileOperation operation;
        std::string path;
        int code;
        FileErrorKind kind;
    } cases[] = {
        {"open", FileStatus(files.openForReading(missing).error()), FileOperation::Open, missing,
         ENOENT, FileErrorKind::NotFound},
        {"open a folder", FileStatus(files.openForReading(dir.path).error()), FileOperation::Open,
         dir.path, EISDIR, FileErrorKind::Other},
        {"create", FileStatus(files.createTemporary(inFile, made).error()), FileOperation::Create,
         "", ENOTDIR, FileErrorKind::Other},
        {"rename", files.replaceFile(missing, dir.in("to")), FileOperation::Rename, dir.in("to"),
         ENOENT, FileErrorKind::NotFound},
        {"mkdir", files.createDirectory(file), FileOperation::CreateFolder, file, EEXIST,
         FileErrorKind::Exists},
        {"delete", files.deleteFile(missing), FileOperation::Delete, missing, ENOENT,
         FileErrorKind::NotFound},
        {"identify", FileStatus(files.identify(missing).error()), FileOperation::Identify, missing,
         ENOENT, FileErrorKind::NotFound},
        {"flush", files.flushFolder(missing), FileOperation::Flush, missing, ENOENT,
         FileErrorKind::NotFound},
        {"lock", FileStatus(files.lockFolder(missing, 0).error()), FileOperation::Lock, missing,
         ENOENT, FileErrorKind::NotFound},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.status) << c.call;
        const FileError& e = c.status.error();
        EXPECT_EQ(e.operation, c.operation) << c.call;
        // A temporary name ends in characters of its own.
        if (c.operation == FileOperation::Create) {
            EXPECT_EQ(e.path.rfind(inFile, 0), 0u) << c.call;
        } else {
            EXPECT_EQ(e.path, c.path) << c.call;
        }
        EXPECT_EQ(e.code, c.code) << c.call;
        EXPECT_EQ(e.kind, c.kind) << c.call;
        EXPECT_EQ(e.reason, std::strerror(c.code)) << c.call;
    }
}

// Few files are deleted in turn, many by several threads: either way each result stands at
// its own path's place, and a failure names that path with its own code.
TEST(PosixFileService, DeletingManyFilesGivesEachPathItsOwnResult) {
    for (const int count : {5, 700}) {
        ScratchFolder dir;
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(dir.in("f" + std::to_string(i)));
            if (i % 7 == 3) continue;  // missing
            if (i % 7 == 5) {
                ASSERT_EQ(::mkdir(paths.back().c_str(), 0700), 0);
            } else {
                put(paths.back(), "volume");
            }
        }
        paths.push_back("");
        const std::vector<FileStatus> results = systemFileService().deleteFiles(paths);
        ASSERT_EQ(results.size(), paths.size()) << count;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            const int code = paths[i].empty() ? 0 : i % 7 == 3 ? ENOENT : i % 7 == 5 ? EISDIR : -1;
            ASSERT_EQ(!results[i], code != -1) << count << " " << i;
            if (code == -1) {
                EXPECT_NE(::access(paths[i].c_str(), F_OK), 0) << paths[i];
                continue;
            }
            EXPECT_EQ(results[i].error().operation, FileOperation::Delete);
            EXPECT_EQ(results[i].error().path, paths[i]);
            EXPECT_EQ(results[i].error().code, code) << paths[i];
        }
    }
}

TEST(PosixFileService, AReadFailureNamesTheFileItWasOpenedAs) {
    FileService& files = systemFileService();
    // /proc/self/mem opens as a regular file, but reading its first page fails.
    auto mem = files.openForReading("/proc/self/mem");
    ASSERT_TRUE(mem);
    char buffer[16];
    const Expected<std::size_t> n = (*mem)->read(buffer, sizeof buffer);
    ASSERT_FALSE(n);
    EXPECT_EQ(n.error().operation, FileOperation::Read);
    EXPECT_EQ(n.error().path, "/proc/self/mem");
    EXPECT_EQ(n.error().code, EIO);
    EXPECT_EQ(n.error().reason, std::strerror(EIO));
}

}  // namespace
}  // namespace folioknife::splitter
