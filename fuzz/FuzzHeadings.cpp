// The heading rules over any bytes, as a novel of any encoding: no crash, no hang; headings in
// order, not overlapping, inside the text, between characters of the novel's encoding (in
// UTF-16 never inside a surrogate pair); and never more than the plain search finds.
#include <cstdint>
#include <string>

#include "splitter/ChapterHeadings.h"
#include "splitter/CodePage.h"
#include "splitter/DocumentEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioknife::splitter;
    static const bool once = (setProgramCodePage("UTF-8"), true);
    (void)once;
    if (size == 0) return 0;
    // The first byte chooses the encoding, the rest is the novel.
    static const char* const kCodePages[] = {"UTF-8", "GB18030", "UTF-16LE", "UTF-16BE"};
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    {
        const DocumentEncoding encoding = encodingOf(kCodePages[data[0] % 4]);
        const HeadingSearch sorted =
            searchDefaultHeadings("第", "章", input, encoding, HeadingRules{});
        HeadingRules none;
        none.lineRule = none.contentsRule = false;
        // With the suffix the rules ended up with: 章, or the one they fell back to.
        const HeadingSearch plain =
            searchDefaultHeadings("第", sorted.suffix, input, encoding, none);
        std::size_t chapters = 0;
        for (const HeadingDetail& d : sorted.details) chapters += d.kind == HeadingKind::Chapter;
        if (sorted.details.size() != sorted.headings.size() ||
            chapters + static_cast<std::size_t>(sorted.leftOutInText + sorted.leftOutAsContents +
                                                sorted.leftOutRepeated) !=
                plain.headings.size())
            __builtin_trap();
        // A heading's piece begins at the start of its line. Damaged bytes may follow the line
        // end (a stray UTF-8 continuation byte is "inside" no character, yet no boundary
        // either): a cut right after a line feed or a lone CR splits no character all the same.
        const auto atLineStart = [&](std::int64_t at) {
            const bool utf16 = isUtf16(encoding.characters);
            if (at == 0) return true;
            const auto lineEnd = [](char c) { return c == '\n' || c == '\r'; };
            if (!utf16) return lineEnd(input[static_cast<std::size_t>(at - 1)]);
            if (at % 2 != 0 || at < 2) return false;
            const bool le = encoding.characters == CharacterSet::Utf16Le;
            return lineEnd(input[static_cast<std::size_t>(at - (le ? 2 : 1))]) &&
                   input[static_cast<std::size_t>(at - (le ? 1 : 2))] == '\0';
        };
        std::int64_t previousEnd = 0;
        for (const auto& m : sorted.headings) {
            if (m.offset < previousEnd || m.length <= 0 ||
                m.offset + m.length > static_cast<std::int64_t>(input.size()))
                __builtin_trap();
            if ((!atLineStart(m.offset) &&
                 !isCharacterBoundary(input, static_cast<std::size_t>(m.offset),
                                      encoding.characters)) ||
                !isCharacterBoundary(input, static_cast<std::size_t>(m.offset + m.length),
                                     encoding.characters))
                __builtin_trap();
            previousEnd = m.offset + m.length;
        }
    }
    return 0;
}
