#pragma once
// The splitter's messages in the run's language: under Chinese the window's own text (but for
// the few the terminal words its own way), else the English text below.
#include <string>

#include "splitter/Messages.h"

namespace folioknife::cli {

// The message in English, as UTF-8; its arguments and reason are in 'codePage'.
std::string englishText(const splitter::Message& message, const std::string& codePage);

// The message in the run's language, as UTF-8.
std::string messageText(const splitter::Message& message, const std::string& codePage,
                        bool chinese);

}  // namespace folioknife::cli
