#pragma once
// What the window program's resources must hold: icon group 128 with 16, 32 and 48 pixel
// images at 32 bits per pixel, and a manifest (RT_MANIFEST 1) that asks for version 6 of the
// common controls. Returns what is wrong, empty when nothing is.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>

namespace folioknife::testing {

inline std::string resourceBytes(HMODULE module, LPCSTR type, LPCSTR name) {
    HRSRC found = FindResourceA(module, name, type);
    if (!found) return std::string();
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return std::string();
    return std::string(static_cast<const char*>(data), SizeofResource(module, found));
}

inline std::string checkWindowResources(HMODULE module) {
    std::string problems;
    // GRPICONDIR: reserved, type 1, count; then 14-byte entries: width, height, colours,
    // reserved, planes, bit count, bytes, id.
    const std::string group = resourceBytes(module, MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(128));
    if (group.size() < 6) return "no icon group 128\n";
    std::uint16_t header[3];
    std::memcpy(header, group.data(), sizeof header);
    if (header[1] != 1) problems += "icon group 128 is not an icon\n";
    std::set<int> sizes;
    for (std::size_t i = 0; i < header[2] && 6 + 14 * (i + 1) <= group.size(); ++i) {
        const unsigned char* e = reinterpret_cast<const unsigned char*>(group.data()) + 6 + 14 * i;
        const int width = e[0] ? e[0] : 256;
        const int bits = e[6] | e[7] << 8;
        if (e[0] != e[1]) problems += "an icon image is not square\n";
        if (bits != 32) problems += "an icon image has " + std::to_string(bits) + " bits\n";
        sizes.insert(width);
    }
    if (sizes != std::set<int>{16, 32, 48}) problems += "icon sizes are not 16, 32 and 48\n";

    const std::string manifest = resourceBytes(module, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    if (manifest.empty()) return problems + "no manifest 1\n";
    if (manifest.find("name=\"Microsoft.Windows.Common-Controls\"") == std::string::npos ||
        manifest.find("version=\"6.0.0.0\"") == std::string::npos)
        problems += "the manifest does not ask for common controls 6.0.0.0\n";
    return problems;
}

}  // namespace folioknife::testing
