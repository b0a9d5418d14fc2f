#include "cli/Catalogue.h"

#include <vector>

namespace folioknife::cli {

std::string trf(const char* english, std::initializer_list<std::string> arguments) {
    const std::string pattern = tr(english);
    const std::vector<std::string> args(arguments);
    std::string result;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        // {N} with one digit is all the texts need.
        if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}' &&
            pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < args.size()) {
                result += args[n];
                i += 2;
                continue;
            }
        }
        result += pattern[i];
    }
    return result;
}

}  // namespace folioknife::cli
