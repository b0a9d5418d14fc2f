#include <gtest/gtest.h>

#include "splitter/Volumes.h"

namespace folioknife::splitter {
namespace {

std::vector<std::string> piecesOf(const std::string& text, const std::vector<std::int64_t>& cuts) {
    std::vector<ExpressionMatch> matches;
    for (auto c : cuts) matches.push_back({c, 1});
    std::vector<std::string> out;
    for (auto p : segmentChapters(text, matches)) out.emplace_back(p);
    return out;
}

TEST(SegmentChapters, CutsAtEveryHeadingStartAndKeepsEveryByte) {
    struct Case {
        std::string text;
        std::vector<std::int64_t> cuts;
        std::vector<std::string> pieces;
    } cases[] = {
        {"pre A1 A2", {4, 7}, {"pre ", "A1 ", "A2"}},
        {"A1A2", {0, 2}, {"", "A1", "A2"}},  // begins with a heading: empty preface
        {"no headings", {}, {"no headings"}},
        {"AAA", {0, 1, 2}, {"", "A", "A", "A"}},  // only headings
        {"text A", {5}, {"text ", "A"}},          // the last heading at the very end
        {"", {}, {""}},
        {"AB", {1, 9}, {"A", "B", ""}},  // a cut beyond the text is its end
    };
    for (const auto& c : cases) EXPECT_EQ(piecesOf(c.text, c.cuts), c.pieces) << c.text;
}

TEST(GroupVolumes, JoinsNPiecesPerVolumeAndCountsThePreface) {
    auto volumesOf = [](std::vector<std::string> pieces, std::int64_t n) {
        std::vector<ChapterPiece> views(pieces.begin(), pieces.end());
        std::vector<std::string> out;
        for (const Volume& v : groupVolumes(views, n)) {
            std::string joined;
            for (auto s : v.spans) joined += s;
            out.push_back(joined);
        }
        return out;
    };
    std::vector<std::string> twentySix{"P"};
    for (int i = 1; i <= 25; ++i) twentySix.push_back(std::string(1, static_cast<char>('a' + i)));
    auto three = volumesOf(twentySix, 10);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[0], "Pbcdefghij");
    EXPECT_EQ(three[2], "uvwxyz");
    EXPECT_EQ(volumesOf(twentySix, 26).size(), 1u);
    EXPECT_EQ(volumesOf(twentySix, 1000).size(), 1u);

    std::vector<std::string> emptyPreface{"", "x", "y"};
    EXPECT_EQ(volumesOf(emptyPreface, 1), (std::vector<std::string>{"", "x", "y"}));
    EXPECT_EQ(volumesOf(emptyPreface, 2), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(volumesOf({"whole"}, 10), (std::vector<std::string>{"whole"}));
}

TEST(GroupVolumes, PiecesOfOneTextBecomeOneSpan) {
    std::string text = "prefaceChapter1Chapter2";
    std::vector<ChapterPiece> pieces{std::string_view(text).substr(0, 7),
                                     std::string_view(text).substr(7, 8),
                                     std::string_view(text).substr(15)};
    auto volumes = groupVolumes(pieces, 3);
    ASSERT_EQ(volumes.size(), 1u);
    ASSERT_EQ(volumes[0].spans.size(), 1u);
    EXPECT_EQ(volumes[0].spans[0], text);
    EXPECT_EQ(volumes[0].size(), text.size());
}

TEST(GroupVolumesWithin, ClosesBeforeTheLimitAndCutsLongChaptersAtLineEnds) {
    // Pieces as text with "|" between them; volumes likewise.
    const auto plan = [](const std::string& pieces, std::int64_t n, std::uint64_t max,
                         std::uint64_t reserve = 0) {
        static std::vector<std::string> keep;
        keep.clear();
        std::vector<ChapterPiece> views;
        for (std::size_t at = 0;;) {
            const std::size_t bar = pieces.find('|', at);
            keep.push_back(
                pieces.substr(at, bar == std::string::npos ? std::string::npos : bar - at));
            if (bar == std::string::npos) break;
            at = bar + 1;
        }
        for (const std::string& p : keep) views.push_back(p);
        std::string out;
        for (const Volume& v : groupVolumesWithin(views, n, max, reserve, CharacterSet::Utf8, {})) {
            for (auto s : v.spans) out += s;
            out += '|';
        }
        out.pop_back();
        return out;
    };
    const struct {
        const char* pieces;
        std::int64_t n;
        std::uint64_t max;
        const char* volumes;
    } cases[] = {
        {"P|aa|bb|cc", 10, 5, "Paabb|cc"},        // closes before the chapter that would pass
        {"P|aa|bb|cc", 2, 100, "Paa|bbcc"},       // -n first
        {"|a\nb\nc\n|d", 10, 4, "a\nb\n|c\nd"},   // longer than the limit: cut at a line end
        {"abcdefgh", 10, 3, "abc|def|gh"},        // no line end: between characters
        {"x\n中文字\n", 10, 7, "x\n|中文|字\n"},  // never inside a character
        {"|a|b", 1, 100, "|a|b"},                 // an empty preface stays a volume with -n 1
        {"P|aaaa", 10, 6, "Paaaa"},
        {"P|aaaa", 10, 6 + 2, "Paaaa"},
    };
    for (const auto& c : cases) EXPECT_EQ(plan(c.pieces, c.n, c.max), c.volumes) << c.pieces;
    EXPECT_EQ(plan("P|aaaa", 10, 6, 2), "P|aaaa");  // the byte-order mark counts
}

// A measure whose parts do not add up to the whole (text the volumes' encoding cannot hold
// is measured so) still ends, and adds no empty volume.
TEST(GroupVolumesWithin, EndsWhenThePartsDoNotAddUp) {
    const std::string text = "P|abcdefghij|k";
    const std::vector<ChapterPiece> pieces{std::string_view(text).substr(0, 1),
                                           std::string_view(text).substr(2, 10),
                                           std::string_view(text).substr(13)};
    const MeasureBytes overcounted = [](std::string_view part) -> std::uint64_t {
        return part.size() + (part.size() > 5 ? 10 : 0);
    };
    for (std::int64_t n : {1, 10}) {
        std::string out;
        for (const Volume& v :
             groupVolumesWithin(pieces, n, 4, 0, CharacterSet::Utf8, overcounted)) {
            EXPECT_GT(v.size(), 0U) << n;
            for (auto s : v.spans) out += s;
            out += '|';
        }
        EXPECT_EQ(out, "P|abcd|efgh|ij|k|") << n;
    }
}

TEST(VolumeTitle, TakesTheLineWithoutWhatFileSystemsRefuse) {
    const DocumentEncoding utf8{"UTF-8", CharacterSet::Utf8};
    const std::string forty(40 * 3, 'x');
    const struct {
        std::string text;
        std::size_t offset;
        std::string title;
    } cases[] = {
        {"pre\n第1章 开始\r\nbody", 4, "第1章 开始"},
        {"第2章 a/b\\c:d*e?f\"g<h>i|j\tk.\n", 0, "第2章 a_b_c_d_e_f_g_h_i_j_k"},
        {"\xE3\x80\x80 第3章 \n", 0, "第3章"},
        {"\xEF\xBB\xBF第4章 始\n", 0, "第4章 始"},  // a novel's byte-order mark
        {std::string(50, 'y'), 0, std::string(40, 'y')},
    };
    // Titles are names in the program's code page (GBK under Wine).
    for (const auto& c : cases) {
        EXPECT_EQ(volumeTitle(c.text, c.offset, utf8), programText(c.title)) << c.text;
    }
}

}  // namespace
}  // namespace folioknife::splitter
