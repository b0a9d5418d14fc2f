// The POSIX file layer on real files.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
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
        {"a 0x1A inside", std::string("before\x1a" "after"), std::string("before\x1a" "after")},
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
        EXPECT_EQ(mapped.stream().size(), static_cast<std::int64_t>(c.text.size())) << c.name;
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
    auto out = systemFileService().createReplacing(path);
    ASSERT_TRUE(out);
    EXPECT_TRUE(out->write("new"));
    EXPECT_TRUE(out->close());
    std::ifstream in(path, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "new");
    std::remove(path);
}

}  // namespace
}  // namespace folioknife::splitter
