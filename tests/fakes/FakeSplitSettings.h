#pragma once
// Split settings that hold their values and note each read: default mode with 第 and 章 (in
// the program's code page at the moment they are read), one chapter a file, into "out".
#include <optional>
#include <string>
#include <vector>

#include "splitter/CodePage.h"
#include "splitter/SplitSettings.h"

namespace folioknife::testing {

struct FixedSettings : splitter::SplitSettings {
    using Text = splitter::Text;
    bool custom = false;
    Text expression;
    std::optional<Text> pre, suf;  // 第 and 章 when not set
    Text perFile = "1", dir = "out";
    std::vector<std::string> reads;  // the settings read, in their order
    bool customMode() override { return reads.push_back("mode"), custom; }
    Text expressionText() override { return reads.push_back("expression"), expression; }
    Text prefix() override {
        return reads.push_back("prefix"), pre ? *pre : splitter::programText("第");
    }
    Text suffix() override {
        return reads.push_back("suffix"), suf ? *suf : splitter::programText("章");
    }
    Text chaptersPerFileText() override { return reads.push_back("perFile"), perFile; }
    Text outputDirectory() override { return reads.push_back("dir"), dir; }
    bool deleteSource() override { return reads.push_back("delete"), false; }
    Text sourcePath() override { return ""; }
};

}  // namespace folioknife::testing
