#include <gtest/gtest.h>

#include "splitter/Volumes.h"

namespace folioknife::splitter {
namespace {

std::vector<std::string> piecesOf(const std::string& text, const std::vector<std::int64_t>& cuts) {
    DocumentStream stream = DocumentStream::holding(std::make_shared<const std::string>(text));
    std::vector<ExpressionMatch> matches;
    for (auto c : cuts) matches.push_back({c, 1});
    std::vector<std::string> out;
    for (auto p : segmentChapters(stream, matches)) out.emplace_back(p);
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

TEST(VolumeFileName, JoinsFolderSeparatorAndNumberWithoutLeadingZeros) {
    EXPECT_EQ(volumeFileName("D:\\output", 1, "\\"), "D:\\output\\novel_1.txt");
    EXPECT_EQ(volumeFileName("D:\\books\\", 10, "\\"), "D:\\books\\\\novel_10.txt");
    EXPECT_EQ(volumeFileName("/home/u/output", 123, "/"), "/home/u/output/novel_123.txt");
}

}  // namespace
}  // namespace folioknife::splitter
