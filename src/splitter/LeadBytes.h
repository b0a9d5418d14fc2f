#pragma once
// Which bytes start a two-byte character in a code page: the one rule by which paths and the
// full-width folding step over whole characters. A second byte can be 0x5C ("\") or 0x7C
// ("|"), so a byte-wise scan would cut a character in two.
#include <string>

namespace folioknife::splitter {

enum class LeadBytes {
    None,      // single-byte code pages, and UTF-8, whose multi-byte characters hold no ASCII
    Dbcs,      // GBK, GB18030's two-byte part, Big5, the Korean code pages: 0x81..0xFE
    ShiftJis,  // 0x81..0x9F and 0xE0..0xFC; 0xA1..0xDF are one-byte katakana
};

LeadBytes leadBytesOf(const std::string& codePage);

inline bool isLeadByte(unsigned char byte, LeadBytes rule) {
    switch (rule) {
        case LeadBytes::None:
            return false;
        case LeadBytes::Dbcs:
            return byte >= 0x81 && byte <= 0xFE;
        case LeadBytes::ShiftJis:
            return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    }
    return false;
}

}  // namespace folioknife::splitter
