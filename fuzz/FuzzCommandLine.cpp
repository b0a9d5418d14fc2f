// splitCommandLine over any bytes: no crash, and every item is made of the line's own bytes.
#include <cstdint>
#include <string>

#include "app/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    std::size_t total = 0;
    for (const auto& item : folioknife::app::splitCommandLine(line)) total += item.size();
    if (total > line.size()) __builtin_trap();
    const auto folder = folioknife::app::deriveOutputDirectory(line, "\\");
    if (line.compare(0, folder.size(), folder) != 0) __builtin_trap();
    return 0;
}
