#include <gtest/gtest.h>

#include <boost/uuid/name_generator_sha1.hpp>
#include <boost/uuid/string_generator.hpp>
#include <boost/uuid/uuid_io.hpp>
#include <algorithm>
#include <ctime>
#include <regex>

#include "TestText.h"
#include "epub/EpubBook.h"
#include "epub/EpubText.h"
#include "splitter/DocumentEncoding.h"
#include "splitter/FileService.h"
#include "splitter/Recode.h"

namespace folioknife::epub {
namespace {
using splitter::encodingOf;
using testing::gbk;

TEST(EpubText, EscapesWhatXmlReadsOtherwiseAndReadsItBack) {
    struct Case {
        const char* text;
        const char* escaped;
    } cases[] = {
        {"a<b>&c", "a&lt;b&gt;&amp;c"},
        {"第一章 <序>", "第一章 &lt;序&gt;"},
        {"]]>", "]]&gt;"},
        {"one\rtwo", "one&#13;two"},  // an XML reader would make it a line feed
        {"\"'", "\"'"},
        {"", ""},
    };
    for (const Case& c : cases) {
        std::string out;
        appendEscaped(out, c.text);
        EXPECT_EQ(out, c.escaped);
        std::string back;
        ASSERT_TRUE(unescapeInto(back, out));
        EXPECT_EQ(back, c.text);
    }
    std::string back;
    EXPECT_TRUE(unescapeInto(back, "&#x7B2C;&#31456;&quot;&apos;"));
    EXPECT_EQ(back, "第章\"'");
    for (const char* bad : {"&", "&nbsp;", "&#xZZ;", "&#;", "&#1114112;"}) {
        EXPECT_FALSE(unescapeInto(back, bad)) << bad;
    }
    // What XML 1.0 cannot hold at all becomes U+FFFD; tab, line feed and U+FFFD itself stay.
    const std::pair<std::string, std::string> unfit[] = {
        {"a\x01"
         "b\x1B",
         "a\uFFFD"
         "b\uFFFD"},
        {"\uFFFE\uFFFF\uFFFD", "\uFFFD\uFFFD\uFFFD"},
        {"\t\n", "\t\n"},
        {std::string("x\0y", 3), "x\uFFFDy"},
    };
    for (const auto& [text, escaped] : unfit) {
        std::string out;
        appendEscaped(out, text);
        EXPECT_EQ(out, escaped) << text;
    }
}

TEST(EpubText, ParagraphsLoseLeadingBlanksAndTheLineEnd) {
    const std::pair<const char*, const char*> cases[] = {
        {"　　他说。\r", "他说。"},
        {" \t\xC2\xA0正文 ", "正文 "},
        {"　\r", ""},
        {"\r\r", "\r"},
        {"abc", "abc"},
    };
    for (const auto& [line, paragraph] : cases) EXPECT_EQ(paragraphOf(line), paragraph) << line;
    EXPECT_EQ(trimmed("　 第一卷 江湖　\r"), "第一卷 江湖");
}

TEST(EpubText, TheIdentifierIsAVersion5UuidOfTheBytes) {
    const std::string a = identifierOf("第一章\n正文");
    EXPECT_EQ(a, identifierOf("第一章\n正文"));
    EXPECT_NE(a, identifierOf("第一章\n正文."));
    EXPECT_NE(identifierOf(""), identifierOf(std::string(1, '\0')));
    EXPECT_TRUE(std::regex_match(
        a,
        std::regex("urn:uuid:[0-9a-f]{8}-[0-9a-f]{4}-5[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")))
        << a;
    // The same as a known SHA-1 gives, whatever the length's place against the 64-byte blocks.
    boost::uuids::name_generator_sha1 known(
        boost::uuids::string_generator()("6f1c2a52-8f0e-4d55-9a43-0c9d1f5b7e21"));
    for (const std::size_t n : {0, 1, 39, 40, 41, 47, 48, 49, 111, 112, 1000, 70001}) {
        std::string bytes(n, '\0');
        for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(i * 131 + n);
        EXPECT_EQ(identifierOf(bytes),
                  "urn:uuid:" + boost::uuids::to_string(known(bytes.data(), bytes.size())))
            << n;
    }
}

TEST(EpubText, TitleAndAuthorFromTheFirstLines) {
    struct Case {
        const char* lines;
        const char* title;
        const char* author;
    } cases[] = {
        {"《斗破苍穹》\r\n作者：天蚕土豆\r\n", "斗破苍穹", "天蚕土豆"},
        {"　　《江湖夜雨》 作者: 某人\n", "江湖夜雨", "某人"},
        {"书名：《长安》\n作者 ：  张三 \n", "长安", "张三"},
        {"书名:长安\n", "长安", ""},
        {"简介\n他读了《论语》三遍。\n", "", ""},  // 《》 inside a sentence names no title
        {"《》\n作者\n", "", ""},
        {"作者：\n作者：李四\n", "", "李四"},
        {"【全本精校】《某书》作者：某人【1-8部+番外】\n", "某书", "某人"},
        {"某书\n无名氏 著\n", "", "无名氏"},
        {"书名：某书[精校版]\n", "某书", ""},
    };
    for (const Case& c : cases) {
        const NamedInFront found = findTitleAndAuthor(c.lines);
        EXPECT_EQ(found.title, c.title) << c.lines;
        EXPECT_EQ(found.author, c.author) << c.lines;
    }
    // The description: after the label on its line, or the paragraphs after it.
    EXPECT_EQ(findTitleAndAuthor("内容简介：一个故事。\n作者：某\n").description, "一个故事。");
    EXPECT_EQ(findTitleAndAuthor("【简介】\n\n甲。\n乙。\n作者：某\n").description, "甲。\n乙。");
    EXPECT_EQ(findTitleAndAuthor("简介他人是不礼貌的。\n").description, "");
}

TEST(EpubText, TitlesLessReleaseTagsAndTheLanguage) {
    const std::pair<const char*, const char*> titles[] = {
        {"【全本精校】《某书》作者：某人【1-8部+番外】", "某书"},
        {"[精校版]某书(1-8部+番外)全本", "某书"},
        {"某书txt全集", "某书"},
        {"某书_完结", "某书"},
        {"（完结）", "（完结）"},  // nothing would be left
        {"Plain Name", "Plain Name"},
    };
    for (const auto& [title, clean] : titles) EXPECT_EQ(cleanTitle(title), clean) << title;
    EXPECT_EQ(namedInFileName("《某书》作者：某人[精校]").author, "某人");
    EXPECT_EQ(languageOf("第一章 The Road\n他走了很远很远的路。"), "zh");
    EXPECT_EQ(languageOf("Chapter 1 一\nIt was a long road."), "en");
    EXPECT_EQ(languageOf(""), "zh");
}

TEST(EpubText, LanguageTags) {
    const std::pair<const char*, bool> tags[] = {
        {"zh", true},   {"zh-CN", true}, {"en-US", true},  {"zh-Hant-TW", true}, {"z", false},
        {"zh-", false}, {"1a", false},   {"zh cn", false}, {"", false}};
    for (const auto& [tag, valid] : tags) EXPECT_EQ(isLanguageTag(tag), valid) << tag;
}

TEST(EpubBook, PlansThePrefaceVolumesAndChapters) {
    const std::string text =
        gbk("《书》\r\n作者：某\r\n\r\n第一卷 江湖\r\n\r\n　　第一章 起\r\n正文\r\n第二章 "
            "承\r\n正文\r\n"
            "第二卷 庙堂\r\n第三章 转\r\n正文\r\n");
    std::vector<std::int64_t> headings;
    for (const char* h : {"第一章", "第二章", "第三章"}) {
        headings.push_back(static_cast<std::int64_t>(text.find(gbk(h))));
    }
    const std::vector<BookPart> parts = planBook(text, encodingOf("GBK"), headings);
    const std::vector<std::pair<BookPart::Kind, std::string>> expected = {
        {BookPart::Kind::Preface, "前言"},       {BookPart::Kind::Volume, "第一卷 江湖"},
        {BookPart::Kind::Chapter, "第一章 起"},  {BookPart::Kind::Chapter, "第二章 承"},
        {BookPart::Kind::Volume, "第二卷 庙堂"}, {BookPart::Kind::Chapter, "第三章 转"},
    };
    ASSERT_EQ(parts.size(), expected.size());
    std::int64_t end = 0;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        EXPECT_EQ(parts[k].kind, expected[k].first) << k;
        EXPECT_EQ(parts[k].label, expected[k].second) << k;
        EXPECT_EQ(parts[k].level, parts[k].kind == BookPart::Kind::Chapter ? 2 : 1) << k;
        EXPECT_EQ(parts[k].begin, end) << k;  // every byte in exactly one part
        end = parts[k].end;
    }
    EXPECT_EQ(end, static_cast<std::int64_t>(text.size()));

    // The author and title in front; a blank preface is no part.
    const NamedInFront named = titleAndAuthorIn(text, encodingOf("GBK"), headings);
    EXPECT_EQ(named.title, "书");
    EXPECT_EQ(named.author, "某");
    const std::string blank = "\r\n \r\n" + text.substr(text.find(gbk("第一章")));
    const std::vector<BookPart> noPreface =
        planBook(blank, encodingOf("GBK"),
                 std::vector<std::int64_t>{static_cast<std::int64_t>(blank.find(gbk("第一章")))});
    ASSERT_EQ(noPreface.size(), 1u);
    EXPECT_EQ(noPreface[0].kind, BookPart::Kind::Chapter);
    EXPECT_EQ(noPreface[0].level, 1);
}

// The volume lines the heading search reported are taken as they are; without a report the
// book looks for them above each heading.
TEST(EpubBook, TakesTheVolumeLinesTheSearchReported) {
    const std::string text =
        gbk("【第一卷】\r\n第一章 起\r\n正文\r\n第二卷 庙堂\r\n第二章 承\r\n正文\r\n");
    const auto at = [&](const char* s) { return static_cast<std::int64_t>(text.find(gbk(s))); };
    const std::vector<std::int64_t> headings = {at("第一章"), at("第二章")};
    struct Case {
        const char* name;
        bool reported;
        std::vector<std::int64_t> volumeLines;
        std::vector<std::string> labels;
    } cases[] = {
        {"looked for", false, {}, {"【第一卷】", "第一章 起", "第二卷 庙堂", "第二章 承"}},
        {"as reported",
         true,
         {0, at("第二卷")},
         {"【第一卷】", "第一章 起", "第二卷 庙堂", "第二章 承"}},
        {"none reported: looked for",
         true,
         {-1, -1},
         {"【第一卷】", "第一章 起", "第二卷 庙堂", "第二章 承"}},
    };
    for (const Case& c : cases) {
        const std::vector<BookPart> parts = planBook(text, encodingOf("GBK"), headings, kPieceBytes,
                                                     c.reported ? &c.volumeLines : nullptr);
        std::vector<std::string> labels;
        for (const BookPart& part : parts) labels.push_back(part.label);
        EXPECT_EQ(labels, c.labels) << c.name;
        EXPECT_EQ(parts.back().end, static_cast<std::int64_t>(text.size())) << c.name;
    }
}

TEST(EpubBook, ANovelWithoutHeadingsIsCutAtLineEnds) {
    std::string text;
    for (int i = 0; i < 100; ++i) text += "0123456789\n";  // 1,100 bytes
    const std::vector<BookPart> parts = planBook(text, encodingOf("UTF-8"), {}, 300);
    ASSERT_EQ(parts.size(), 4u);  // 308, 308, 308, 176
    for (std::size_t k = 0; k < parts.size(); ++k) {
        EXPECT_EQ(parts[k].kind, BookPart::Kind::Piece);
        EXPECT_EQ(parts[k].label, "第 " + std::to_string(k + 1) + " 部分");
        EXPECT_EQ(parts[k].end - parts[k].begin, k < 3 ? 308 : 176);
    }
    EXPECT_EQ(planBook("", encodingOf("UTF-8"), std::vector<std::int64_t>{}).size(), 1u);
}

// A whole book in memory, and what reading it back says.
std::string bookOf(const std::string& text, const std::string& codePage,
                   const std::vector<std::int64_t>& headings, Book** made = nullptr) {
    static std::unique_ptr<Book> book;
    const splitter::DocumentEncoding encoding =
        codePage == "UTF-16LE"
            ? splitter::DocumentEncoding{codePage, splitter::CharacterSet::Utf16Le}
            : encodingOf(codePage);
    BookInfo info;
    info.title = "t";
    info.modified = 1767225600;  // 2026-01-01T00:00:00Z
    book = std::make_unique<Book>(text, encoding, planBook(text, encoding, headings), info);
    std::string archive;
    const std::vector<ArchiveEntry> entries = book->entries();
    EXPECT_FALSE(writeArchive(entries, [&](std::string_view b) {
        archive += b;
        return true;
    }));
    book->countLines();
    if (made) *made = book.get();
    return archive;
}

// A book made again is the same bytes: every file of the archive carries the book's time (a
// DOS date in local time, as zip keeps it), not the time it was written, and the package
// names the same time.
TEST(EpubBook, FilesCarryTheBooksTimeNotTheTimeOfWriting) {
    const std::string text = gbk("第一章\r\n正文\r\n第二章\r\n正文\r\n");
    const std::string archive =
        bookOf(text, "GBK", {0, static_cast<std::int64_t>(text.find(gbk("第二章")))});
    const std::time_t modified = 1767225600;  // as bookOf sets it
    const std::tm local = *std::localtime(&modified);
    const unsigned want = ((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday;
    const auto u16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(archive[at]) |
                                     static_cast<unsigned char>(archive[at + 1]) << 8);
    };
    const auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    // The local headers one after the other (sizes known beforehand: no data descriptors).
    std::size_t files = 0;
    for (std::size_t at = 0; archive.compare(at, 4, "PK\3\4") == 0;
         at += 30 + u16(at + 26) + u16(at + 28) + u32(at + 18)) {
        EXPECT_EQ(u16(at + 12), want) << "file " << files;
        ++files;
    }
    // mimetype, container, style, cover; two chapters; opf, nav, ncx
    EXPECT_EQ(files, 4u + 2u + 3u);
    const std::optional<std::string> package = ArchiveReader(archive).read("OEBPS/content.opf");
    ASSERT_TRUE(package);
    EXPECT_NE(package->find(">2026-01-01T00:00:00Z</meta>"), std::string::npos);
}

// The archive is written once from start to end; more than 65535 files take the Zip64 end
// records, which a zip reader (libzip here) follows.
TEST(EpubArchive, ManyFilesReadBackInOrderStoredOrDeflated) {
    for (const std::size_t count : {std::size_t{3}, std::size_t{70000}}) {
        std::vector<ArchiveEntry> entries;
        for (std::size_t k = 0; k < count; ++k) {
            const std::string bytes = std::string(k % 7, 'a') + std::to_string(k);
            entries.push_back({"f" + std::to_string(k), k % 2 == 0, [bytes] { return bytes; }, 0});
        }
        std::string archive;
        ASSERT_FALSE(writeArchive(entries, [&](std::string_view b) {
            archive += b;
            return true;
        }));
        const ArchiveReader reader(archive);
        ASSERT_TRUE(reader.isOpen()) << count << ": " << reader.failure();
        const std::vector<std::string> names = reader.names();
        ASSERT_EQ(names.size(), count);
        for (const std::size_t k : {std::size_t{0}, std::size_t{1}, count - 1}) {
            EXPECT_EQ(names[k], entries[k].name);
            EXPECT_EQ(reader.read(names[k]), entries[k].bytes()) << k;
            EXPECT_EQ(reader.isStored(names[k]), k % 2 == 1) << k;
        }
    }
    // A sink that refuses stops the archive.
    const std::vector<ArchiveEntry> one = {{"a", true, [] { return std::string("x"); }, 0}};
    EXPECT_EQ(writeArchive(one, [](std::string_view) { return false; }), std::string());
}

// A book on disk, read where libzip asks; it may refuse to seek, or fail its reads from a place.
class BookFile : public splitter::InputFile {
public:
    BookFile(std::string bytes, bool seekable, std::size_t failFrom)
        : bytes_(std::move(bytes)), seekable_(seekable), failFrom_(failFrom) {}
    std::optional<std::uint64_t> size() override { return bytes_.size(); }
    splitter::Expected<std::size_t> read(char* buffer, std::size_t capacity) override {
        if (at_ >= failFrom_) return splitter::FileError{splitter::FileOperation::Read, "b", 5, ""};
        const std::size_t n = std::min({capacity, bytes_.size() - at_, failFrom_ - at_});
        bytes_.copy(buffer, n, at_);
        at_ += n;
        return n;
    }
    bool seek(std::uint64_t offset) override {
        if (!seekable_ || offset > bytes_.size()) return false;
        at_ = static_cast<std::size_t>(offset);
        return true;
    }

private:
    std::string bytes_;
    bool seekable_;
    std::size_t failFrom_;
    std::size_t at_ = 0;
};

// Read from the file a document at a time, the book compares as when held whole; a file that
// cannot seek or fails a read is no book that holds the novel.
TEST(EpubBook, ReadFromTheFileAsFromMemory) {
    const std::string text = gbk("第一章\r\n正文一\r\n第二章\r\n正文二\r\n");
    const std::string archive =
        bookOf(text, "GBK", {0, static_cast<std::int64_t>(text.find(gbk("第二章")))});
    const std::string other = gbk("第一章\r\n正文一\r\n第二章\r\n正文三\r\n");
    using Kind = Difference::Kind;
    const struct {
        bool seekable;
        std::size_t failFrom;
        const std::string& novel;
        Kind kind;
    } cases[] = {
        {true, std::string::npos, text, Kind::None},
        {true, std::string::npos, other, Kind::Differs},
        {false, std::string::npos, text, Kind::Unreadable},
        {true, archive.size() / 2, text, Kind::Unreadable},
    };
    for (const auto& c : cases) {
        BookFile file(archive, c.seekable, c.failFrom);
        const ArchiveReader reader(file);
        EXPECT_EQ(compareWithNovel(reader, c.novel, encodingOf("GBK")).kind, c.kind)
            << c.seekable << " " << c.failFrom;
        if (c.kind == Kind::None) {
            EXPECT_EQ(reader.names(), ArchiveReader(archive).names());
        }
    }
}

TEST(EpubBook, ReadsBackEqualOrSaysWhereNot) {
    const std::string text =
        gbk("序\r\n\r\n第一章 <甲> & 乙\r\n　　正文一\r\n\r\n第二章\r\n正文二\r\n");
    const std::vector<std::int64_t> headings = {
        static_cast<std::int64_t>(text.find(gbk("第一章"))),
        static_cast<std::int64_t>(text.find(gbk("第二章")))};
    const std::string archive = bookOf(text, "GBK", headings);
    using Kind = Difference::Kind;
    // The novel as it was, and changed after the book was made: in a line, by a line more or
    // less; and bytes that are no EPUB.
    std::string changed = text;
    changed[changed.find(gbk("正文二"))] = 'X';
    const std::string shorter = text.substr(0, text.size() - 8);
    struct Case {
        std::string novel;
        std::string book;
        Kind kind;
        std::int64_t line;
        std::int64_t paragraph;
    } cases[] = {
        {text, archive, Kind::None, 0, 0},
        {changed, archive, Kind::Differs, 7, 2},
        {text + "more\r\n", archive, Kind::MoreInNovel, 8, 0},
        {shorter, archive, Kind::MoreInBook, 6, 2},
        {text, "not a zip", Kind::Unreadable, 0, 0},
    };
    for (const Case& c : cases) {
        const Difference d = compareWithNovel(c.book, c.novel, encodingOf("GBK"));
        EXPECT_EQ(d.kind, c.kind) << c.line;
        EXPECT_EQ(d.line, c.line);
        EXPECT_EQ(d.paragraph, c.paragraph);
    }
}

// A big novel in a double-byte code page converts through a table; its documents are the
// bytes a small novel's give through the system's conversion: every two-byte character, and
// a first line of characters the table leaves to the system (a byte that is no character,
// GB18030's four-byte ones).
TEST(EpubBook, ABigNovelConvertsAsASmallOneDoes) {
    for (const char* codePage : {"GB18030", "GBK", "BIG5"}) {
        std::string block;
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            block += "a<&";
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                const std::string pair = {static_cast<char>(lead), static_cast<char>(trail)};
                if (splitter::recode(pair, codePage, "UTF-8")) block += pair;
            }
            block += "\r\n";
        }
        std::string small = "\x80\x81\x30\x81\x30\xFF\r\n", big;
        while (small.size() < 150 * 1024) small += block;
        big = small;
        while (big.size() < Book::kTableFrom) big += block;
        const splitter::DocumentEncoding encoding = encodingOf(codePage);
        BookInfo info;
        info.identifier = "urn:uuid:0";
        // The same documents: the small novel's, at the start of the big one.
        const std::vector<BookPart> parts = planBook(small, encoding, std::vector<std::int64_t>{});
        Book a(small, encoding, parts, info);
        Book b(big, encoding, parts, info);
        ASSERT_GE(parts.size(), 2u);
        for (std::size_t k = 0; k < parts.size(); ++k)
            EXPECT_EQ(a.document(k), b.document(k)) << codePage << " " << k;
        EXPECT_EQ(a.unconvertibleCount(), b.unconvertibleCount());
    }
}

TEST(EpubBook, ReportsWhatDoesNotConvertWithItsPlace) {
    struct Case {
        std::string text;
        std::string codePage;
        std::int64_t offset, line;
        bool unfitForXml = false;
    } cases[] = {
        // A control character XML cannot hold, in GBK.
        {gbk("第一章\r\n正文") + "\x01" + gbk("后\r\n"), "GBK", 12, 2, true},
        // A byte that is no UTF-8.
        {"第一章\n正\xFF文\n", "UTF-8", 13, 2},
        // A lone surrogate in UTF-16.
        {std::string("\xFF\xFE\x2C\x7B\x00\xD8\x0A\x00", 8), "UTF-16LE", 4, 1},
        // Characters that convert, but that XML cannot hold: U+FFFF in UTF-8 and UTF-16.
        {"第一章\n正\uFFFF文\n", "UTF-8", 13, 2, true},
        {std::string("\xFF\xFE\x2C\x7B\xFE\xFF\x0A\x00", 8), "UTF-16LE", 4, 1, true},
    };
    for (const Case& c : cases) {
        Book* book = nullptr;
        const std::string archive =
            bookOf(c.text, c.codePage, {c.codePage == "UTF-16LE" ? 2 : 0}, &book);
        ASSERT_EQ(book->unconvertibleCount(), 1) << c.codePage;
        EXPECT_EQ(book->unconvertible()[0].offset, c.offset) << c.codePage;
        EXPECT_EQ(book->unconvertible()[0].line, c.line) << c.codePage;
        EXPECT_EQ(book->unconvertible()[0].unfitForXml, c.unfitForXml) << c.codePage;
        EXPECT_NE(book->document(0).find("\xEF\xBF\xBD"), std::string::npos);
        const auto encoding =
            c.codePage == "UTF-16LE"
                ? splitter::DocumentEncoding{c.codePage, splitter::CharacterSet::Utf16Le}
                : encodingOf(c.codePage);
        // U+FFFD converts back to UTF-8 and UTF-16, but not to the character that was there.
        const Difference d = compareWithNovel(archive, c.text, encoding);
        EXPECT_TRUE(d.kind == Difference::Kind::Differs ||
                    d.kind == Difference::Kind::Unconvertible)
            << c.codePage;
        EXPECT_EQ(d.line, c.line) << c.codePage;
    }
}

}  // namespace
}  // namespace folioknife::epub
