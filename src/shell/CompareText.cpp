#include "shell/CompareText.h"

#include <cstring>

namespace folioknife::shell {

int compareText(const Text& a, const Text& b) {
    // A text ends at its first NUL, wherever the string's own length says it ends.
    const std::size_t la = std::strlen(a.c_str());
    const std::size_t lb = std::strlen(b.c_str());
    for (std::size_t i = 0; i < la && i < lb; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (la == lb) return 0;
    return la < lb ? -1 : 1;
}

}  // namespace folioknife::shell
