#pragma once
// The small text rules of an EPUB made from a novel: XML escaping, the blanks a paragraph
// loses, the book's identifier, and the title and author a novel names in its first lines.
// Texts here are UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

namespace folioknife::epub {

// Appends the text with &, < and > escaped: every text that goes into an XML file of the book
// passes through here. A carriage return that ends no line is written as a character
// reference: an XML reader would otherwise turn it into a line feed. The characters XML 1.0
// cannot hold at all (control characters but tab, line feed and carriage return; U+FFFE and
// U+FFFF) become U+FFFD.
void appendEscaped(std::string& out, std::string_view text);

// The length of the character at 'at' of UTF-8 text when XML 1.0 cannot hold it; 0 otherwise.
std::size_t unfitForXmlAt(std::string_view utf8, std::size_t at);

// The text of an element as an XML reader gives it back: the five named entities and
// numeric character references replaced. Nothing when a reference is malformed.
bool unescapeInto(std::string& out, std::string_view escaped);

// The line less its leading blanks (space, tab, ideographic space, no-break space) and its
// trailing carriage return.
std::string_view paragraphOf(std::string_view line);

// The line less its blanks at both ends.
std::string_view trimmed(std::string_view line);

// "urn:uuid:…": a name-based UUID (version 5, SHA-1) of the bytes, so that the same novel
// always gives the same identifier and any change gives another.
std::string identifierOf(std::string_view bytes);

// At most 'characters' characters of the text, "…" added when it was longer.
std::string shortened(std::string_view text, std::size_t characters);

// What the first lines of a novel say of it: the title of a 《书名》 or 书名： line (release
// tags before it such as 【全本精校】 left out), the name of a 作者：/作者: line or of a line
// that ends in 著, and the paragraphs after a 内容简介 or 简介 line (or its text after the
// colon). Empty when not found.
struct NamedInFront {
    std::string title;
    std::string author;
    std::string description;
};
NamedInFront findTitleAndAuthor(std::string_view firstLines);

// A title less what a release adds to it: 《》 around it, bracketed tags (【全本精校】,
// [精校版], (1-8部+番外)), an author part (作者：某人) and words such as txt, 全本, 完结.
// The text as it was when nothing would be left.
std::string cleanTitle(std::string_view title);

// What a file name says of its book: "【全本精校】《某书》作者：某人【1-8部+番外】" gives 某书
// and 某人.
NamedInFront namedInFileName(std::string_view stem);

// The language of the text: "zh" when most of its letters are Chinese (or Japanese) characters,
// else "en".
std::string languageOf(std::string_view utf8);

// True when the text is a language tag as EPUB takes it ("zh", "zh-CN", "en-US").
bool isLanguageTag(std::string_view tag);

}  // namespace folioknife::epub
