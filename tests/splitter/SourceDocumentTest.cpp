#include <gtest/gtest.h>

#include "fakes/FakeFileService.h"
#include "splitter/SourceDocument.h"

namespace folioknife::splitter {
namespace {
using testing::FakeFileService;

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

}  // namespace
}  // namespace folioknife::splitter
