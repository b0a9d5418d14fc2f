// splitCommandLine and commandLineRest over any bytes: no crash, every item is made of the
// line's own bytes, and the rest is a stretch of the line without blanks at either end.
#include <cstdint>
#include <string>

#include "app/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    std::size_t total = 0;
    for (const auto& item : folioknife::app::splitCommandLine(line)) total += item.size();
    if (total > line.size()) __builtin_trap();
    const auto folder =
        folioknife::app::deriveOutputDirectory(line, folioknife::splitter::PathStyle::Windows);
    if (line.compare(0, folder.size(), folder) != 0) __builtin_trap();
    const auto rest = folioknife::app::commandLineRest(line);
    if (line.find(rest) == std::string::npos) __builtin_trap();
    if (!rest.empty() &&
        (rest.front() == ' ' || rest.back() == ' ' || rest.front() == '\t' || rest.back() == '\t'))
        __builtin_trap();
    return 0;
}
