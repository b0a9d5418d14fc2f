#include <gtest/gtest.h>

#include <utility>

#include "TestText.h"
#include "splitter/Messages.h"
#include "splitter/SplitPlan.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;

// What the settings answer; a custom expression selects custom mode.
struct Given {
    Given(Text e = {}, Text n = "2", Text d = "out", Text p = {})
        : expression(std::move(e)),
          perFile(std::move(n)),
          dir(std::move(d)),
          pattern(std::move(p)) {}
    Text expression, perFile, dir, pattern;
};

struct PlanSettings : SplitSettings, Given {
    PlanSettings() = default;
    explicit PlanSettings(Given given) : Given(std::move(given)) {}
    bool customMode() override { return !expression.empty(); }
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
    using U = PlanUse;
    struct Case {
        const char* name;
        PlanUse use;
        std::string text;
        Given given;
        std::optional<MessageId> refusal;  // nothing: the plan is ready
        std::vector<Text> args = {};
    } cases[] = {
        {"no text", U::Book, "", {"", "2", "out"}, MessageId::NoDocument},
        {"expression before count",
         U::Listing,
         kNovel,
         {"(", "0", "out"},
         MessageId::InvalidExpressionAt},
        {"count before folder", U::Volumes, kNovel, {"", "0", ""}, MessageId::BadChaptersPerFile},
        {"listing counts chapters",
         U::Listing,
         kNovel,
         {"", "0", ""},
         MessageId::BadChaptersPerFile},
        {"listing needs no folder", U::Listing, kNovel, {"", "2", ""}, std::nullopt},
        {"a book has no count", U::Book, kNovel, {"", "0", ""}, std::nullopt},
        {"split needs a folder", U::Volumes, kNovel, {"", "2", ""}, MessageId::NoOutputDirectory},
        {"two names alike",
         U::Volumes,
         kNovel,
         {"", "2", "out", "same.txt"},
         MessageId::DuplicateVolumeName,
         {"same.txt"}},
        {"listed all the same", U::Listing, kNovel, {"", "2", "out", "same.txt"}, std::nullopt},
    };
    for (const Case& c : cases) {
        PlanSettings settings(c.given);
        SourceDocument document;
        document.replace(c.text);
        const SplitPlan plan = planSplit(document, settings, c.use);
        EXPECT_EQ(plan.ready(), !c.refusal) << c.name;
        if (!c.refusal || !plan.refusal) continue;
        EXPECT_EQ(plan.refusal->id, c.refusal) << c.name;
        // The engine's words on an invalid expression are its own to choose; the place is
        // the character after "(", where it ends.
        if (c.refusal == MessageId::InvalidExpressionAt) {
            EXPECT_EQ(plan.refusal->args.at(1), "2") << c.name;
        } else {
            EXPECT_EQ(plan.refusal->args, c.args) << c.name;
        }
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
    EXPECT_FALSE(plan.suffixNote);
    EXPECT_FALSE(plan.headingsNote);

    document.replace("no headings here\n");
    const SplitPlan none = planSplit(document, settings, PlanUse::Volumes);
    ASSERT_TRUE(none.ready());
    ASSERT_TRUE(none.headingsNote);
    EXPECT_EQ(none.headingsNote->id, MessageId::NoHeadings);
    EXPECT_EQ(none.names, std::vector<Text>{"novel_1.txt"});
}

// Volumes in another encoding: the novel's byte-order mark stays out of them, also when a
// heading follows it at once, and a size limit never cuts for ever, even at a character the
// encoding cannot hold (the split refuses it later, naming its place).
TEST(SplitPlan, ConvertedVolumesLeaveTheMarkOutAndAlwaysEnd) {
    CodePageScope codePage{"UTF-8"};
    struct Converting : PlanSettings {
        Converting(Given g, std::uint64_t max) : PlanSettings(std::move(g)), max(max) {}
        std::string volumeEncoding() override { return "GBK"; }
        std::uint64_t maxVolumeBytes() override { return max; }
        std::uint64_t max;
    };
    const std::string bom = "\xEF\xBB\xBF";
    std::string sky;
    for (int i = 0; i < 60; ++i) sky += "天";
    const struct {
        const char* name;
        std::string text;
        Text perFile;
        std::uint64_t max;
        std::size_t volumes;
    } cases[] = {
        {"mark, then a heading", bom + "<1>one\n<2>two\n", "2", 0, 2},
        {"each piece a volume", bom + "<1>one\n<2>two\n", "1", 0, 3},
        {"with a limit", bom + "<1>one\n<2>two\n", "1", 64, 3},
        {"unconvertible in a long line", "<1>\n" + sky + "\xF0\x9F\x98\x80" + sky + "\n", "10", 64,
         0},
    };
    for (const auto& c : cases) {
        Converting settings(Given{"", c.perFile}, c.max);
        SourceDocument document;
        document.replace(c.text);
        const SplitPlan plan = planSplit(document, settings, PlanUse::Listing);
        ASSERT_TRUE(plan.ready()) << c.name;
        if (c.volumes != 0) {
            EXPECT_EQ(plan.volumes.size(), c.volumes) << c.name;
        }
        std::string joined;
        for (std::size_t k = 0; k < plan.volumes.size(); ++k) {
            // Only the preface may be an empty volume.
            if (k > 0) {
                EXPECT_GT(plan.volumes[k].size(), 0U) << c.name << " volume " << k + 1;
            }
            for (std::string_view span : plan.volumes[k].spans) joined += span;
        }
        const std::size_t mark = c.text.rfind(bom, 0) == 0 ? bom.size() : 0;
        EXPECT_EQ(joined, c.text.substr(mark)) << c.name;
        for (const ExpressionMatch& m : plan.headings()) {
            EXPECT_GE(m.offset, static_cast<std::int64_t>(mark)) << c.name;
            EXPECT_GE(plan.volumeAt(m.offset), 1U) << c.name;
        }
        if (c.perFile == "2") {
            EXPECT_EQ(plan.volumeAt(plan.headings().front().offset), 1U) << c.name;
        }
    }
}

}  // namespace
}  // namespace folioknife::splitter
