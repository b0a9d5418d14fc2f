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

// The novel in the chosen encoding, piece by piece. Every random choice is drawn from one
// generator in a fixed order, so a seed gives the same bytes every time.
class NovelWriter {
public:
    explicit NovelWriter(const Options& options)
        : o_(options),
          eol_(encode(options.eol)),
          space_(encode(" ")),
          indent_(encode("　　")),
          di_(encode("第")),
          zhang_(encode("章")),
          state_(options.seed * 6364136223846793005ULL + 1442695040888963407ULL) {
        for (const auto& c : splitUtf8(kPool)) pool_.push_back(encode(c));
        for (const char* p : kPunctuation) punct_.push_back(encode(p));
    }

    // The byte-order mark, if the encoding has one, and the preface.
    void writeStart(std::string& out) {
        if (o_.encoding == "utf16le") out += "\xFF\xFE";
        if (o_.encoding == "utf16be") out += "\xFE\xFF";
        if (o_.preface) {
            out += encode("序言") + eol_;
            writeParagraph(out, 200);
        }
    }

    // A reader's novel opens with a table of contents listing every chapter.
    void writeContents(std::string& out) {
        if (!o_.reader) return;
        out += encode("目录") + eol_;
        for (long n = 1; n <= o_.chapters; ++n) out += headingCore(n) + space_ + pool_[0] + eol_;
    }

    // Chapter n: its heading line, then paragraphs until the body holds chapterBytes.
    void writeChapter(std::string& out, long n) {
        // Drawn one at a time: the order in which the operands of + are evaluated is the
        // compiler's choice, and the same seed must give the same novel whoever built the
        // generator (the sanitizer build uses clang). This is the order GCC always took.
        const std::string& second = pool_[random(pool_.size())];
        const std::string& first = pool_[random(pool_.size())];
        out += headingLine(n) + space_ + first + second + eol_;
        long body = 0;
        while (body < o_.chapterBytes) {
            std::size_t before = out.size();
            writeParagraph(out, 60 + static_cast<long>(random(400)));
            body += static_cast<long>(out.size() - before);
        }
    }

private:
    std::string encode(const std::string& utf8) const { return toEncoding(utf8, o_.encoding); }

    std::uint64_t random(std::uint64_t bound) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return (state_ >> 33) % bound;
    }

    void writeParagraph(std::string& out, long bytes) {
        out += indent_;
        long written = 0;
        // Now and then a reference to a chapter in the middle of a sentence.
        if (o_.reader && random(3) == 0) {
            const std::string& second = pool_[random(pool_.size())];  // as in writeChapter
            out += pool_[random(pool_.size())] + second;
            out += encode("，正如第" + chineseNumber(1 + static_cast<unsigned>(random(50))) +
                          "章所说，");
        }
        while (written < bytes) {
            long sentence = 8 + static_cast<long>(random(30));
            for (long k = 0; k < sentence; ++k) {
                const std::string& c = pool_[random(pool_.size())];
                out += c;
                written += static_cast<long>(c.size());
            }
            out += punct_[random(punct_.size())];
        }
        out += eol_;
    }

    // What the heading of chapter n holds from 第 to 章.
    std::string headingCore(long n) const {
        // Every third heading in ASCII digits, the others in Chinese numerals (up to 9999).
        std::string number =
            n % 3 == 0 || n > 9999 ? std::to_string(n) : chineseNumber(static_cast<unsigned>(n));
        if (!o_.reader) return di_ + encode(number) + zhang_;
        switch (n % 7) {
            case 1:
                return encode("第 " + number + " 章");
            case 2:
                return encode("第　" + number + "　章");
            case 3:
                return encode("第两万" + number + "章");
            case 4: {
                std::string wide;  // full-width digits
                for (char c : std::to_string(n))
                    wide += std::string("\xEF\xBC") + char('\x90' + (c - '0'));
                return encode("第" + wide + "章");
            }
            default:
                return di_ + encode(number) + zhang_;
        }
    }

    // The heading line of chapter n: the core, and in a reader's novel what is around it.
    std::string headingLine(long n) const {
        const std::string core = headingCore(n);
        if (!o_.reader) return core;
        switch (n % 5) {
            case 1:
                return indent_ + core;
            case 2:
                return encode("【") + core + encode("】");
            case 3:
                return encode("《测试之书》") + core;
            case 4:
                return encode("第一卷") + space_ + core;
            default:
                return core;
        }
    }

    const Options& o_;
    const std::string eol_, space_, indent_, di_, zhang_;
    std::vector<std::string> pool_, punct_;
    std::uint64_t state_;
};

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    NovelWriter novel(options);
    std::ofstream file(options.path, std::ios::binary);
    if (!file) {
        std::cerr << "cannot write " << options.path << "\n";
        return 2;
    }
    std::string buffer;
    novel.writeStart(buffer);
    novel.writeContents(buffer);
    for (long n = 1; n <= options.chapters; ++n) {
        novel.writeChapter(buffer, n);
        if (buffer.size() > (1u << 22)) {
            file.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            buffer.clear();
        }
    }
    if (options.damage && !buffer.empty()) buffer[buffer.size() / 2] = '\xFF';
    file.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (!file.flush()) {
        std::cerr << "cannot write " << options.path << "\n";
        return 2;
    }
    std::cout << options.chapters << "\n";
    return 0;
}
