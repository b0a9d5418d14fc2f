// Writes a synthetic novel of our own making: a preface, then chapters whose headings are
// 第<number>章 with Chinese numerals or ASCII digits, paragraphs of common characters, CRLF
// line ends. GBK or UTF-8. Prints the number of headings it wrote.
//
//   fk-gennovel OUT --encoding gbk|utf8 --chapters N [--chapter-bytes B] [--seed S]
//               [--no-preface] [--lf]
#include <iconv.h>

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
    iconv_t cd = iconv_open("GBK", "UTF-8");
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = &out[0];
    size_t outLeft = out.size();
    if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<size_t>(-1)) {
        std::cerr << "cannot convert to GBK\n";
        std::exit(2);
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path, encoding = "gbk";
    long chapters = 30, chapterBytes = 3000;
    unsigned long long seed = 1;
    bool preface = true;
    std::string eol = "\r\n";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "missing value for " << a << "\n";
                std::exit(64);
            }
            return argv[++i];
        };
        if (a == "--encoding") encoding = next();
        else if (a == "--chapters") chapters = std::stol(next());
        else if (a == "--chapter-bytes") chapterBytes = std::stol(next());
        else if (a == "--seed") seed = std::stoull(next());
        else if (a == "--no-preface") preface = false;
        else if (a == "--lf") eol = "\n";
        else path = a;
    }
    if (path.empty() || (encoding != "gbk" && encoding != "utf8")) {
        std::cerr << "usage: fk-gennovel OUT --encoding gbk|utf8 --chapters N\n";
        return 64;
    }
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
    if (preface) {
        buffer += toEncoding("序言", encoding) + eol;
        paragraph(buffer, 200);
    }
    for (long n = 1; n <= chapters; ++n) {
        // Every third heading in ASCII digits, the others in Chinese numerals (up to 9999).
        std::string number = n % 3 == 0 || n > 9999 ? std::to_string(n)
                                        : toEncoding(chineseNumber(static_cast<unsigned>(n)), encoding);
        buffer += di + number + zhang + " " + pool[random(pool.size())] + pool[random(pool.size())] + eol;
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
    file.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (!file.flush()) {
        std::cerr << "cannot write " << path << "\n";
        return 2;
    }
    std::cout << chapters << "\n";
    return 0;
}
