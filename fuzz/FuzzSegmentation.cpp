// Segmentation and grouping over any cut points: the volumes joined are always the text, and
// there are ceil(pieces / N) of them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "splitter/Volumes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioknife::splitter;
    if (size < 2) return 0;
    const std::int64_t perVolume = 1 + data[0] % 16;
    const std::size_t cuts = data[1] % 32;
    const std::string raw(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string& text = raw;
    // Ascending, non-overlapping offsets, as the matcher gives them.
    std::vector<ExpressionMatch> matches;
    std::int64_t at = 0;
    for (std::size_t i = 0; i < cuts && !text.empty(); ++i) {
        at +=
            static_cast<std::int64_t>(raw.size() > i ? static_cast<unsigned char>(raw[i]) % 7 : 1);
        if (at > static_cast<std::int64_t>(text.size())) break;
        matches.push_back({at, 0});
    }
    const auto pieces = segmentChapters(text, matches);
    if (pieces.size() != matches.size() + 1) __builtin_trap();
    const auto volumes = groupVolumes(pieces, perVolume);
    if (volumes.size() != (pieces.size() + perVolume - 1) / perVolume) __builtin_trap();
    std::string joined;
    for (const auto& v : volumes)
        for (auto span : v.spans) joined += span;
    if (joined != text) __builtin_trap();
    return 0;
}
