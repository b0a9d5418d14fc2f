#include "epub/EpubText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <cpuid.h>
#include <immintrin.h>
#endif

#include "splitter/Unicode.h"

namespace folioknife::epub {

namespace {

// Every text here has come out of a conversion and is valid UTF-8; a damaged byte still moves
// on by one.
using splitter::decodeUtf8At;

bool isBlank(char32_t c) { return c == ' ' || c == '\t' || c == 0x3000 || c == 0xA0; }

// The length of the blanks that begin the text.
std::size_t blanksAtStart(std::string_view s) {
    std::size_t at = 0, length = 0;
    while (at < s.size() && isBlank(decodeUtf8At(s, at, length))) at += length;
    return at;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// After a label such as 作者 or 书名: blanks, a colon (full-width or not), and the value.
bool valueAfter(std::string_view line, std::string_view label, std::string& value) {
    if (!startsWith(line, label)) return false;
    std::string_view rest = line.substr(label.size());
    rest.remove_prefix(blanksAtStart(rest));
    if (startsWith(rest, "：")) {
        rest.remove_prefix(std::strlen("："));
    } else if (startsWith(rest, ":")) {
        rest.remove_prefix(1);
    } else {
        return false;
    }
    value = std::string(trimmed(rest));
    return !value.empty();
}

}  // namespace

std::size_t unfitForXmlAt(std::string_view utf8, std::size_t at) {
    const auto c = static_cast<unsigned char>(utf8[at]);
    if (c < 0x20) return c == '\t' || c == '\n' || c == '\r' ? 0 : 1;
    // U+FFFE and U+FFFF: EF BF BE and EF BF BF.
    if (c == 0xEF && utf8.substr(at + 1, 1) == "\xBF" &&
        (utf8.substr(at + 2, 1) == "\xBE" || utf8.substr(at + 2, 1) == "\xBF"))
        return 3;
    return 0;
}

namespace {

// The bytes appendEscaped looks at: the markup characters, control characters, and EF, which
// begins U+FFFE and U+FFFF. The rest is copied in runs.
struct SpecialBytes {
    bool is[256] = {};
    SpecialBytes() {
        for (int c = 0; c < 0x20; ++c) is[c] = true;
        is[static_cast<unsigned char>('&')] = is[static_cast<unsigned char>('<')] = true;
        is[static_cast<unsigned char>('>')] = is[0xEF] = true;
    }
};
const SpecialBytes kSpecial;

}  // namespace

void appendEscaped(std::string& out, std::string_view text) {
    std::size_t done = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!kSpecial.is[bytes[i]]) continue;
        const char c = text[i];
        const char* entity = nullptr;
        if (const std::size_t unfit = c != '\r' ? unfitForXmlAt(text, i) : 0) {
            out.append(text, done, i - done);
            out += "\xEF\xBF\xBD";  // U+FFFD
            i += unfit - 1;
            done = i + 1;
            continue;
        }
        switch (c) {
            case '&':
                entity = "&amp;";
                break;
            case '<':
                entity = "&lt;";
                break;
            case '>':
                entity = "&gt;";
                break;
            case '\r':
                entity = "&#13;";
                break;
            default:
                continue;
        }
        out.append(text, done, i - done);
        out += entity;
        done = i + 1;
    }
    out.append(text, done, text.size() - done);
}

bool unescapeInto(std::string& out, std::string_view escaped) {
    std::size_t done = 0;
    for (std::size_t amp = escaped.find('&'); amp != std::string_view::npos;
         amp = escaped.find('&', done)) {
        out.append(escaped, done, amp - done);
        const std::size_t semicolon = escaped.find(';', amp);
        if (semicolon == std::string_view::npos || semicolon - amp > 10) return false;
        const std::string_view name = escaped.substr(amp + 1, semicolon - amp - 1);
        if (name == "amp") {
            out += '&';
        } else if (name == "lt") {
            out += '<';
        } else if (name == "gt") {
            out += '>';
        } else if (name == "quot") {
            out += '"';
        } else if (name == "apos") {
            out += '\'';
        } else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            char32_t c = 0;
            const std::string_view digits = name.substr(hex ? 2 : 1);
            if (digits.empty()) return false;
            for (char d : digits) {
                int v = d >= '0' && d <= '9'          ? d - '0'
                        : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                        : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                      : -1;
                if (v < 0) return false;
                c = c * (hex ? 16 : 10) + static_cast<char32_t>(v);
                if (c > 0x10FFFF) return false;
            }
            splitter::appendUtf8(out, c);
        } else {
            return false;
        }
        done = semicolon + 1;
    }
    out.append(escaped, done, escaped.size() - done);
    return true;
}

std::string_view paragraphOf(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line.remove_prefix(blanksAtStart(line));
    return line;
}

std::string_view trimmed(std::string_view line) {
    line = paragraphOf(line);
    // The last blank: walk forward, remembering where the trailing run of blanks began.
    std::size_t at = 0, length = 0, end = 0;
    while (at < line.size()) {
        const char32_t c = decodeUtf8At(line, at, length);
        at += length;
        if (!isBlank(c)) end = at;
    }
    return line.substr(0, end);
}

namespace {

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define FOLIOKNIFE_SHA_INSTRUCTIONS 1

// Whether the processor has the SHA instructions (and the SSSE3 and SSE4.1 that go with them).
bool hasShaInstructions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool sse = (c & (1u << 9)) && (c & (1u << 19));
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return sse && (b & (1u << 29));
}

// Rounds 4s to 4s + 3 of the 80, with the function F (0 to 3, a constant the instruction
// takes). The message's words go round in msg[0..3], each four extended as the rounds go.
template <int F>
__attribute__((target("sha,ssse3,sse4.1"), always_inline)) inline void fourRounds(int s,
                                                                                  __m128i msg[4],
                                                                                  __m128i e[2],
                                                                                  __m128i& abcd) {
    const __m128i m = msg[s % 4];
    e[s % 2] = s == 0 ? _mm_add_epi32(e[0], m) : _mm_sha1nexte_epu32(e[s % 2], m);
    e[(s + 1) % 2] = abcd;
    if (s >= 3 && s <= 18) msg[(s + 1) % 4] = _mm_sha1msg2_epu32(msg[(s + 1) % 4], m);
    abcd = _mm_sha1rnds4_epu32(abcd, e[s % 2], F);
    if (s >= 1 && s <= 16) msg[(s + 3) % 4] = _mm_sha1msg1_epu32(msg[(s + 3) % 4], m);
    if (s >= 2 && s <= 17) msg[(s + 2) % 4] = _mm_xor_si128(msg[(s + 2) % 4], m);
}

// The blocks through the processor's SHA instructions: several times as fast as the rounds
// in plain code, which a novel of a hundred megabytes feels.
__attribute__((target("sha,ssse3,sse4.1"))) void compressWithShaInstructions(std::uint32_t h[5],
                                                                             const unsigned char* p,
                                                                             std::size_t blocks) {
    // The instructions take the words in the other order, each big-endian.
    const __m128i reverse = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0x1B);
    __m128i e0 = _mm_set_epi32(static_cast<int>(h[4]), 0, 0, 0);
    for (; blocks > 0; --blocks, p += 64) {
        const __m128i abcdBefore = abcd, eBefore = e0;
        __m128i msg[4], e[2] = {e0, e0};
        for (int i = 0; i < 4; ++i) {
            msg[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)),
                                      reverse);
        }
        for (int s = 0; s < 5; ++s) fourRounds<0>(s, msg, e, abcd);
        for (int s = 5; s < 10; ++s) fourRounds<1>(s, msg, e, abcd);
        for (int s = 10; s < 15; ++s) fourRounds<2>(s, msg, e, abcd);
        for (int s = 15; s < 20; ++s) fourRounds<3>(s, msg, e, abcd);
        e0 = _mm_sha1nexte_epu32(e[0], eBefore);
        abcd = _mm_add_epi32(abcd, abcdBefore);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_shuffle_epi32(abcd, 0x1B));
    h[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}
#endif

// SHA-1, a block of 64 bytes at a time: the hash of a whole novel takes about as long as
// converting it, and a byte at a time several times longer.
class Sha1 {
public:
    void add(const unsigned char* bytes, std::size_t n) {
        length_ += n;
        if (used_ > 0) {
            const std::size_t take = std::min(n, sizeof block_ - used_);
            std::memcpy(block_ + used_, bytes, take);
            used_ += take;
            bytes += take;
            n -= take;
            if (used_ < sizeof block_) return;
            compress(block_, 1);
            used_ = 0;
        }
        compress(bytes, n / sizeof block_);
        bytes += n - n % sizeof block_;
        n %= sizeof block_;
        std::memcpy(block_, bytes, n);
        used_ = n;
    }
    // The 20 bytes of the digest; the hash is spent.
    void finish(unsigned char digest[20]) {
        const std::uint64_t bits = length_ * 8;
        const unsigned char one = 0x80, zero = 0;
        add(&one, 1);
        while (used_ != 56) add(&zero, 1);
        unsigned char size[8];
        for (int i = 0; i < 8; ++i) size[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
        add(size, 8);
        for (int i = 0; i < 20; ++i)
            digest[i] = static_cast<unsigned char>(h_[i / 4] >> (24 - 8 * (i % 4)));
    }

private:
    static std::uint32_t rotate(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
    void compress(const unsigned char* p, std::size_t blocks) {
#ifdef FOLIOKNIFE_SHA_INSTRUCTIONS
        static const bool instructions = hasShaInstructions();
        if (instructions) {
            compressWithShaInstructions(h_, p, blocks);
            return;
        }
#endif
        for (; blocks > 0; --blocks, p += 64) compressOne(p);
    }
    void compressOne(const unsigned char* p) {
        std::uint32_t w[80];
        for (int i = 0; i < 16; ++i) {
            w[i] = std::uint32_t{p[4 * i]} << 24 | std::uint32_t{p[4 * i + 1]} << 16 |
                   std::uint32_t{p[4 * i + 2]} << 8 | std::uint32_t{p[4 * i + 3]};
        }
        for (int i = 16; i < 80; ++i) w[i] = rotate(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4];
        for (int i = 0; i < 80; ++i) {
            std::uint32_t f, k;
            if (i < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999;
            } else if (i < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6;
            }
            const std::uint32_t t = rotate(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = rotate(b, 30);
            b = a;
            a = t;
        }
        h_[0] += a;
        h_[1] += b;
        h_[2] += c;
        h_[3] += d;
        h_[4] += e;
    }

    std::uint32_t h_[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    unsigned char block_[64] = {};
    std::size_t used_ = 0;
    std::uint64_t length_ = 0;
};

}  // namespace

std::string identifierOf(std::string_view bytes) {
    // Our own namespace, 6f1c2a52-8f0e-4d55-9a43-0c9d1f5b7e21: the identifiers of novels made
    // into books by folioknife.
    static const unsigned char kNamespace[16] = {0x6f, 0x1c, 0x2a, 0x52, 0x8f, 0x0e, 0x4d, 0x55,
                                                 0x9a, 0x43, 0x0c, 0x9d, 0x1f, 0x5b, 0x7e, 0x21};
    Sha1 sha1;
    sha1.add(kNamespace, sizeof kNamespace);
    sha1.add(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    unsigned char digest[20];
    sha1.finish(digest);
    digest[6] = static_cast<unsigned char>((digest[6] & 0x0F) | 0x50);  // version 5
    digest[8] = static_cast<unsigned char>((digest[8] & 0x3F) | 0x80);  // RFC 4122 variant
    static const char kHex[] = "0123456789abcdef";
    std::string out = "urn:uuid:";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 0x0F];
    }
    return out;
}

std::string shortened(std::string_view text, std::size_t characters) {
    std::size_t at = 0, length = 0;
    for (std::size_t n = 0; n < characters && at < text.size(); ++n) {
        decodeUtf8At(text, at, length);
        at += length;
    }
    if (at >= text.size()) return std::string(text);
    return std::string(text.substr(0, at)) + "…";
}

namespace {

// The bracket pairs that enclose release tags, and the words that are tags on their own.
const std::pair<const char*, const char*> kTagBrackets[] = {{"【", "】"}, {"[", "]"},   {"(", ")"},
                                                            {"（", "）"}, {"〔", "〕"}, {"{", "}"}};
const char* const kTagWords[] = {"txt",  "TXT",    "Txt",  "全本",   "全集",   "完结",
                                 "完本", "精校版", "精校", "校对版", "未删节", "无删减"};

// The text less every bracketed group and its blanks around.
std::string withoutBracketed(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        bool removed = false;
        for (const auto& [open, close] : kTagBrackets) {
            if (!startsWith(text, open)) continue;
            const std::size_t end = text.find(close, std::strlen(open));
            if (end == std::string_view::npos) continue;
            text.remove_prefix(end + std::strlen(close));
            removed = true;
            break;
        }
        if (removed) continue;
        std::size_t length = 0;
        decodeUtf8At(text, 0, length);
        out.append(text.substr(0, length));
        text.remove_prefix(length);
    }
    return out;
}

// The text less tag words and separators at its ends.
std::string_view withoutTagWords(std::string_view text) {
    for (bool again = true; again;) {
        again = false;
        text = trimmed(text);
        for (const char* word : kTagWords) {
            const std::size_t n = std::strlen(word);
            if (text.size() > n && text.substr(text.size() - n) == word) {
                text.remove_suffix(n);
                again = true;
            } else if (text.size() > n && startsWith(text, word)) {
                text.remove_prefix(n);
                again = true;
            }
        }
        for (const char* separator : {".", "_", "-", "—", "·", "：", ":", "，", ","}) {
            const std::size_t n = std::strlen(separator);
            if (text.size() > n && text.substr(text.size() - n) == separator) {
                text.remove_suffix(n);
                again = true;
            }
        }
    }
    return text;
}

// The name after 作者：/作者: in the text, up to a bracket or the end; empty when none.
std::string authorAfterLabel(std::string_view text) {
    const std::size_t at = text.find("作者");
    if (at == std::string_view::npos) return {};
    std::string value;
    if (!valueAfter(text.substr(at), "作者", value)) return {};
    for (const auto& [open, close] : kTagBrackets) {
        (void)close;
        const std::size_t bracket = value.find(open);
        if (bracket != std::string::npos) value.erase(bracket);
    }
    return std::string(trimmed(value));
}

// The author of a line "某人 著" or "某人著": a short line, the name before 著.
std::string authorBeforeZhu(std::string_view line) {
    const std::string_view zhu = "著";
    if (line.size() <= zhu.size() || line.substr(line.size() - zhu.size()) != zhu) return {};
    const std::string_view name = trimmed(line.substr(0, line.size() - zhu.size()));
    // A name, not a sentence: a few characters without punctuation.
    if (name.empty() || name.size() > 30 || name.find("，") != std::string_view::npos ||
        name.find("。") != std::string_view::npos)
        return {};
    return std::string(name);
}

bool isDescriptionLabel(std::string_view line, std::string& rest) {
    for (const char* label : {"内容简介", "作品简介", "内容提要", "简介"}) {
        std::string_view l = line;
        if (startsWith(l, "【")) l.remove_prefix(std::strlen("【"));
        if (!startsWith(l, label)) continue;
        l.remove_prefix(std::strlen(label));
        if (startsWith(l, "】")) l.remove_prefix(std::strlen("】"));
        l = trimmed(l);
        if (startsWith(l, "：")) {
            l.remove_prefix(std::strlen("："));
        } else if (startsWith(l, ":")) {
            l.remove_prefix(1);
        } else if (!l.empty()) {
            continue;  // 简介 that begins a sentence
        }
        rest = std::string(trimmed(l));
        return true;
    }
    return false;
}

}  // namespace

NamedInFront findTitleAndAuthor(std::string_view firstLines) {
    NamedInFront found;
    bool describing = false;  // after a 内容简介 line
    int described = 0;        // its paragraphs taken
    while (!firstLines.empty()) {
        const std::size_t end = firstLines.find('\n');
        std::string_view line = trimmed(firstLines.substr(0, end));
        firstLines.remove_prefix(end == std::string_view::npos ? firstLines.size() : end + 1);
        if (line.empty()) continue;

        std::string value;
        if (describing) {
            if (valueAfter(line, "作者", value) || valueAfter(line, "书名", value) ||
                ++described > 5 || found.description.size() > 1000) {
                describing = false;
            } else {
                if (!found.description.empty()) found.description += '\n';
                found.description += std::string(line);
                continue;
            }
        }
        if (found.description.empty() && isDescriptionLabel(line, value)) {
            found.description = value;
            describing = true;
            described = value.empty() ? 0 : 1;
            continue;
        }
        if (found.title.empty() && valueAfter(line, "书名", value)) {
            found.title = cleanTitle(value);
            continue;
        }
        // Release tags before the title: 【全本精校】《书名》.
        std::string_view bare = line;
        while (startsWith(bare, "【") || startsWith(bare, "[")) {
            const std::size_t close = bare.find(startsWith(bare, "【") ? "】" : "]");
            if (close == std::string_view::npos) break;
            bare = trimmed(bare.substr(close + (startsWith(bare, "【") ? std::strlen("】") : 1)));
        }
        if (startsWith(bare, "《")) {
            const std::size_t close = bare.find("》");
            if (close != std::string_view::npos) {
                const std::string_view title = trimmed(bare.substr(3, close - 3));
                if (found.title.empty() && !title.empty()) found.title = std::string(title);
                // "《书名》作者：某人" on one line.
                line = trimmed(bare.substr(close + std::strlen("》")));
            }
        }
        if (found.author.empty()) {
            found.author = authorAfterLabel(line);
            if (found.author.empty()) found.author = authorBeforeZhu(line);
        }
    }
    return found;
}

std::string cleanTitle(std::string_view title) {
    const std::string_view whole = trimmed(title);
    std::string_view t = whole;
    // 《书名》 names the title whatever stands around it.
    const std::size_t open = t.find("《");
    if (open != std::string_view::npos) {
        const std::size_t close = t.find("》", open);
        if (close != std::string_view::npos) {
            const std::string_view inner =
                trimmed(t.substr(open + std::strlen("《"), close - open - std::strlen("《")));
            if (!inner.empty()) return std::string(inner);
        }
    }
    std::string bare = withoutBracketed(t);
    const std::size_t author = bare.find("作者");
    if (author != std::string::npos && author > 0) bare.erase(author);
    const std::string_view cleaned = withoutTagWords(bare);
    return cleaned.empty() ? std::string(whole) : std::string(cleaned);
}

NamedInFront namedInFileName(std::string_view stem) {
    NamedInFront named;
    named.title = cleanTitle(stem);
    named.author = authorAfterLabel(stem);
    return named;
}

std::string languageOf(std::string_view utf8) {
    std::size_t chinese = 0, latin = 0;
    for (std::size_t at = 0, length = 0; at < utf8.size(); at += length) {
        const char32_t c = decodeUtf8At(utf8, at, length);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            ++latin;
        } else if ((c >= 0x3040 && c < 0xA000) || (c >= 0xF900 && c < 0xFB00)) {
            ++chinese;
        }
    }
    return chinese >= latin ? "zh" : "en";
}

bool isLanguageTag(std::string_view tag) {
    // ALPHA{2,8} ("-" ALNUM{1,8})*, which covers the tags readers use.
    std::size_t part = 0, length = 0;
    for (std::size_t i = 0; i <= tag.size(); ++i) {
        if (i == tag.size() || tag[i] == '-') {
            if (length == 0 || length > 8 || (part == 0 && length < 2)) return false;
            ++part;
            length = 0;
            continue;
        }
        const char c = tag[i];
        const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alpha && !(part > 0 && c >= '0' && c <= '9')) return false;
        ++length;
    }
    return true;
}

}  // namespace folioknife::epub
