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
// rest.
inline constexpr std::array<const char*, 7> kSuffixes = {kSuffix, "回", "节", "卷",
                                                         "部",    "篇", "集"};

// The numerals of a heading: full-width digits, Chinese numerals and their financial forms
// (ASCII digits go without saying).
inline constexpr std::array<const char*, 40> kNumerals = {
    "０", "１", "２", "３", "４", "５", "６", "７", "８", "９", "零", "〇", "一", "二",
    "两", "三", "四", "五", "六", "七", "八", "九", "十", "廿", "卅", "百", "千", "万",
    "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖", "拾", "佰", "仟"};

// A volume part of a line: 第 numeral and one of these (第二卷, 第三部, 第一季), or 卷 numeral
// (卷三).
inline constexpr const char* kVolumePrefix = "第";
inline constexpr std::array<const char*, 5> kVolumeWords = {"卷", "部", "篇", "集", "季"};
inline constexpr const char* kVolumeWordFirst = "卷";

// Prologue and epilogue headings, a line of their own in a book of chapters.
inline constexpr std::array<const char*, 9> kExtras = {"楔子", "序章",   "序幕", "引子", "尾声",
                                                       "终章", "大结局", "番外", "后记"};

}  // namespace folioknife::splitter::headingWords
