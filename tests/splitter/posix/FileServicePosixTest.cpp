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
