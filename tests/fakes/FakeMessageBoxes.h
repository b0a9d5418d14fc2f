#pragma once
// Message boxes that are never shown: each text is noted and answered OK.
#include <vector>

#include "splitter/MessageBox.h"

namespace folioknife::testing {

struct ShownBoxes : splitter::MessageBoxService {
    std::vector<splitter::Text> shown;
    splitter::MessageBoxAnswer showMessageBox(const splitter::Text& text, const splitter::Text&,
                                              splitter::MessageBoxButtons) override {
        shown.push_back(text);
        return splitter::MessageBoxAnswer::Ok;
    }
};

}  // namespace folioknife::testing
