#pragma once
// The forms of a chapter heading other than 第…章 that the default mode falls back to when no
// suffix finds a book's chapters: the word before the numeral (卷一, 章 12), English headings
// (Chapter 4, CHAPTER ONE, Chapter IV) and numbered lines (一、标题, （一）标题, 一 标题,
// 1. 标题, １．标题, a number alone on its line). The EPUB's bare numbered chapters are the same
// numbered lines.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "splitter/ChapterHeadings.h"
#include "splitter/SearchedText.h"

namespace folioknife::splitter {

// One heading line of a form, in the searched text.
struct FormLine {
    std::size_t start = 0;    // the line's start: where the piece begins
    std::size_t mark = 0;     // where its numbered mark begins, after the line's blanks
    std::size_t markEnd = 0;  // the mark's end: 一、 （一） Chapter 4 卷一
    std::size_t end = 0;      // the line's end
    std::int64_t number = 0;
};

// A line is a heading of a form when it is short, holds no sentence, and stands at the start of
// a line; the lines of one shape (一、 and 1、 are two) number the book's chapters when at least
// three of them stand on average 1,500 bytes or more apart (the last to the text's end), most
// of them 750 or more, none within 200 bytes of the next number (a list), three in four in
// sequence (1, 2, 3 …, a heading or two missing, back to 1 after a volume line). Of the forms
// asked, in their order, the first whose lines do: of word first headings the first word of
// headingWords::kWordsFirst (卷一 only when no later form heads the chapters inside its
// volumes), of the others the shape whose first heading comes first (一、 before the 1. of its
// sections). Nothing when none does. The default mode splits by them only when three of them
// stand 1,500 bytes apart, as by a suffix.
struct FormLines {
    HeadingForm form = HeadingForm::Suffix;
    std::vector<FormLine> lines;
};
FormLines findFormLines(const SearchedText& searched, const std::string& codePage,
                        std::initializer_list<HeadingForm> forms);

// The value of a run of Chinese numerals ("十二", "一百零五", "廿三", "一二〇") given as their
// values in headingWords::kNumeralValues.
std::int64_t chineseNumberValue(const std::vector<int>& values);

// The value of an English number: digits, Roman numerals ("IV", "xii") or words ("one",
// "Twenty-Three"); -1 when it is none.
std::int64_t englishNumberValue(std::string_view word);

}  // namespace folioknife::splitter
