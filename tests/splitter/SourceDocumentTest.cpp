#include <gtest/gtest.h>

#include "fakes/FakeFileService.h"
#include "splitter/SourceDocument.h"

namespace folioknife::splitter {
namespace {
using testing::FakeFileService;

TEST(DocumentStream, ReadsEveryByteAndAdvancesByWhatItReturns) {
    auto bytes =
        std::make_shared<const std::string>(std::string("abc\x1A"
                                                        "def",
                                                        7));
    DocumentStream s = DocumentStream::holding(bytes);
    EXPECT_EQ(s.position(), 7);
    EXPECT_TRUE(s.rewind());
    EXPECT_EQ(s.readView(0), "");
    EXPECT_EQ(s.readView(-5), "");
    EXPECT_EQ(s.position(), 0);
    EXPECT_EQ(s.readView(2), "ab");
    EXPECT_EQ(s.readView(3), std::string("c\x1A"
                                         "d",
                                         3));  // 0x1A is a byte like any other
    EXPECT_EQ(s.position(), 5);
    EXPECT_EQ(s.readView(10), "ef");  // what is left, not what was asked for
    EXPECT_EQ(s.position(), 7);
    EXPECT_TRUE(s.seek(4));
    EXPECT_EQ(s.readRestView(), "def");
    EXPECT_EQ(s.readRestView(), "");
    EXPECT_TRUE(s.seek(100));
    EXPECT_EQ(s.readView(3), "");
    EXPECT_FALSE(s.seek(-1));
}

TEST(DocumentStream, EveryOperationOnAClosedStreamDoesNothing) {
    DocumentStream s = DocumentStream::holding(std::make_shared<const std::string>("text"));
    s.close();
    EXPECT_FALSE(s.isOpen());
    EXPECT_FALSE(s.rewind());
    EXPECT_FALSE(s.seek(0));
    EXPECT_EQ(s.readView(4), "");
    EXPECT_EQ(s.readRestView(), "");
    EXPECT_EQ(s.size(), 0);
}

TEST(LoadSourceDocument, TheWholeFileIsTheText) {
    FakeFileService fs;
    fs.files["nul.txt"] = std::string("AB\0C", 4);
    fs.files["eof.txt"] =
        "A\x1A"
        "B";
    fs.files["empty.txt"] = "";
    fs.files["utf16.txt"] = std::string(
        "\xFF\xFE"
        "A\0B\0",
        6);
    fs.files["padded.txt"] = std::string("text\0\0\0\0", 8);
    struct Case {
        const char* path;
        bool loaded;
        std::string text;
    } cases[] = {{"nul.txt", true, std::string("AB\0C", 4)},
                 {"eof.txt", true,
                  "A\x1A"
                  "B"},
                 {"empty.txt", true, ""},
                 {"utf16.txt", true,
                  std::string("\xFF\xFE"
                              "A\0B\0",
                              6)},
                 {"padded.txt", true, std::string("text\0\0\0\0", 8)},
                 {"missing.txt", false, ""},
                 {"", false, ""}};
    for (const auto& c : cases) {
        SourceDocument doc;
        doc.replace("previous");
        EXPECT_EQ(static_cast<bool>(loadSourceDocument(doc, fs, c.path)), c.loaded) << c.path;
        EXPECT_TRUE(doc.text() == c.text) << c.path;
        ASSERT_TRUE(doc.stream().isOpen());
        doc.stream().rewind();
        EXPECT_TRUE(doc.stream().readRestView() == c.text) << c.path;
    }
}

TEST(LoadSourceDocument, AFileThatOpensButCannotBeReadIsAFailedLoadWithItsReason) {
    FakeFileService fs;
    fs.files["bad.txt"] = "content";
    fs.unreadable.insert("bad.txt");
    SourceDocument doc;
    doc.replace("earlier");
    const FileStatus loaded = loadSourceDocument(doc, fs, "bad.txt");
    ASSERT_FALSE(loaded);
    EXPECT_EQ(doc.text(), "");
    EXPECT_EQ(loaded.error().reason, "cannot read");
}

TEST(SourceDocument, ReopeningAClosedStreamGivesTheTextAgain) {
    SourceDocument doc;
    doc.replace("chapter");
    doc.stream().close();
    doc.reopenStream();
    doc.stream().rewind();
    EXPECT_EQ(doc.stream().readRestView(), "chapter");
}

}  // namespace
}  // namespace folioknife::splitter
