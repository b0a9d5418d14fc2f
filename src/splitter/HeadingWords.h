#pragma once
// The words chapter headings are made of, in UTF-8: the one list of each that the heading
// rules, the default expression, the suffix a split falls back to, the EPUB's volumes and the
// command line's defaults all take. Each user converts them to the code page it works in.
#include <array>

namespace folioknife::splitter::headingWords {

// The default expression's prefix and suffix: 第…章.
inline constexpr const char* kPrefix = "第";
inline constexpr const char* kSuffix = "章";

// The suffixes a novel heads its chapters with, in the order they are tried when the one asked
// for finds too few headings: the default first, then classic novels' 回, then 节, 卷 and the
// rest; last web serials' and translated Japanese novels' 话 (話).
inline constexpr std::array<const char*, 9> kSuffixes = {kSuffix, "回", "节", "卷", "部",
                                                         "篇",    "集", "话", "話"};

// The words of a heading that puts its word before the numeral (章一, 卷 1), tried in this
// order after the suffixes.
inline constexpr std::array<const char*, 4> kWordsFirst = {kSuffix, "回", "节", "卷"};

// An English heading: "Chapter 4", "CHAPTER ONE", "Chapter IV" (any case), then the numbers in
// words: kEnglishOnes[n] is n, kEnglishTens[n] is 20 + 10 n ("twenty-one").
inline constexpr const char* kEnglishChapter = "chapter";
inline constexpr std::array<const char*, 20> kEnglishOnes = {
    "zero",     "one",     "two",     "three",     "four",     "five",    "six",
    "seven",    "eight",   "nine",    "ten",       "eleven",   "twelve",  "thirteen",
    "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
inline constexpr std::array<const char*, 8> kEnglishTens = {
    "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"};

// The marks of a numbered line: 一、标题, 1. 标题, １．标题, （一）标题, (1) 标题.
inline constexpr std::array<const char*, 1> kNumberPauses = {"、"};
inline constexpr std::array<const char*, 1> kNumberDots = {"．"};    // and "."
inline constexpr std::array<const char*, 1> kNumberOpens = {"（"};   // and "("
inline constexpr std::array<const char*, 1> kNumberCloses = {"）"};  // and ")"

// The numerals of a heading: full-width digits, Chinese numerals and their financial forms
// (ASCII digits go without saying).
inline constexpr std::array<const char*, 40> kNumerals = {
    "０", "１", "２", "３", "４", "５", "６", "７", "８", "９", "零", "〇", "一", "二",
    "两", "三", "四", "五", "六", "七", "八", "九", "十", "廿", "卅", "百", "千", "万",
    "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖", "拾", "佰", "仟"};
// The value of each of kNumerals: a digit, a unit (10, 100, 1,000, 10,000) that multiplies the
// digit before it, or 廿 20 and 卅 30, which add themselves.
inline constexpr std::array<int, 40> kNumeralValues = {
    0, 1, 2,  3,  4,  5,   6,    7,     8, 9, 0, 0, 1, 2, 2, 3, 4, 5,  6,   7,
    8, 9, 10, 20, 30, 100, 1000, 10000, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 100, 1000};

// A volume part of a line: 第 numeral and one of these (第二卷, 第三部, 第一季), or 卷 numeral
// (卷三).
inline constexpr const char* kVolumePrefix = "第";
inline constexpr std::array<const char*, 5> kVolumeWords = {"卷", "部", "篇", "集", "季"};
inline constexpr const char* kVolumeWordFirst = "卷";

// Prologue and epilogue headings, a line of their own in a book of chapters.
inline constexpr std::array<const char*, 9> kExtras = {"楔子", "序章",   "序幕", "引子", "尾声",
                                                       "终章", "大结局", "番外", "后记"};

}  // namespace folioknife::splitter::headingWords
