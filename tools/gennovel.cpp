// Writes a synthetic novel of our own making: a preface, then chapters whose headings are
// 第<number>章 with Chinese numerals or ASCII digits, paragraphs of common characters, CRLF
// line ends. GBK, UTF-8 or UTF-16 (with its byte-order mark). Prints the number of headings it
// wrote.
//
// --reader writes a novel as readers download them: a table of contents listing every
// chapter, headings in many forms (indented, 【第N章】, 《书》第N章, 第一卷 第N章, blanks and
// ideographic spaces inside, full-width digits, 两 and 万), and references to chapters inside
// sentences (正如第N章所说，…), which are no headings. --damage overwrites one byte in the
// middle of the text with 0xFF (a UTF-8 novel with rare damage).
//
//   fk-gennovel OUT [--encoding gbk|utf8|utf16le|utf16be] [--chapters N] [--chapter-bytes B]
//               [--seed S] [--no-preface] [--lf] [--reader] [--damage]
//   fk-gennovel --help
#include <iconv.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Common characters; no 第 or 章, and (in GBK) none whose second byte is B5, the first byte of
// 第, so that no heading can appear across two characters of the body.
const char* kPool =
    "天地人你我他她它们的了是在有不这个上来到时大和要出也得就那生会自着去之过家学对可里后"
    "小么心多天而能好都然没日于起还发成事只作当想看文无开手十用主行方又如前所本见经头面公同"
    "三已老从动两长知民样现分将外但身些与高意进把法此回二理美点月明其种声全工己话儿者向情"
    "部正名定女问力机给等几很最间新什打便位因重被走电四张少次风光山水花草树木云雨雪春夏秋"
    "冬江河湖海城门路桥书画琴棋诗酒茶剑刀马船灯夜梦星辰";
const char* kPunctuation[] = {"，", "。", "！", "？", "；", "：", "、"};
const char* kDigitsCn[] = {"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};

std::string chineseNumber(unsigned n) {
    if (n == 0) return kDigitsCn[0];
    static const char* units[] = {"", "十", "百", "千"};
    std::string out;
    unsigned digits[4] = {n % 10, n / 10 % 10, n / 100 % 10, n / 1000 % 10};
    int top = n >= 1000 ? 3 : n >= 100 ? 2 : n >= 10 ? 1 : 0;
    bool zero = false;
    for (int i = top; i >= 0; --i) {
        unsigned d = digits[i];
        if (d == 0) {
            zero = true;
            continue;
        }
        if (zero && !out.empty()) out += kDigitsCn[0];
        zero = false;
        if (!(i == 1 && d == 1 && top == 1)) out += kDigitsCn[d];
        out += units[i];
    }
    return out;
}

std::vector<std::string> splitUtf8(const std::string& s) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t n = (static_cast<unsigned char>(s[i]) >= 0xE0) ? 3 : 1;
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

std::string toEncoding(const std::string& utf8, const std::string& encoding) {
    if (encoding == "utf8") return utf8;
    const char* target = encoding == "utf16le"   ? "UTF-16LE"
                         : encoding == "utf16be" ? "UTF-16BE"
                                                 : "GBK";
    iconv_t cd = iconv_open(target, "UTF-8");
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = &out[0];
    size_t outLeft = out.size();
    if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<size_t>(-1)) {
        std::cerr << "cannot convert to " << target << "\n";
        std::exit(2);
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

const char* const kUsage =
    "usage: fk-gennovel OUT [--encoding gbk|utf8|utf16le|utf16be] [--chapters N]\n"
    "                   [--chapter-bytes B] [--seed S] [--no-preface] [--lf] [--reader] "
    "[--damage]\n"
    "Writes a synthetic novel to OUT (default: GBK, 30 chapters of about 3000 bytes, seed 1,\n"
    "a preface, CRLF line ends) and prints the number of headings it wrote.\n";

struct Options {
    std::string path, encoding = "gbk";
    long chapters = 30, chapterBytes = 3000;
    unsigned long long seed = 1;
    bool preface = true, reader = false, damage = false;
    std::string eol = "\r\n";
};

// Refuses the command line with a reason and the usage: exit status 64, as sysexits' EX_USAGE.
[[noreturn]] void refuse(const std::string& reason) {
    std::cerr << "fk-gennovel: " << reason << "\n" << kUsage;
    std::exit(64);
}

unsigned long long number(const std::string& option, const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno == ERANGE || value > LONG_MAX)
        refuse(option + " takes a whole number, not \"" + text + "\"");
    return value;
}

// Every option by name; any other word beginning with "-" is refused, so that a mistyped
// option never becomes the name of the file written.
Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) refuse("missing value for " + a);
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (a == "--encoding") {
            o.encoding = value();
            if (o.encoding != "gbk" && o.encoding != "utf8" && o.encoding != "utf16le" &&
                o.encoding != "utf16be")
                refuse("unknown encoding " + o.encoding);
        } else if (a == "--chapters") {
            o.chapters = static_cast<long>(number(a, value()));
        } else if (a == "--chapter-bytes") {
            o.chapterBytes = static_cast<long>(number(a, value()));
        } else if (a == "--seed") {
            o.seed = number(a, value());
        } else if (a == "--no-preface") {
            o.preface = false;
        } else if (a == "--lf") {
            o.eol = "\n";
        } else if (a == "--reader") {
            o.reader = true;
        } else if (a == "--damage") {
            o.damage = true;
        } else if (!a.empty() && a[0] == '-') {
            refuse("unknown option " + a);
        } else if (!o.path.empty()) {
            refuse("one output file only, not " + o.path + " and " + a);
        } else {
            o.path = a;
        }
    }
    if (o.path.empty()) refuse("no output file");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    const std::string& path = options.path;
    const std::string& encoding = options.encoding;
    const long chapters = options.chapters, chapterBytes = options.chapterBytes;
    const bool preface = options.preface, reader = options.reader, damage = options.damage;
    std::string eol = options.eol;
    const unsigned long long seed = options.seed;
    eol = toEncoding(eol, encoding);
    const std::string space = toEncoding(" ", encoding);
    std::vector<std::string> pool, punct;
    for (const auto& c : splitUtf8(kPool)) pool.push_back(toEncoding(c, encoding));
    for (const char* p : kPunctuation) punct.push_back(toEncoding(p, encoding));
    const std::string indent = toEncoding("　　", encoding);
    const std::string di = toEncoding("第", encoding), zhang = toEncoding("章", encoding);

    std::uint64_t state = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    auto random = [&](std::uint64_t bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (state >> 33) % bound;
    };
    auto paragraph = [&](std::string& out, long bytes) {
        out += indent;
        long written = 0;
        // Now and then a reference to a chapter in the middle of a sentence.
        if (reader && random(3) == 0) {
            out += pool[random(pool.size())] + pool[random(pool.size())];
            out += toEncoding(
                "，正如第" + chineseNumber(1 + static_cast<unsigned>(random(50))) + "章所说，",
                encoding);
        }
        while (written < bytes) {
            long sentence = 8 + static_cast<long>(random(30));
            for (long k = 0; k < sentence; ++k) {
                const std::string& c = pool[random(pool.size())];
                out += c;
                written += static_cast<long>(c.size());
            }
            out += punct[random(punct.size())];
        }
        out += eol;
    };

    std::ofstream file(path, std::ios::binary);
    if (!file) {
        std::cerr << "cannot write " << path << "\n";
        return 2;
    }
    std::string buffer;
    if (encoding == "utf16le") buffer += "\xFF\xFE";
    if (encoding == "utf16be") buffer += "\xFE\xFF";
    if (preface) {
        buffer += toEncoding("序言", encoding) + eol;
        paragraph(buffer, 200);
    }
    // What the heading of chapter n holds from 第 to 章, and what a reader line adds around it.
    auto headingCore = [&](long n) {
        // Every third heading in ASCII digits, the others in Chinese numerals (up to 9999).
        std::string number =
            n % 3 == 0 || n > 9999 ? std::to_string(n) : chineseNumber(static_cast<unsigned>(n));
        if (!reader) return di + toEncoding(number, encoding) + zhang;
        switch (n % 7) {
            case 1:
                return toEncoding("第 " + number + " 章", encoding);
            case 2:
                return toEncoding("第　" + number + "　章", encoding);
            case 3:
                return toEncoding("第两万" + number + "章", encoding);
            case 4: {
                std::string wide;  // full-width digits
                for (char c : std::to_string(n))
                    wide += std::string("\xEF\xBC") + char('\x90' + (c - '0'));
                return toEncoding("第" + wide + "章", encoding);
            }
            default:
                return di + toEncoding(number, encoding) + zhang;
        }
    };
    auto headingLine = [&](long n) {
        const std::string core = headingCore(n);
        if (!reader) return core;
        switch (n % 5) {
            case 1:
                return toEncoding("　　", encoding) + core;
            case 2:
                return toEncoding("【", encoding) + core + toEncoding("】", encoding);
            case 3:
                return toEncoding("《测试之书》", encoding) + core;
            case 4:
                return toEncoding("第一卷", encoding) + space + core;
            default:
                return core;
        }
    };
    if (reader) {
        buffer += toEncoding("目录", encoding) + eol;
        for (long n = 1; n <= chapters; ++n) buffer += headingCore(n) + space + pool[0] + eol;
    }
    for (long n = 1; n <= chapters; ++n) {
        buffer +=
            headingLine(n) + space + pool[random(pool.size())] + pool[random(pool.size())] + eol;
        long body = 0;
        while (body < chapterBytes) {
            std::size_t before = buffer.size();
            paragraph(buffer, 60 + static_cast<long>(random(400)));
            body += static_cast<long>(buffer.size() - before);
        }
        if (buffer.size() > (1u << 22)) {
            file.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            buffer.clear();
        }
    }
    if (damage && !buffer.empty()) buffer[buffer.size() / 2] = '\xFF';
    file.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (!file.flush()) {
        std::cerr << "cannot write " << path << "\n";
        return 2;
    }
    std::cout << chapters << "\n";
    return 0;
}
