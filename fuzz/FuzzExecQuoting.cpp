// The desktop entry's Exec quoting: any program path quoted and parsed back gives the path
// again, followed by the %f field code.
#include <cstdint>
#include <string>

#include "shell/DesktopEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioknife::shell;
    std::string path(reinterpret_cast<const char*>(data), size);
    // A desktop entry is line-based text: no NUL or line breaks in a path written into it.
    for (char& c : path)
        if (c == '\0' || c == '\n' || c == '\r') c = '_';
    const auto parsed = parseExecValue(execValue(path));
    if (!parsed || parsed->size() != 2 || (*parsed)[0] != path || (*parsed)[1] != "%f")
        __builtin_trap();
    (void)readDesktopEntry(std::string(reinterpret_cast<const char*>(data), size));
    (void)parseExecValue(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
