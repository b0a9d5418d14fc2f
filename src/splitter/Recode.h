#pragma once
// Volumes written in another encoding than the novel's (folioknife-split --to): the text is
// converted without loss or not at all, and what was written can be turned back into the
// novel's bytes to be compared with them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "splitter/CodePage.h"
#include "splitter/DocumentEncoding.h"

namespace folioknife::splitter {

// The text in encoding 'to' (an iconv name: "UTF-8", "GBK", "UTF-16LE", "UTF-16BE", ...);
// nothing when one of its characters is ill-formed or has no place in 'to'. UTF-16 on either
// side is converted here, the others by the system.
std::optional<std::string> recode(std::string_view text, const std::string& from,
                                  const std::string& to);

// The novel's bytes in UTF-8, for the user to read: UTF-16 decoded (a unit that is no
// character becomes U+FFFD), the other encodings as convertForDisplay shows them.
std::string readableUtf8(std::string_view text, const DocumentEncoding& encoding);

// Where the first character that cannot be converted stands (a byte offset in 'text'); the
// text's size when every one can.
std::size_t firstUnconvertible(std::string_view text, const DocumentEncoding& from,
                               const std::string& to);

// How the volumes of a novel look in another encoding. The novel's own byte-order mark is no
// character of its text: it leaves the first volume, and is given back when the volumes are
// read back. UTF-16 volumes each begin with their mark, so that each opens on its own.
struct VolumeForm {
    std::string to;          // the encoding written; empty: the novel's own bytes
    std::string from;        // the novel's encoding
    std::string sourceMark;  // the byte-order mark the novel begins with, if any
    std::string mark;        // what begins every volume written (FF FE for UTF-16LE)
};
VolumeForm volumeFormFor(std::string_view text, const DocumentEncoding& encoding,
                         const std::string& to);

// The bytes of volume k (1-based) as read from its file, turned back into the novel's bytes;
// nothing when they do not begin with the form's mark or do not convert back.
std::optional<std::string> readBackVolume(const VolumeForm& form, std::size_t k,
                                          std::string_view written);

}  // namespace folioknife::splitter
