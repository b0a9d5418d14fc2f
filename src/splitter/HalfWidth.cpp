#include "splitter/HalfWidth.h"

#include "splitter/LeadBytes.h"

namespace folioknife::splitter {

namespace {
bool isDoubleByteCodePage(const std::string& codePage) {
    return sameCodePage(codePage, "GBK") || sameCodePage(codePage, "GB18030") ||
           sameCodePage(codePage, "GB2312") || sameCodePage(codePage, "EUC-CN");
}
}  // namespace

Text foldHalfWidth(std::string_view text, const std::string& codePage) {
    Text out;
    out.reserve(text.size());
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (sameCodePage(codePage, "UTF-8")) {
        for (std::size_t i = 0; i < text.size();) {
            // U+FF0B plus, U+FF0D minus, U+FF10..U+FF19 digits: EF BC 8B / 8D / 90..99.
            if (i + 2 < text.size() && byte(i) == 0xEF && byte(i + 1) == 0xBC) {
                unsigned c = byte(i + 2);
                if (c == 0x8B || c == 0x8D || (c >= 0x90 && c <= 0x99)) {
                    out += static_cast<char>(c - 0x8B + '+');
                    i += 3;
                    continue;
                }
            }
            // U+3000 ideographic space: E3 80 80.
            if (i + 2 < text.size() && byte(i) == 0xE3 && byte(i + 1) == 0x80 &&
                byte(i + 2) == 0x80) {
                out += ' ';
                i += 3;
                continue;
            }
            out += text[i++];
        }
        return out;
    }
    if (!isDoubleByteCodePage(codePage)) return Text(text);
    for (std::size_t i = 0; i < text.size();) {
        unsigned lead = byte(i);
        if (!isLeadByte(static_cast<unsigned char>(lead), LeadBytes::Dbcs) ||
            i + 1 >= text.size()) {
            out += text[i++];
            continue;
        }
        unsigned trail = byte(i + 1);
        if (lead == 0xA3 && (trail == 0xAB || trail == 0xAD || (trail >= 0xB0 && trail <= 0xB9))) {
            out += static_cast<char>(trail - 0xAB + '+');
        } else if (lead == 0xA1 && trail == 0xA1) {
            out += ' ';
        } else {
            out += text.substr(i, 2);
        }
        i += 2;
    }
    return out;
}

}  // namespace folioknife::splitter
