#include <gtest/gtest.h>

#include "fakes/FakeFileService.h"
#include "splitter/SourceDocument.h"

namespace folioknife::splitter {
namespace {
using testing::FakeFileService;

TEST(TextReadRule, StopsBeforeTheFirstNulOr1A) {
    struct Case {
        std::string bytes;
        std::size_t length;
    } cases[] = {
        {std::string("AB\0C", 4), 2}, {"A\x1A" "B", 1}, {"", 0}, {std::string("\0", 1), 0},
        {"\x1A", 0},                 {"ABC", 3},       {std::string("A\x1A\0", 3), 1},
    };
    for (const auto& c : cases) EXPECT_EQ(textReadLength(c.bytes), c.length) << c.bytes;
}

TEST(DocumentStream, ReadsByTheTextReadRuleAndAdvancesByWhatItReturns) {
    auto bytes = std::make_shared<const std::string>(std::string("abc\x1A" "def", 7));
    DocumentStream s = DocumentStream::holding(bytes);
    EXPECT_EQ(s.position(), 7);
    EXPECT_TRUE(s.rewind());
    EXPECT_EQ(s.read(0), "");
    EXPECT_EQ(s.read(-5), "");
    EXPECT_EQ(s.position(), 0);
    EXPECT_EQ(s.read(2), "ab");
    EXPECT_EQ(s.read(10), "c");  // stops before 0x1A, position moves one byte only
    EXPECT_EQ(s.position(), 3);
    EXPECT_TRUE(s.seek(4));
    EXPECT_EQ(s.readRest(), "def");
    EXPECT_EQ(s.readRest(), "");
    EXPECT_TRUE(s.seek(100));
    EXPECT_EQ(s.read(3), "");
    EXPECT_FALSE(s.seek(-1));
}

TEST(DocumentStream, WritingCopiesSoTheSharedTextIsUntouched) {
    auto bytes = std::make_shared<const std::string>("hello");
    DocumentStream s = DocumentStream::holding(bytes);
    s.seek(1);
    s.write("EL");
    s.seek(7);
    s.write("!");
    EXPECT_EQ(*bytes, "hello");
    s.rewind();
    EXPECT_EQ(s.size(), 8);
    EXPECT_EQ(s.read(3), "hEL");
}

TEST(DocumentStream, BytesWrittenIntoACleanTextAreReadByTheRuleAgain) {
    // A loaded text has no stop byte, so reading it skips the search; what is written into
    // it later may have one, before, inside or after the clean part.
    const struct {
        std::int64_t at;
        std::string written;
        std::string readBack;
    } cases[] = {
        {2, "\x1A", "ab"},
        {6, std::string("x\0", 2), "abcdefx"},
        {8, "gh", "abcdef"},  // the gap before what was written is NUL bytes
        {0, "AB", "ABcdef"},
    };
    for (const auto& c : cases) {
        DocumentStream s =
            DocumentStream::holding(std::make_shared<const std::string>("abcdef"), true);
        s.seek(c.at);
        s.write(c.written);
        s.rewind();
        EXPECT_EQ(s.readRest(), c.readBack) << c.at;
    }
}

TEST(DocumentStream, EveryOperationOnAClosedStreamDoesNothing) {
    DocumentStream s = DocumentStream::holding(std::make_shared<const std::string>("text"));
    s.close();
    EXPECT_FALSE(s.isOpen());
    EXPECT_FALSE(s.rewind());
    EXPECT_FALSE(s.seek(0));
    s.write("more");
    EXPECT_EQ(s.read(4), "");
    EXPECT_EQ(s.readRest(), "");
    EXPECT_EQ(s.size(), 0);
}

TEST(LoadSourceDocument, KeepsTheTextUpToTheFirstNulOr1A) {
    FakeFileService fs;
    fs.files["nul.txt"] = std::string("AB\0C", 4);
    fs.files["eof.txt"] = "A\x1A" "B";
    fs.files["empty.txt"] = "";
    fs.files["utf16.txt"] = std::string("\xFF\xFE" "A\0B\0", 6);
    struct Case {
        const char* path;
        bool loaded;
        std::string text;
    } cases[] = {{"nul.txt", true, "AB"},
                 {"eof.txt", true, "A"},
                 {"empty.txt", true, ""},
                 {"utf16.txt", true, "\xFF\xFE" "A"},
                 {"missing.txt", false, ""},
                 {"", false, ""}};
    for (const auto& c : cases) {
        SourceDocument doc;
        doc.replace("previous");
        EXPECT_EQ(loadSourceDocument(doc, fs, c.path), c.loaded) << c.path;
        EXPECT_EQ(doc.text(), c.text) << c.path;
        ASSERT_TRUE(doc.hasStream());
        doc.stream().rewind();
        EXPECT_EQ(doc.stream().readRest(), c.text) << c.path;
    }
}

TEST(LoadSourceDocument, AFileThatOpensButCannotBeReadGivesAnEmptyText) {
    FakeFileService fs;
    fs.files["bad.txt"] = "content";
    fs.unreadable.insert("bad.txt");
    SourceDocument doc;
    EXPECT_TRUE(loadSourceDocument(doc, fs, "bad.txt"));
    EXPECT_EQ(doc.text(), "");
}

TEST(SourceDocument, ReopeningAClosedStreamGivesTheTextAgain) {
    SourceDocument doc;
    doc.replace("chapter");
    doc.stream().close();
    doc.reopenStream();
    doc.stream().rewind();
    EXPECT_EQ(doc.stream().readRest(), "chapter");
}

}  // namespace
}  // namespace folioknife::splitter
