#include <gtest/gtest.h>

#include "TestText.h"
#include "splitter/Messages.h"
#include "splitter/SplitPlan.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;

struct PlanSettings : SplitSettings {
    bool custom = false;
    Text expression, perFile = "2", dir = "out", pattern;
    bool customMode() override { return custom; }
    Text expressionText() override { return expression; }
    Text prefix() override { return "<"; }
    Text suffix() override { return ">"; }
    Text chaptersPerFileText() override { return perFile; }
    Text outputDirectory() override { return dir; }
    bool deleteSource() override { return false; }
    Text sourcePath() override { return {}; }
    Text volumeNamePattern() override { return pattern; }
};

// A preface and five headings <1> .. <5>.
const std::string kNovel = "preface\n<1>one\n<2>two\n<3>three\n<4>four\n<5>five\n";

// Each use makes the checks that concern it, in the split's order.
TEST(SplitPlan, EachUseMakesTheChecksThatConcernIt) {
    CodePageScope codePage{"UTF-8"};
    struct Case {
        const char* name;
        PlanUse use;
        std::string text, expression, perFile, dir, pattern;
        Text refusal;  // empty: the plan is ready
    } cases[] = {
        {"no text", PlanUse::Book, "", "", "2", "out", "", messages::noDocument()},
        {"expression before count", PlanUse::Listing, kNovel, "(", "0", "out", "",
         messages::invalidExpression()},
        {"count before folder", PlanUse::Volumes, kNovel, "", "0", "", "",
         messages::badChaptersPerFile()},
        {"listing counts chapters", PlanUse::Listing, kNovel, "", "0", "", "",
         messages::badChaptersPerFile()},
        {"listing needs no folder", PlanUse::Listing, kNovel, "", "2", "", "", ""},
        {"a book has no count", PlanUse::Book, kNovel, "", "0", "", "", ""},
        {"split needs a folder", PlanUse::Volumes, kNovel, "", "2", "", "",
         messages::noOutputDirectory()},
        {"two names alike", PlanUse::Volumes, kNovel, "", "2", "out", "same.txt",
         messages::duplicateVolumeName() + "same.txt"},
        {"listed all the same", PlanUse::Listing, kNovel, "", "2", "out", "same.txt", ""},
    };
    for (const Case& c : cases) {
        PlanSettings settings;
        settings.custom = !c.expression.empty();
        settings.expression = c.expression;
        settings.perFile = c.perFile;
        settings.dir = c.dir;
        settings.pattern = c.pattern;
        SourceDocument document;
        document.replace(c.text);
        const SplitPlan plan = planSplit(document, settings, c.use);
        EXPECT_EQ(plan.refusal.substr(0, c.refusal.size()), c.refusal) << c.name;
        EXPECT_EQ(plan.ready(), c.refusal.empty()) << c.name;
    }
}

TEST(SplitPlan, VolumesAreByteRangesOfTheNovelWithTheirNamesAndHeadings) {
    CodePageScope codePage{"UTF-8"};
    PlanSettings settings;
    SourceDocument document;
    document.replace(kNovel);
    const SplitPlan plan = planSplit(document, settings, PlanUse::Listing);
    ASSERT_TRUE(plan.ready());
    EXPECT_EQ(plan.headings().size(), 5U);
    EXPECT_EQ(plan.starts, (std::vector<std::uint64_t>{0, 15, 31}));
    EXPECT_EQ(plan.names, (std::vector<Text>{"novel_1.txt", "novel_2.txt", "novel_3.txt"}));
    std::string joined;
    for (const Volume& v : plan.volumes)
        for (std::string_view span : v.spans) joined += span;
    EXPECT_EQ(joined, kNovel);
    std::vector<std::size_t> volumes;
    for (const ExpressionMatch& m : plan.headings()) volumes.push_back(plan.volumeAt(m.offset));
    EXPECT_EQ(volumes, (std::vector<std::size_t>{1, 2, 2, 3, 3}));
    EXPECT_TRUE(plan.suffixNote.empty());
    EXPECT_TRUE(plan.headingsNote.empty());

    document.replace("no headings here\n");
    const SplitPlan none = planSplit(document, settings, PlanUse::Volumes);
    ASSERT_TRUE(none.ready());
    EXPECT_EQ(none.headingsNote, messages::noHeadings());
    EXPECT_EQ(none.names, std::vector<Text>{"novel_1.txt"});
}

}  // namespace
}  // namespace folioknife::splitter
