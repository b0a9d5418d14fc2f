// The update file's INI lookup and the Content-Length chunk rule over any server answer: no
// crash; the chunk always lies between the default and the largest; a found value never holds
// a line break.
#include <cstdint>
#include <optional>
#include <string>

#include "update/UpdateRules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioknife::update;
    const std::string content(reinterpret_cast<const char*>(data), size);
    const std::string ver = lookupProfileText(content, "up", "ver", "0");
    if (ver.find('\n') != std::string::npos) __builtin_trap();
    (void)isNewerVersion(ver);
    (void)lookupProfileText(content, content.substr(0, 8), content.substr(0, 4), "");
    const std::size_t chunk = chunkSizeFor(content.substr(0, 40));
    if (chunk < 1 || chunk > kLargestChunkSize) __builtin_trap();
    if (chunkSizeFor(std::nullopt) != kDefaultChunkSize) __builtin_trap();
    (void)cutFragment(content);
    return 0;
}
