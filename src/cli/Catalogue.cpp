#include "cli/Catalogue.h"

#include <string_view>
#include <vector>

#include "splitter/Messages.h"

namespace folioknife::cli {

std::string trf(const char* english, std::initializer_list<std::string> arguments) {
    const auto asItIs = [](std::string_view text) { return std::string(text); };
    return splitter::fillInMessage(tr(english), std::vector<std::string>(arguments), "", asItIs);
}

}  // namespace folioknife::cli
