#include <gtest/gtest.h>

#include "TestText.h"
#include "fakes/FakeFileService.h"
#include "splitter/Messages.h"
#include "splitter/SplitFlow.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using testing::FakeFileService;

struct RecordingSettings : SplitSettings {
    bool custom = false;
    Text expression, pre = "<", suf = ">", perFile = "2", dir = "out", source;
    bool remove = false;
    int dirReads = 0;
    std::vector<std::string> reads;
    bool customMode() override { return reads.push_back("mode"), custom; }
    Text expressionText() override { return reads.push_back("expression"), expression; }
    Text prefix() override { return reads.push_back("prefix"), pre; }
    Text suffix() override { return reads.push_back("suffix"), suf; }
    Text chaptersPerFileText() override { return reads.push_back("perFile"), perFile; }
    Text outputDirectory() override { return reads.push_back("dir"), ++dirReads, dir; }
    bool deleteSource() override { return reads.push_back("delete"), remove; }
    Text sourcePath() override { return source; }
};

struct RecordingBoxes : MessageBoxService {
    std::vector<std::pair<Text, Text>> shown;
    MessageBoxAnswer showMessageBox(const Text& text, const Text& title,
                                    MessageBoxButtons) override {
        shown.emplace_back(text, title);
        return MessageBoxAnswer::Ok;
    }
    std::vector<Text> texts() const {
        std::vector<Text> t;
        for (auto& s : shown) t.push_back(s.first);
        return t;
    }
};

class SplitFlowTest : public ::testing::Test {
protected:
    CodePageScope codePage{"UTF-8"};
    FakeFileService fs;
    RecordingSettings settings;
    RecordingBoxes boxes;
    SourceDocument doc;
    // A preface and five headings <1> .. <5>, with a default expression of prefix "<", suffix ">".
    const std::string novel = "preface\n<1>one\n<2>two\n<3>three\n<4>four\n<5>five\n";

    SplitOutcome split() { return runSplit(doc, settings, fs, boxes); }
    std::string joinedOutputs(const std::string& dir, int count) {
        std::string all;
        for (int k = 1; k <= count; ++k) all += fs.files.at(dir + "/novel_" + std::to_string(k) + ".txt");
        return all;
    }
};

TEST_F(SplitFlowTest, ChecksRunInOrderAndOnlyTheFirstFailureIsReported) {
    struct Case {
        const char* name;
        std::string text;
        bool custom;
        std::string expression, perFile, dir;
        Text message;
    } cases[] = {
        {"no text", "", true, "", "0", "", messages::noDocument()},
        {"empty custom expression", "x", true, "", "0", "", messages::noExpression()},
        {"zero per file", "x", false, "", "0", "", messages::badChaptersPerFile()},
        {"negative", "x", false, "", "-3", "out", messages::badChaptersPerFile()},
        {"not a number", "x", false, "", "abc", "out", messages::badChaptersPerFile()},
        {"empty per file", "x", false, "", "", "out", messages::badChaptersPerFile()},
        {"2^31 wraps negative", "x", false, "", "2147483648", "out", messages::badChaptersPerFile()},
        {"no output folder", "x", false, "", "10abc", "", messages::noOutputDirectory()},
    };
    for (const auto& c : cases) {
        FakeFileService files;
        RecordingBoxes shown;
        RecordingSettings s;
        s.custom = c.custom;
        s.expression = c.expression;
        s.perFile = c.perFile;
        s.dir = c.dir;
        SourceDocument d;
        d.replace(c.text);
        SplitOutcome outcome = runSplit(d, s, files, shown);
        EXPECT_EQ(outcome.status, SplitOutcome::Status::Refused) << c.name;
        EXPECT_EQ(shown.texts(), std::vector<Text>{c.message}) << c.name;
        EXPECT_EQ(shown.shown[0].second, messages::defaultTitle()) << c.name;
        EXPECT_TRUE(files.log.empty()) << c.name << ": nothing created or written";
    }
}

TEST_F(SplitFlowTest, ReadsEachSettingWhenItNeedsIt) {
    doc.replace(novel);
    split();
    // mode, then the default mode's prefix and suffix (never the custom text), the count, the
    // folder for the check, for creating it and once per volume, the delete mark last.
    EXPECT_EQ(settings.reads, (std::vector<std::string>{"mode", "prefix", "suffix", "perFile", "dir",
                                                        "dir", "dir", "dir", "dir", "delete"}));
}

TEST_F(SplitFlowTest, WritesVolumesThatJoinBackToTheNovel) {
    doc.replace(novel);
    SplitOutcome outcome = split();
    EXPECT_EQ(outcome.status, SplitOutcome::Status::Done);
    EXPECT_EQ(outcome.headings, 5);
    EXPECT_EQ(outcome.volumesWritten, 3);  // 6 pieces, 2 per file
    EXPECT_EQ(fs.files.at("out/novel_1.txt"), "preface\n<1>one\n");
    EXPECT_EQ(fs.files.at("out/novel_3.txt"), "<4>four\n<5>five\n");
    EXPECT_EQ(joinedOutputs("out", 3), novel);
    EXPECT_TRUE(fs.directories.count("out"));
    EXPECT_EQ(boxes.texts(), std::vector<Text>{messages::splitDone()});
    EXPECT_FALSE(doc.stream().isOpen());
}

TEST_F(SplitFlowTest, AnInvalidExpressionWritesTheWholeTextAsOneVolume) {
    doc.replace(novel);
    settings.custom = true;
    settings.expression = "<(";
    EXPECT_EQ(split().volumesWritten, 1);
    EXPECT_EQ(fs.files.at("out/novel_1.txt"), novel);
}

TEST_F(SplitFlowTest, ASecondSplitWithoutANewLoadGivesTheSameOutput) {
    doc.replace(novel);
    split();
    auto first = fs.files;
    fs.files.clear();
    EXPECT_EQ(split().status, SplitOutcome::Status::Done);
    EXPECT_EQ(fs.files, first);
}

TEST_F(SplitFlowTest, AnExistingLongerOutputIsReplaced) {
    doc.replace(novel);
    fs.files["out/novel_1.txt"] = std::string(1000, 'x');
    split();
    EXPECT_EQ(fs.files.at("out/novel_1.txt"), "preface\n<1>one\n");
}

TEST_F(SplitFlowTest, AFailedWriteStopsTheSplitAndIsReportedWithItsFileName) {
    struct Case {
        const char* name;
        int failWrite, shortWrite, failClose;
        bool unopenable;
    } cases[] = {
        {"second write fails", 2, 0, 0, false},
        {"short write", 0, 2, 0, false},
        {"close fails", 0, 0, 2, false},
        {"file cannot be created", 0, 0, 0, true},
    };
    for (const auto& c : cases) {
        FakeFileService files;
        files.failWriteNumber = c.failWrite;
        files.shortWriteNumber = c.shortWrite;
        files.failCloseNumber = c.failClose;
        if (c.unopenable) files.unopenable.insert("out/novel_2.txt");
        files.files["novel.txt"] = novel;
        RecordingBoxes shown;
        RecordingSettings s;
        s.remove = true;
        s.source = "novel.txt";
        SourceDocument d;
        ASSERT_TRUE(loadSourceDocument(d, files, "novel.txt"));
        SplitOutcome outcome = runSplit(d, s, files, shown);
        EXPECT_EQ(outcome.status, SplitOutcome::Status::WriteFailed) << c.name;
        EXPECT_EQ(outcome.failedFile, "out/novel_2.txt") << c.name;
        EXPECT_EQ(shown.texts(), std::vector<Text>{messages::writeFailed() + "out/novel_2.txt"})
            << c.name;
        EXPECT_FALSE(files.logged("create out/novel_3.txt")) << c.name << ": stops there";
        EXPECT_FALSE(files.logged("delete")) << c.name;
        EXPECT_EQ(files.files.at("novel.txt"), novel) << c.name;
    }
}

TEST_F(SplitFlowTest, DeletesTheSourceOnlyWhenTheVolumesHoldAllOfIt) {
    struct Case {
        const char* name;
        std::string onDisk;     // the file when it is loaded
        std::string changedTo;  // the file at deletion time, when it changed meanwhile
        std::string path;
        bool deleted;
        bool warned;
    } cases[] = {
        {"complete split", novel, "", "novel.txt", true, false},
        {"NUL inside", novel + std::string("\0<6>tail", 8), "", "novel.txt", true, false},
        {"1A inside", "\x1A" + novel + "\x1A" "tail", "", "novel.txt", true, false},
        {"NUL padding", novel + std::string(64, '\0'), "", "novel.txt", true, false},
        {"changed on disk", novel, novel + "more", "novel.txt", false, true},
        {"no path (command line)", novel, "", "", false, false},
    };
    for (const auto& c : cases) {
        FakeFileService files;
        files.files["novel.txt"] = c.onDisk;
        RecordingBoxes shown;
        RecordingSettings s;
        s.remove = true;
        s.source = c.path;
        SourceDocument d;
        ASSERT_TRUE(loadSourceDocument(d, files, "novel.txt"));
        if (!c.changedTo.empty()) files.files["novel.txt"] = c.changedTo;
        SplitOutcome outcome = runSplit(d, s, files, shown);
        EXPECT_EQ(outcome.status, SplitOutcome::Status::Done) << c.name;
        EXPECT_EQ(files.files.count("novel.txt") == 0, c.deleted) << c.name;
        std::vector<Text> expected{messages::splitDone()};
        if (c.warned) expected.push_back(messages::sourceKept());
        EXPECT_EQ(shown.texts(), expected) << c.name;
    }
}

TEST_F(SplitFlowTest, TheSourceIsKeptWhenItIsOneOfTheOutputs) {
    // The novel sits where its first volume goes: writing that volume replaced it.
    fs.files["out/novel_1.txt"] = novel;
    ASSERT_TRUE(loadSourceDocument(doc, fs, "out/novel_1.txt"));
    settings.remove = true;
    settings.source = "out/novel_1.txt";
    EXPECT_EQ(split().status, SplitOutcome::Status::Done);
    EXPECT_TRUE(fs.files.count("out/novel_1.txt"));
    EXPECT_EQ(joinedOutputs("out", 3), novel);
    EXPECT_EQ(boxes.texts().back(), messages::sourceKept());
}

}  // namespace
}  // namespace folioknife::splitter
