#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <regex>

#include "TestText.h"
#include "fakes/FakeFileService.h"
#include "splitter/Messages.h"
#include "splitter/SplitFlow.h"
#include "splitter/VolumeFiles.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using testing::FakeFileService;
using testing::Killed;

struct RecordingSettings : SplitSettings {
    bool custom = false;
    Text expression, pre = "<", suf = ">", perFile = "2", dir = "out", source, pattern;
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
    Text volumeNamePattern() override { return pattern; }
    std::string to;
    std::string volumeEncoding() override { return to; }
};

// Reports are recorded; questions (the only ones: whether to replace volumes found in the
// folder) are recorded apart and answered with 'answer'.
struct RecordingBoxes : MessageBoxService {
    std::vector<std::pair<Text, Text>> shown;
    std::vector<Text> questions;
    MessageBoxAnswer answer = MessageBoxAnswer::Yes;
    MessageBoxAnswer manyAnswer = MessageBoxAnswer::No;  // whether to write a thousand files
    MessageBoxAnswer showMessageBox(const Text& text, const Text& title,
                                    MessageBoxButtons buttons) override {
        if (buttons == MessageBoxButtons::YesNoDefaultNo) {
            questions.push_back(text);
            // Two questions: whether to write a thousand files, whether to replace volumes.
            return text.find(programText("个文件（")) != Text::npos ? manyAnswer : answer;
        }
        shown.emplace_back(text, title);
        return MessageBoxAnswer::Ok;
    }
    std::vector<Text> texts() const {
        std::vector<Text> t;
        for (auto& s : shown) t.push_back(s.first);
        return t;
    }
};

// What the outcome says the user was told, in the order of the boxes: the front ends that
// report after the split print these.
std::vector<Text> toldByOutcome(const SplitOutcome& o) {
    std::vector<Text> told;
    if (o.status == SplitOutcome::Status::Done) told.push_back(chineseText(MessageId::SplitDone));
    for (const auto& m : {o.failure, o.notRestored})
        if (m) told.push_back(chineseText(*m));
    for (const Message& m : o.notes) told.push_back(chineseText(m));
    if (o.sourceKept) told.push_back(chineseText(*o.sourceKept));
    return told;
}

// A novel and the settings of one split whose expression fails or finds no heading, and the
// boxes it shows: a split that runs shows 分割成功 first and writes the one volume.
struct ExpressionCase {
    const char* name;
    std::string text;
    const char* expression;  // the custom mode's; none: the default mode
    Text pre, suf, perFile;
    std::vector<Text> shown;
};

// An output folder before a re-split of the novel, and which volumes the re-split replaced.
struct InPlaceCase {
    const char* name;
    std::map<std::string, std::string> before;
    bool link;
    std::string unflushable;
    std::vector<std::string> changed;  // the names renamed into place
    SplitOutcome::Status status;
};

using Files = std::map<std::string, std::string>;

// Files in the output folder before a split, the answer to the question about them and
// whether the split wrote.
struct ReplaceCase {
    const char* name;
    Files before;
    MessageBoxAnswer answer;
    Text question;  // empty: none asked
    bool written;
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

    SplitOutcome split() { return runSplit(doc, settings, fs, boxes, PathStyle::Posix); }
    std::string joinedOutputs(const std::string& dir, int count) {
        std::string all;
        for (int k = 1; k <= count; ++k)
            all += fs.files.at(dir + "/novel_" + std::to_string(k) + ".txt");
        return all;
    }
    void checkExpressionCase(const ExpressionCase& c) {
        SCOPED_TRACE(c.name);
        fs.files.clear();
        fs.directories.clear();
        boxes.shown.clear();
        doc.replace(c.text);
        settings.custom = c.expression != nullptr;
        settings.expression = c.expression ? c.expression : "";
        settings.pre = c.pre;
        settings.suf = c.suf;
        settings.perFile = c.perFile;
        const bool written = c.shown.front() == chineseText(MessageId::SplitDone);
        const SplitOutcome outcome = split();
        EXPECT_EQ(outcome.status,
                  written ? SplitOutcome::Status::Done : SplitOutcome::Status::Refused);
        if (c.shown.front() == chineseText({MessageId::InvalidExpression, {""}})) {
            // The engine's own words follow; they are its to choose.
            ASSERT_EQ(boxes.shown.size(), 1u);
            EXPECT_EQ(boxes.shown[0].first.rfind(c.shown.front(), 0), 0u);
            EXPECT_GT(boxes.shown[0].first.size(), c.shown.front().size() + 5);
        } else {
            EXPECT_EQ(boxes.texts(), c.shown);
        }
        if (written) {
            EXPECT_EQ(fs.files.at("out/novel_1.txt"), c.text);
            EXPECT_EQ(fs.files.size(), 1u);
        } else {
            EXPECT_TRUE(fs.files.empty());
            EXPECT_TRUE(fs.directories.empty());
        }
    }
    void checkInPlaceCase(const InPlaceCase& c) {
        SCOPED_TRACE(c.name);
        FakeFileService files;
        files.files = c.before;
        files.files["novel.txt"] = novel;
        files.directories.insert("out");
        if (c.link) {
            files.files["elsewhere.txt"] = "<4>four\n<5>five\n";  // the third volume's bytes
            files.links["out/novel_3.txt"] = "elsewhere.txt";
        }
        if (!c.unflushable.empty()) files.unflushable.insert(c.unflushable);
        RecordingSettings s;
        s.remove = true;
        s.source = "novel.txt";
        SourceDocument d;
        ASSERT_TRUE(loadSourceDocument(d, files, "novel.txt"));
        RecordingBoxes shown;
        EXPECT_EQ(runSplit(d, s, files, shown, PathStyle::Posix).status, c.status);
        std::vector<std::string> placed;
        for (const std::string& line : files.log) {
            const std::string to = line.substr(line.rfind(' ') + 1);
            if (line.rfind("rename ", 0) == 0 &&
                line.find(".folioknife-new-") != std::string::npos &&
                to.find(".folioknife-") == std::string::npos)
                placed.push_back(to);
        }
        EXPECT_EQ(placed, c.changed);
        if (c.status == SplitOutcome::Status::Done) {
            EXPECT_EQ(files.files.at("out/novel_1.txt") + files.files.at("out/novel_2.txt") +
                          files.files.at("out/novel_3.txt"),
                      novel);
            EXPECT_FALSE(files.links.count("out/novel_3.txt"));
            EXPECT_TRUE(files.logged("flush out/novel_1.txt"));
            EXPECT_FALSE(files.files.count("novel.txt")) << "the source is deleted";
        } else {
            EXPECT_EQ(shown.texts().back(),
                      chineseText({MessageId::WriteFailed, {"out/novel_2.txt"}, "cannot flush"}));
            EXPECT_EQ(files.files.at("novel.txt"), novel);
        }
        EXPECT_TRUE(files.namesWith(".folioknife-").empty());
    }
    void checkReplaceCase(const ReplaceCase& c) {
        SCOPED_TRACE(c.name);
        FakeFileService files;
        files.files = c.before;
        RecordingBoxes shown;
        shown.answer = c.answer;
        settings.perFile = "1";  // six volumes
        doc.replace(novel);
        const SplitOutcome outcome = runSplit(doc, settings, files, shown, PathStyle::Posix);
        EXPECT_EQ(shown.questions,
                  c.question.empty() ? std::vector<Text>{} : std::vector<Text>{c.question});
        if (!c.written) {
            EXPECT_EQ(outcome.status, SplitOutcome::Status::Declined);
            EXPECT_EQ(files.files, c.before);
            EXPECT_TRUE(shown.shown.empty());
            return;
        }
        EXPECT_EQ(outcome.status, SplitOutcome::Status::Done);
        // The folder holds this split only, and whatever is no volume.
        Files expected;
        const std::regex volume("out/novel_[1-9][0-9]*\\.txt");
        for (const auto& f : c.before)
            if (!std::regex_match(f.first, volume)) expected.insert(f);
        std::string joined;
        for (int k = 1; k <= 6; ++k) {
            const std::string name = "out/novel_" + std::to_string(k) + ".txt";
            expected[name] = files.files[name];
            joined += files.files[name];
        }
        EXPECT_EQ(files.files, expected);
        EXPECT_EQ(joined, novel);
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
        {"no text", "", true, "", "0", "", chineseText(MessageId::NoDocument)},
        {"empty custom expression", "x", true, "", "0", "", chineseText(MessageId::NoExpression)},
        {"zero per file", "x", false, "", "0", "", chineseText(MessageId::BadChaptersPerFile)},
        {"negative", "x", false, "", "-3", "out", chineseText(MessageId::BadChaptersPerFile)},
        {"not a number", "x", false, "", "abc", "out", chineseText(MessageId::BadChaptersPerFile)},
        {"empty per file", "x", false, "", "", "out", chineseText(MessageId::BadChaptersPerFile)},
        {"2^31 wraps negative", "x", false, "", "2147483648", "out",
         chineseText(MessageId::BadChaptersPerFile)},
        {"no output folder", "x", false, "", "10abc", "",
         chineseText(MessageId::NoOutputDirectory)},
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
        SplitOutcome outcome = runSplit(d, s, files, shown, PathStyle::Posix);
        EXPECT_EQ(outcome.status, SplitOutcome::Status::Refused) << c.name;
        EXPECT_EQ(shown.texts(), std::vector<Text>{c.message}) << c.name;
        EXPECT_EQ(toldByOutcome(outcome), shown.texts()) << c.name;
        EXPECT_EQ(shown.shown[0].second, defaultTitle()) << c.name;
        EXPECT_TRUE(files.log.empty()) << c.name << ": nothing created or written";
    }
}

TEST_F(SplitFlowTest, ReadsEachSettingWhenItNeedsIt) {
    doc.replace(novel);
    EXPECT_EQ(split().status, SplitOutcome::Status::Done);
    // mode, then the default mode's prefix and suffix (never the custom text), the count, the
    // folder for the check, for creating it and once per volume, the delete mark before the
    // volumes are written (they are flushed for a deletion) and last.
    EXPECT_EQ(settings.reads,
              (std::vector<std::string>{"mode", "prefix", "suffix", "perFile", "dir", "dir", "dir",
                                        "dir", "dir", "delete", "delete"}));
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
    EXPECT_EQ(boxes.texts(), std::vector<Text>{chineseText(MessageId::SplitDone)});
}

// Failures of the expression stop the split before anything is written; a split that finds
// no heading writes its one volume and says so.
TEST_F(SplitFlowTest, ExpressionFailuresAndMissingHeadingsAreReported) {
    const std::string noHeadings = "preface\nno chapters here\n";
    const std::string huis = "序\n第一回 甲\n第二回 乙\n第三回 丙\n第一节\n";
    const std::string runaway(3000, 'a');
    const Text invalid = chineseText({MessageId::InvalidExpression, {""}});
    const std::vector<Text> oneVolume{chineseText(MessageId::SplitDone),
                                      chineseText(MessageId::NoHeadings)};
    // A split that runs shows 分割成功 first and writes the one volume; a refused one, nothing.
    const ExpressionCase cases[] = {
        {"unbalanced parenthesis", novel, "<(", "", "", "2", {invalid}},
        {"checked before chapters per file", novel, "*", "", "", "0", {invalid}},
        {"a prefix that breaks the default expression", novel, nullptr, "(", "", "2", {invalid}},
        {"engine gives up",
         runaway,
         "(a*)*(b|c)",
         "",
         "",
         "2",
         {chineseText(MessageId::TooComplex)}},
        {"no heading, custom", noHeadings, "^Chapter", "", "", "2", oneVolume},
        {"no heading, no other suffix helps", noHeadings, nullptr, "第", "章", "2", oneVolume},
        {"回 finds three, too close together to be taken instead", huis, nullptr, "第", "章", "2",
         oneVolume},
    };
    for (const ExpressionCase& c : cases) checkExpressionCase(c);
}

TEST_F(SplitFlowTest, ASecondSplitWithoutANewLoadGivesTheSameOutput) {
    doc.replace(novel);
    EXPECT_EQ(split().status, SplitOutcome::Status::Done);
    auto first = fs.files;
    fs.files.clear();
    EXPECT_EQ(split().status, SplitOutcome::Status::Done);
    EXPECT_EQ(fs.files, first);
}

// A re-split finds most volumes holding their bytes already: those are left as they are (no
// temporary, no set-aside, no rename), the others replaced; a link is still replaced, and
// what stands in for a deleted source is flushed, its failure said as a failed write.
TEST_F(SplitFlowTest, AVolumeThatHoldsItsBytesAlreadyIsLeftAsItIs) {
    const std::string v1 = "preface\n<1>one\n", v2 = "<2>two\n<3>three\n",
                      v3 = "<4>four\n<5>five\n";
    const InPlaceCase cases[] = {
        {"all in place",
         {{"out/novel_1.txt", v1}, {"out/novel_2.txt", v2}, {"out/novel_3.txt", v3}},
         false,
         "",
         {},
         SplitOutcome::Status::Done},
        {"one changed, one missing",
         {{"out/novel_1.txt", v1}, {"out/novel_2.txt", v2 + "x"}},
         false,
         "",
         {"out/novel_2.txt", "out/novel_3.txt"},
         SplitOutcome::Status::Done},
        {"a link with the same bytes",
         {{"out/novel_1.txt", v1}, {"out/novel_2.txt", v2}, {"out/novel_3.txt", ""}},
         true,
         "",
         {"out/novel_3.txt"},
         SplitOutcome::Status::Done},
        {"a flush of one left in place fails",
         {{"out/novel_1.txt", v1}, {"out/novel_2.txt", v2}, {"out/novel_3.txt", v3}},
         false,
         "out/novel_2.txt",
         {},
         SplitOutcome::Status::WriteFailed},
    };
    for (const InPlaceCase& c : cases) checkInPlaceCase(c);
}

// A folder made for one novel of several is marked as one of volumes, with the volumes; a
// folder that was there already, or a split of one novel, gets no mark.
TEST_F(SplitFlowTest, AFolderMadeForOneNovelOfSeveralIsMarked) {
    struct Marking : RecordingSettings {
        bool mark = false;
        bool markNewFolder() override { return mark; }
    };
    for (const bool mark : {false, true}) {
        for (const bool existed : {false, true}) {
            SCOPED_TRACE(std::to_string(mark) + std::to_string(existed));
            FakeFileService files;
            if (existed) files.directories.insert("out");
            Marking s;
            s.mark = mark;
            doc.replace(novel);
            ASSERT_EQ(runSplit(doc, s, files, boxes, PathStyle::Posix).status,
                      SplitOutcome::Status::Done);
            EXPECT_EQ(holdsFolderMark(files, PathStyle::Posix, "out"), mark && !existed);
            EXPECT_EQ(files.files.size(), mark && !existed ? 4u : 3u);
        }
    }
    FakeFileService files;
    files.files["out/.folioknife-volumes"] = "someone's file";
    EXPECT_FALSE(holdsFolderMark(files, PathStyle::Posix, "out"));
}

TEST_F(SplitFlowTest, AnExistingLongerOutputIsReplaced) {
    doc.replace(novel);
    fs.files["out/novel_1.txt"] = std::string(1000, 'x');
    EXPECT_EQ(split().status, SplitOutcome::Status::Done);
    EXPECT_EQ(fs.files.at("out/novel_1.txt"), "preface\n<1>one\n");
}

// Volumes already in the folder are replaced unasked only when they are an earlier split of
// this very novel; otherwise the user is asked, and 否 writes nothing.
TEST_F(SplitFlowTest, VolumesOfAnotherNovelAreReplacedOnlyWhenTheUserSaysSo) {
    const std::string v1 = "preface\n<1>one\n<2>two\n<3>three\n", v2 = "<4>four\n<5>five\n";
    const ReplaceCase cases[] = {
        {"an earlier split of this novel",
         {{"out/novel_1.txt", v1}, {"out/novel_2.txt", v2}},
         MessageBoxAnswer::No,
         "",
         true},
        {"the novel itself as novel_1.txt",
         {{"out/novel_1.txt", novel}},
         MessageBoxAnswer::No,
         "",
         true},
        {"another novel, 否",
         {{"out/novel_1.txt", "a"}, {"out/novel_2.txt", "b"}},
         MessageBoxAnswer::No,
         chineseText({MessageId::ReplaceOtherVolumes, {"novel_1.txt, novel_2.txt", "2"}}),
         false},
        {"another novel, 是",
         {{"out/novel_1.txt", "a"}, {"out/novel_12.txt", "b"}},
         MessageBoxAnswer::Yes,
         chineseText({MessageId::ReplaceOtherVolumes, {"novel_1.txt, novel_12.txt", "2"}}),
         true},
        // Only the file that is no part of the earlier split is named.
        {"this novel with one more volume",
         {{"out/novel_1.txt", v1}, {"out/novel_2.txt", v2}, {"out/novel_3.txt", "x"}},
         MessageBoxAnswer::No,
         chineseText({MessageId::ReplaceOtherVolumes, {"novel_3.txt", "1"}}),
         false},
        {"this novel with a gap",
         {{"out/novel_2.txt", v1}, {"out/novel_3.txt", v2}},
         MessageBoxAnswer::No,
         chineseText({MessageId::ReplaceOtherVolumes, {"novel_2.txt, novel_3.txt", "2"}}),
         false},
        {"the box closed without an answer",
         {{"out/novel_9.txt", "z"}},
         MessageBoxAnswer::None,
         chineseText({MessageId::ReplaceOtherVolumes, {"novel_9.txt", "1"}}),
         false},
        {"other names are no volumes",
         {{"out/novel_01.txt", "x"}, {"out/novel_1.txt.bak", "x"}, {"out/Novel_1.txt", "x"}},
         MessageBoxAnswer::No,
         "",
         true},
    };
    for (const ReplaceCase& c : cases) checkReplaceCase(c);
}

TEST_F(SplitFlowTest, AFailedWriteLeavesTheFolderAsItWasAndSaysWhy) {
    struct Case {
        const char* name;
        int failWrite, shortWrite, failClose;
        const char* unopenable;
        const char* irreplaceable;
        const char* folderAtName;
        const char* reason;
    } cases[] = {
        // The split's record is the first file written and closed.
        {"second volume's write fails", 3, 0, 0, "", "", "", "write failed"},
        {"short write (disk full)", 0, 3, 0, "", "", "", "no space left"},
        {"close fails", 0, 0, 3, "", "", "", "close failed"},
        {"file cannot be created", 0, 0, 0, "out/novel_2.txt", "", "", "cannot create"},
        {"rename into place fails", 0, 0, 0, "", "out/novel_2.txt", "", "cannot rename"},
        {"the name is a folder", 0, 0, 0, "", "", "out/novel_2.txt", "cannot rename"},
    };
    for (const auto& c : cases) {
        FakeFileService files;
        files.failWriteNumber = c.failWrite;
        files.shortWriteNumber = c.shortWrite;
        files.failCloseNumber = c.failClose;
        if (*c.unopenable) files.unopenable.insert(c.unopenable);
        if (*c.irreplaceable) files.irreplaceable.insert(c.irreplaceable);
        if (*c.folderAtName) files.directories.insert(c.folderAtName);
        files.files["novel.txt"] = novel;
        files.files["out/novel_1.txt"] = "an older volume";  // keeps its bytes
        RecordingBoxes shown;
        RecordingSettings s;
        s.remove = true;
        s.source = "novel.txt";
        SourceDocument d;
        ASSERT_TRUE(loadSourceDocument(d, files, "novel.txt"));
        SplitOutcome outcome = runSplit(d, s, files, shown, PathStyle::Posix);
        EXPECT_EQ(outcome.status, SplitOutcome::Status::WriteFailed) << c.name;
        EXPECT_EQ(outcome.failedFile, "out/novel_2.txt") << c.name;
        EXPECT_EQ(
            shown.texts(),
            std::vector<Text>{chineseText({MessageId::WriteFailed, {"out/novel_2.txt"}, c.reason})})
            << c.name;
        EXPECT_EQ(toldByOutcome(outcome), shown.texts()) << c.name;
        if (!*c.irreplaceable && !*c.folderAtName) {
            EXPECT_FALSE(files.logged("create out/novel_3.txt")) << c.name << ": stops there";
        }
        EXPECT_FALSE(files.logged("delete novel.txt")) << c.name;
        EXPECT_EQ(files.files.at("novel.txt"), novel) << c.name;
        EXPECT_EQ(files.files.at("out/novel_1.txt"), "an older volume") << c.name;
        EXPECT_EQ(files.files.count("out/novel_2.txt"), 0u) << c.name;
        EXPECT_TRUE(files.namesWith(".folioknife-").empty()) << c.name << ": temporary files";
    }
}

TEST_F(SplitFlowTest, AnotherSplitInTheFolderStopsThisOneBeforeItWritesAnything) {
    doc.replace(novel);
    fs.busyFolders.insert("out");
    EXPECT_EQ(split().status, SplitOutcome::Status::FolderBusy);
    EXPECT_EQ(boxes.texts(), std::vector<Text>{chineseText({MessageId::FolderBusy, {"out"}})});
    EXPECT_FALSE(fs.logged("create"));
}

// A folder that cannot be made is named with the system's reason before anything is written;
// one that exists already, or a file in its place (which the lock reports), is no such failure.
TEST_F(SplitFlowTest, AnOutputFolderThatCannotBeMadeIsNamedWithTheReason) {
    doc.replace(novel);
    fs.uncreatable.insert("out");
    EXPECT_EQ(split().status, SplitOutcome::Status::CreateFailed);
    EXPECT_EQ(boxes.texts(),
              std::vector<Text>{chineseText({MessageId::FolderCreateFailed, {"out"}, "no drive"})});
    EXPECT_FALSE(fs.logged("create"));
    EXPECT_EQ(fs.files.count("out/novel_1.txt"), 0u);
}

// A split killed at any change it makes leaves a folder that the next split first puts back
// as it was (or, past the last rename, finishes), then splits as if nothing had happened.
TEST_F(SplitFlowTest, ASplitKilledAtAnyChangeIsUndoneByTheNextOne) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> before;
        std::string perFile;
        Text pattern = {};
    } cases[] = {
        // Names with a blank, a '%' and a leading '-' go into the record and back.
        {"a pattern of our own over another novel's volumes",
         {{"out/-1 50%.txt", "a"}, {"out/-7 50%.txt", "b"}, {"out/novel_1.txt", "kept"}},
         "2",
         "-{k} 50%.txt"},
        {"titles as names", {{"out/3 4.txt", "in the way"}}, "1", "{k} {title}.txt"},
        {"into an empty folder", {}, "2"},
        {"over an earlier split, fewer volumes now",
         {{"out/novel_1.txt", "preface\n<1>one\n<2>two\n<3>three\n"},
          {"out/novel_2.txt", "<4>four\n<5>five\n"}},
         "1"},
        {"over an earlier split, one volume changed since",
         {{"out/novel_1.txt", "preface\n<1>one\n"},
          {"out/novel_2.txt", "<2>two\n<3>an older three\n"},
          {"out/novel_3.txt", "<4>four\n<5>five\n"}},
         "2"},
        {"over another novel, more volumes there",
         {{"out/novel_1.txt", "a"},
          {"out/novel_2.txt", "b"},
          {"out/novel_3.txt", "c"},
          {"out/novel_4.txt", "d"},
          {"out/notes.txt", "mine"}},
         "3"},
    };
    for (const auto& c : cases) {
        settings.perFile = c.perFile;
        settings.pattern = c.pattern;
        doc.replace(novel);
        FakeFileService finished;
        finished.files = c.before;
        ASSERT_EQ(runSplit(doc, settings, finished, boxes, PathStyle::Posix).status,
                  SplitOutcome::Status::Done);
        int n = 1;
        for (;; ++n) {
            SCOPED_TRACE(std::string(c.name) + ", killed at change " + std::to_string(n));
            FakeFileService files;
            files.files = c.before;
            files.killAtChange = n;
            try {
                static_cast<void>(runSplit(doc, settings, files, boxes, PathStyle::Posix));
                break;  // it got to its end
            } catch (const Killed&) {
            }
            files.killAtChange = 0;
            EXPECT_FALSE(recoverFolder(files, PathStyle::Posix, "out", std::nullopt).failure);
            EXPECT_TRUE(files.files == c.before || files.files == finished.files);
            EXPECT_EQ(runSplit(doc, settings, files, boxes, PathStyle::Posix).status,
                      SplitOutcome::Status::Done);
            EXPECT_EQ(files.files, finished.files);
        }
        EXPECT_GT(n, 1) << c.name << ": no change was killed";
    }
}

TEST_F(SplitFlowTest, OnlyWhatAKilledSplitRecordedIsRemovedAndNeverTheNovel) {
    // A reader's files named like ours, and no record: all kept.
    const std::map<std::string, std::string> readers = {
        {"out/novel_7.txt.folioknife-new-Keep1234", "a reader kept this"},
        {"out/novel_2.txt.folioknife-old-abcd1234", "an older volume"},
        {"out/.folioknife-record.folioknife-new-abcdefgh12345678", "<1>a novel of that name"}};
    fs.files = readers;
    // A record that a killed split was writing proves to be ours by its header and token.
    fs.files["out/.folioknife-record.folioknife-new-zyxwvuts00000001"] =
        "folioknife record 2\ntoken zyxwvuts\n";
    doc.replace(novel);
    EXPECT_EQ(split().status, SplitOutcome::Status::Done);
    for (const auto& f : readers) EXPECT_EQ(fs.files.at(f.first), f.second) << f.first;
    EXPECT_EQ(fs.files.count("out/.folioknife-record.folioknife-new-zyxwvuts00000001"), 0u);
    // A file at the record's name that is no record of ours stays, and the split, which needs
    // that name, says so before it writes anything.
    FakeFileService taken;
    taken.files["out/.folioknife-record"] = "not a record";
    RecordingBoxes told;
    EXPECT_EQ(runSplit(doc, settings, taken, told, PathStyle::Posix).status,
              SplitOutcome::Status::Refused);
    EXPECT_EQ(taken.files,
              (std::map<std::string, std::string>{{"out/.folioknife-record", "not a record"}}));
    EXPECT_EQ(
        told.texts(),
        std::vector<Text>{chineseText({MessageId::RecordNameTaken, {"out/.folioknife-record"}})});
    // A record that names the novel being split as a volume it placed: the novel stays.
    FakeFileService files;
    files.files["out/novel_1.txt"] = novel;
    files.files["out/.folioknife-record"] =
        "folioknife record 2\ntoken abcdefgh\n"
        "step\tnovel_1.txt\tnovel_1.txt.folioknife-new-abcdefghXXXXXXXX\t-\n"
        "step\t../x.txt\t-\tnovel_1.txt.folioknife-old-abcdefgh\n";
    files.files["x.txt"] = "outside the folder";
    SourceDocument d;
    ASSERT_TRUE(loadSourceDocument(d, files, "out/novel_1.txt"));
    EXPECT_FALSE(recoverFolder(files, PathStyle::Posix, "out", d.identity()).failure);
    EXPECT_EQ(files.files.at("out/novel_1.txt"), novel);
    EXPECT_EQ(files.files.at("x.txt"), "outside the folder");
    EXPECT_EQ(files.files.count("out/.folioknife-record"), 0u);
}

// The novel split in its own folder is never a volume in the way, whatever its name: it is
// neither asked about nor removed, and only the files of this split's name pattern are.
TEST_F(SplitFlowTest, TheNovelIsNeverAVolumeInTheWay) {
    struct Case {
        const char* name;
        const char* novelAt;
        Text pattern;
        std::map<std::string, std::string> others;
        Text question;  // empty: none asked
    } cases[] = {
        {"named like a volume this split does not write", "out/novel_5.txt", "", {}, ""},
        {"beside another novel's volume",
         "out/novel_5.txt",
         "",
         {{"out/novel_4.txt", "x"}},
         chineseText({MessageId::ReplaceOtherVolumes, {"novel_4.txt", "1"}})},
        {"under a pattern of its own",
         "out/2024.txt",
         "{k}.txt",
         {{"out/7.txt", "x"}, {"out/novel_9.txt", "not of this pattern"}},
         chineseText({MessageId::ReplaceOtherVolumes, {"7.txt", "1"}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileService files;
        files.files = c.others;
        files.files[c.novelAt] = novel;
        RecordingSettings s;
        s.pattern = c.pattern;
        RecordingBoxes shown;
        SourceDocument d;
        ASSERT_TRUE(loadSourceDocument(d, files, c.novelAt));
        EXPECT_EQ(runSplit(d, s, files, shown, PathStyle::Posix).status,
                  SplitOutcome::Status::Done);
        EXPECT_EQ(shown.questions,
                  c.question.empty() ? std::vector<Text>{} : std::vector<Text>{c.question});
        EXPECT_EQ(files.files.at(c.novelAt), novel);
        EXPECT_EQ(files.files.count("out/novel_4.txt") + files.files.count("out/7.txt"), 0u);
        if (c.others.count("out/novel_9.txt")) {
            EXPECT_EQ(files.files.at("out/novel_9.txt"), "not of this pattern");
        }
    }
}

// A change that cannot be undone is said, with the file that holds the old bytes, and its
// record stays: the next split puts the folder back first. An old file that cannot be
// unlinked after a split that succeeded is removed by the next one.
// A volume that cannot be converted is the reason a split stops, also when the volumes before
// it cannot be taken away again: that is said after it, not a write failure without a reason.
TEST_F(SplitFlowTest, AVolumeThatCannotBeConvertedIsTheReasonEvenWhenTheUndoFails) {
    const std::string text = "preface\n<1>one\n<2>two \u2603\n<3>three\n";
    doc.replace(text);
    settings.to = "GBK";
    settings.perFile = "1";
    const Message why(MessageId::CannotConvert, {"GBK", "3", std::to_string(text.find("\u2603"))});
    for (const bool undone : {true, false}) {
        SCOPED_TRACE(undone);
        fs.files = {{"out/novel_1.txt", "old 1"}, {"out/novel_2.txt", "old 2"}};
        boxes.shown.clear();
        // The volumes before it were written beside their names; those that cannot be deleted
        // stay.
        fs.undeletableWith = undone ? "" : ".folioknife-new-";
        const SplitOutcome outcome = split();
        ASSERT_FALSE(boxes.texts().empty());
        EXPECT_EQ(boxes.texts()[0], chineseText(why));
        EXPECT_EQ(outcome.status,
                  undone ? SplitOutcome::Status::Refused : SplitOutcome::Status::NotRestored);
        EXPECT_EQ(fs.files.at("out/novel_2.txt"), "old 2");
        fs.undeletableWith.clear();
    }
}

TEST_F(SplitFlowTest, AFailedRollbackIsSaidAndKeptForTheNextSplit) {
    const std::map<std::string, std::string> before = {{"out/novel_1.txt", "old 1"},
                                                       {"out/novel_2.txt", "old 2"}};
    doc.replace(novel);
    fs.files = before;
    // Renames: the first record, the whole record, novel_1.txt aside, its volume in place,
    // then novel_2.txt aside fails, and so does every rename after it.
    fs.failRenamesFrom = 5;
    EXPECT_EQ(split().status, SplitOutcome::Status::NotRestored);
    const std::vector<std::string> aside = fs.namesWith("out/novel_1.txt.folioknife-old-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(fs.files.at(aside[0]), "old 1");
    EXPECT_EQ(
        boxes.texts(),
        (std::vector<Text>{
            chineseText({MessageId::WriteFailed, {"out/novel_2.txt"}, "cannot rename"}),
            chineseText(
                {MessageId::RestoreFailed, {"out/novel_1.txt", aside[0]}, "cannot rename"})}));
    EXPECT_EQ(fs.files.count("out/.folioknife-record"), 1u);
    // While it still cannot be put back, no split writes there.
    fs.failRenamesFrom = fs.renames + 1;
    EXPECT_EQ(split().status, SplitOutcome::Status::NotRestored);
    fs.failRenamesFrom = 0;
    boxes.answer = MessageBoxAnswer::No;
    EXPECT_EQ(split().status, SplitOutcome::Status::Declined);
    EXPECT_EQ(fs.files, before);

    FakeFileService unlinking;
    unlinking.files = before;
    unlinking.undeletableWith = "novel_1.txt.folioknife-old-";
    boxes.answer = MessageBoxAnswer::Yes;
    ASSERT_EQ(runSplit(doc, settings, unlinking, boxes, PathStyle::Posix).status,
              SplitOutcome::Status::Done);
    EXPECT_EQ(unlinking.files.count("out/.folioknife-record"), 1u);
    EXPECT_EQ(unlinking.namesWith("novel_1.txt.folioknife-old-").size(), 1u);
    unlinking.undeletableWith.clear();
    ASSERT_EQ(runSplit(doc, settings, unlinking, boxes, PathStyle::Posix).status,
              SplitOutcome::Status::Done);
    EXPECT_TRUE(unlinking.namesWith(".folioknife-").empty());
}

TEST_F(SplitFlowTest, VolumesReplaceTheNamesNotWhatTheyLinkTo) {
    // An output name that links elsewhere: the link is replaced, its target keeps its bytes.
    doc.replace(novel);
    fs.files["elsewhere.txt"] = "someone else's file";
    fs.files["out/novel_1.txt"] = "";
    fs.links["out/novel_1.txt"] = "elsewhere.txt";
    EXPECT_EQ(split().status, SplitOutcome::Status::Done);
    EXPECT_EQ(fs.files.at("elsewhere.txt"), "someone else's file");
    EXPECT_EQ(joinedOutputs("out", 3), novel);
    EXPECT_TRUE(fs.namesWith(".folioknife-").empty());
    // The lock is let go before the success message, which may wait for the user.
    EXPECT_TRUE(fs.logged("unlock out"));
}

std::string utf16le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
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
        {"1A inside",
         "\x1A" + novel +
             "\x1A"
             "tail",
         "", "novel.txt", true, false},
        {"NUL padding", novel + std::string(64, '\0'), "", "novel.txt", true, false},
        {"changed on disk", novel, novel + "more", "novel.txt", false, true},
        {"no path (command line)", novel, "", "", false, false},
        // The marks added to the volumes after the first are not the novel's bytes.
        {"UTF-16, a mark in every volume", utf16le(novel), "", "novel.txt", true, false},
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
        SplitOutcome outcome = runSplit(d, s, files, shown, PathStyle::Posix);
        EXPECT_EQ(outcome.status, SplitOutcome::Status::Done) << c.name;
        EXPECT_EQ(files.files.count("novel.txt") == 0, c.deleted) << c.name;
        std::vector<Text> expected{chineseText(MessageId::SplitDone)};
        if (c.warned) expected.push_back(chineseText(MessageId::SourceKept));
        EXPECT_EQ(shown.texts(), expected) << c.name;
        EXPECT_EQ(toldByOutcome(outcome), expected) << c.name;
    }
}

// No heading found: the whole novel in one file is no split, and the source stays whatever
// was asked; the note says so in place of the usual one.
TEST_F(SplitFlowTest, NoHeadingFoundKeepsTheSourceEvenWhenItsDeletionWasAsked) {
    struct Case {
        const char* name;
        bool remove;
        std::vector<Text> shown;
    } cases[] = {
        {"deletion asked",
         true,
         {chineseText(MessageId::SplitDone), chineseText(MessageId::NoHeadingsSourceKept)}},
        {"deletion not asked",
         false,
         {chineseText(MessageId::SplitDone), chineseText(MessageId::NoHeadings)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileService files;
        files.files["novel.txt"] = "preface\nno chapters here\n";
        RecordingBoxes shown;
        RecordingSettings s;
        s.remove = c.remove;
        s.source = "novel.txt";
        SourceDocument d;
        ASSERT_TRUE(loadSourceDocument(d, files, "novel.txt"));
        const SplitOutcome outcome = runSplit(d, s, files, shown, PathStyle::Posix);
        EXPECT_EQ(outcome.status, SplitOutcome::Status::Done);
        EXPECT_EQ(outcome.sourceKept.has_value(), c.remove);
        EXPECT_FALSE(outcome.sourceDeleted);
        EXPECT_EQ(toldByOutcome(outcome), c.shown);
        EXPECT_EQ(files.files.at("novel.txt"), "preface\nno chapters here\n");
        EXPECT_EQ(files.files.at("out/novel_1.txt"), "preface\nno chapters here\n");
        EXPECT_EQ(shown.texts(), c.shown);
    }
}

// Every volume of a UTF-8 novel that begins with its mark begins with one; without the marks of
// volumes 2 onwards they join back to the novel, which is then deleted as asked, and a split
// again recognises them as this novel's.
TEST_F(SplitFlowTest, EveryVolumeOfAUtf8NovelWithAMarkBeginsWithIt) {
    const std::string bom = "\xEF\xBB\xBF";
    for (const bool remove : {false, true}) {
        SCOPED_TRACE(remove);
        FakeFileService files;
        files.files["novel.txt"] = bom + novel;
        RecordingBoxes shown;
        RecordingSettings s;
        s.remove = remove;
        s.source = "novel.txt";
        s.perFile = "1";
        SourceDocument d;
        ASSERT_TRUE(loadSourceDocument(d, files, "novel.txt"));
        ASSERT_EQ(runSplit(d, s, files, shown, PathStyle::Posix).status,
                  SplitOutcome::Status::Done);
        std::string joined;
        for (int k = 1; k <= 6; ++k) {
            const std::string& v = files.files.at("out/novel_" + std::to_string(k) + ".txt");
            ASSERT_EQ(v.substr(0, 3), bom) << k;
            joined += k == 1 ? v : v.substr(3);
        }
        EXPECT_EQ(joined, bom + novel);
        EXPECT_EQ(files.files.count("novel.txt") == 0, remove);
        EXPECT_EQ(shown.texts(), std::vector<Text>{chineseText(MessageId::SplitDone)});
        // Fewer volumes over these: an earlier split of this novel, replaced without a question.
        s.perFile = "4";
        s.remove = false;
        ASSERT_EQ(runSplit(d, s, files, shown, PathStyle::Posix).status,
                  SplitOutcome::Status::Done);
        EXPECT_TRUE(shown.questions.empty());
        EXPECT_EQ(files.files.count("out/novel_3.txt"), 0u);
        EXPECT_EQ(files.files.at("out/novel_2.txt").substr(0, 3), bom);
    }
}

// More than a thousand files are asked about before anything is written; 否 writes nothing.
TEST_F(SplitFlowTest, AThousandFilesAndMoreAreAskedAboutFirst) {
    struct Case {
        int headings;
        MessageBoxAnswer answer;
        bool asked, written;
    } cases[] = {
        // The empty text before the first heading is the first file: headings + 1 files.
        {999, MessageBoxAnswer::No, false, true},
        {1000, MessageBoxAnswer::No, true, false},
        {1000, MessageBoxAnswer::Yes, true, true},
    };
    settings.perFile = "1";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headings);
        fs.files.clear();
        fs.directories.clear();
        boxes = RecordingBoxes();
        boxes.manyAnswer = c.answer;
        std::string text;
        for (int i = 1; i <= c.headings; ++i)
            text += "<" + std::to_string(i) + ">" + std::string(300, 'x') + "\n";
        doc.replace(text);
        const SplitOutcome outcome = split();
        EXPECT_EQ(outcome.status,
                  c.written ? SplitOutcome::Status::Done : SplitOutcome::Status::TooMany);
        EXPECT_EQ(boxes.questions,
                  c.asked ? std::vector<Text>{chineseText(
                                {MessageId::ManyVolumes,
                                 {std::to_string(c.headings + 1), std::to_string(c.headings)}})}
                          : std::vector<Text>{});
        EXPECT_EQ(fs.files.size(), c.written ? std::size_t(c.headings + 1) : 0u);
        if (!c.written) {
            EXPECT_TRUE(fs.directories.empty());
            ASSERT_TRUE(outcome.plan);
            EXPECT_EQ(outcome.plan->headings().size(), 1000u);
        }
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
    EXPECT_EQ(boxes.texts().back(), chineseText(MessageId::SourceIsOutput));
}

TEST_F(SplitFlowTest, TheSourceIsKeptWhenTheDeletionCannotBeMadeSafeAndTheUserIsToldWhy) {
    struct Case {
        const char* name;
        std::string source;
        std::function<void(FakeFileService&)> arrange;
        Text message;
        std::vector<std::string> volumes = {"x", "y", "z"};
    } cases[] = {
        {"one volume, split into its own name",
         "out/novel_1.txt",
         [](FakeFileService&) {},
         chineseText(MessageId::SourceIsOutput),
         {"out/novel_1.txt"}},
        {"a link to an output", "link.txt",
         [](FakeFileService& f) { f.links["link.txt"] = "out/novel_2.txt"; },
         chineseText(MessageId::SourceIsOutput)},
        {"the deletion fails", "novel.txt",
         [](FakeFileService& f) { f.undeletable.insert("novel.txt"); },
         chineseText({MessageId::SourceNotDeleted, {"cannot delete"}})},
        {"a volume cannot be read back", "novel.txt",
         [](FakeFileService& f) { f.unreadable.insert("out/novel_3.txt"); },
         chineseText({MessageId::CannotReadBack, {"novel_3.txt", "cannot read"}})},
        {"another split holds the folder", "novel.txt", nullptr,
         chineseText({MessageId::SourceFolderBusy, {"out"}})},
    };
    for (auto& c : cases) {
        FakeFileService files;
        files.files[c.source] = novel;
        if (c.source == "link.txt") files.files["novel.txt"] = novel;
        RecordingSettings s;
        s.remove = true;
        s.source = c.source;
        s.perFile = c.volumes.size() == 1 ? "10" : "2";
        SourceDocument d;
        ASSERT_TRUE(loadSourceDocument(d, files, c.source));
        if (c.arrange) c.arrange(files);
        // The folder is taken by someone else between the split and the deletion.
        struct BusyAfterSuccess : RecordingBoxes {
            FakeFileService* fs = nullptr;
            MessageBoxAnswer showMessageBox(const Text& t, const Text& title,
                                            MessageBoxButtons f) override {
                if (fs) fs->busyFolders.insert("out");
                return RecordingBoxes::showMessageBox(t, title, f);
            }
        } shown;
        if (!c.arrange) shown.fs = &files;
        EXPECT_EQ(runSplit(d, s, files, shown, PathStyle::Posix).status, SplitOutcome::Status::Done)
            << c.name;
        EXPECT_EQ(shown.texts(), (std::vector<Text>{chineseText(MessageId::SplitDone), c.message}))
            << c.name;
        EXPECT_TRUE(files.files.count(files.resolve(c.source))) << c.name;
        std::string joined;
        for (std::size_t k = 1; k <= c.volumes.size(); ++k)
            joined += files.files.at(files.resolve("out/novel_" + std::to_string(k) + ".txt"));
        EXPECT_EQ(joined, novel) << c.name;
    }
}

// A volume or the folder that cannot be flushed for a deletion is a failed write: the folder
// as it was (an older volume back), the source kept, the cause said.
// Fails the flush of any file whose name begins with 'prefix' (temporary names included).
struct FlushFailing : FakeFileService {
    std::string prefix;
    FileStatus flushFiles(const std::vector<std::string>& paths) override {
        for (const std::string& path : paths)
            if (!prefix.empty() && path.rfind(prefix, 0) == 0)
                return FileError{FileOperation::Flush, path, 5, "EIO"};
        return FakeFileService::flushFiles(paths);
    }
};

// Answers 是 to every question.
struct AnswersYes : RecordingBoxes {
    MessageBoxAnswer showMessageBox(const Text& t, const Text& title,
                                    MessageBoxButtons f) override {
        RecordingBoxes::showMessageBox(t, title, f);
        return MessageBoxAnswer::Yes;
    }
};

TEST_F(SplitFlowTest, AFailedFlushIsAFailedWrite) {
    const struct {
        const char* name;
        std::string failing;  // a file's name, or the folder
        bool replace;
        Message message;
    } cases[] = {
        {"a volume",
         "out/novel_2.txt",
         false,
         {MessageId::WriteFailed, {"out/novel_2.txt"}, "EIO"}},
        {"a volume replacing",
         "out/novel_3.txt",
         true,
         {MessageId::WriteFailed, {"out/novel_3.txt"}, "EIO"}},
        {"the folder", "out", false, {MessageId::FolderFlushFailed, {"out"}, "cannot flush"}},
        {"the folder replacing",
         "out",
         true,
         {MessageId::FolderFlushFailed, {"out"}, "cannot flush"}},
    };
    for (const auto& c : cases) {
        FlushFailing files;
        files.files["novel.txt"] = novel;
        files.directories.insert("out");
        if (c.failing == "out") {
            files.unflushable.insert("out");
        } else {
            files.prefix = c.failing;
        }
        if (c.replace) files.files["out/novel_1.txt"] = "an older volume";
        RecordingBoxes shown;
        RecordingSettings s;
        s.remove = true;
        s.source = "novel.txt";
        s.perFile = "2";
        SourceDocument d;
        ASSERT_TRUE(loadSourceDocument(d, files, "novel.txt"));
        AnswersYes yes;
        const SplitOutcome outcome = runSplit(d, s, files, yes, PathStyle::Posix);
        EXPECT_EQ(outcome.status, SplitOutcome::Status::WriteFailed) << c.name;
        EXPECT_EQ(yes.texts().back(), chineseText(c.message)) << c.name;
        EXPECT_EQ(files.files.at("novel.txt"), novel) << c.name;
        std::vector<std::string> left;
        for (const auto& [name, bytes] : files.files) left.push_back(name);
        EXPECT_EQ(left, c.replace ? (std::vector<std::string>{"novel.txt", "out/novel_1.txt"})
                                  : std::vector<std::string>{"novel.txt"})
            << c.name;
        if (c.replace) {
            EXPECT_EQ(files.files.at("out/novel_1.txt"), "an older volume") << c.name;
        }
    }
}

}  // namespace
}  // namespace folioknife::splitter
