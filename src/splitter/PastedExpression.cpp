#include "splitter/PastedExpression.h"

#include <cctype>
#include <cstdint>
#include <optional>

#include "splitter/CodePage.h"
#include "splitter/Unicode.h"

namespace folioknife::splitter {

namespace {

constexpr const char kNotDigit[] = "\\x{0}-/:-\\x{10FFFF}";

// Java's named classes and blocks, and the binary properties PCRE2 names otherwise, as members
// of a PCRE2 class. Names are compared without case, spaces, "_" and "-", as Java compares
// block names. Java's POSIX names are ASCII only, as they are there.
struct JavaClass {
    const char* java;
    const char* members;
};
constexpr JavaClass kJavaClasses[] = {
    {"Lower", "a-z"},
    {"Upper", "A-Z"},
    {"ASCII", "\\x{0}-\\x{7F}"},
    {"Alpha", "a-zA-Z"},
    {"Digit", "0-9"},
    {"Alnum", "a-zA-Z0-9"},
    {"Punct", "\\x{21}-\\x{2F}\\x{3A}-\\x{40}\\x{5B}-\\x{60}\\x{7B}-\\x{7E}"},
    {"Graph", "\\x{21}-\\x{7E}"},
    {"Print", "\\x{20}-\\x{7E}"},
    {"Blank", " \\t"},
    {"Cntrl", "\\x{0}-\\x{1F}\\x{7F}"},
    {"XDigit", "0-9a-fA-F"},
    {"Space", "\\t-\\r "},
    // Character.isWhitespace: the separators but the no-break spaces, and the ASCII controls
    // that separate.
    {"javaWhitespace",
     "\\t-\\r\\x{1C}-\\x{20}\\x{1680}\\x{2000}-\\x{2006}\\x{2008}-\\x{200A}\\x{2028}\\x{2029}"
     "\\x{205F}\\x{3000}"},
    {"javaSpaceChar", "\\p{Z}"},
    {"javaLetter", "\\p{L}"},
    {"javaDigit", "\\p{Nd}"},
    {"javaLetterOrDigit", "\\p{L}\\p{Nd}"},
    {"javaIdeographic", "\\p{Ideographic}"},
    {"IsPunctuation", "\\p{P}"},
    {"IsLetter", "\\p{L}"},
    {"IsDigit", "\\p{Nd}"},
    {"IsControl", "\\p{Cc}"},
    {"IsWhiteSpace", "\\p{White_Space}"},
    {"IsAlphabetic", "\\p{Alphabetic}"},
    {"IsIdeographic", "\\p{Ideographic}"},
    {"InBasicLatin", "\\x{0}-\\x{7F}"},
    {"InLatin1Supplement", "\\x{80}-\\x{FF}"},
    {"InGeneralPunctuation", "\\x{2000}-\\x{206F}"},
    {"InLetterlikeSymbols", "\\x{2100}-\\x{214F}"},
    {"InNumberForms", "\\x{2150}-\\x{218F}"},
    {"InEnclosedAlphanumerics", "\\x{2460}-\\x{24FF}"},
    {"InBoxDrawing", "\\x{2500}-\\x{257F}"},
    {"InGeometricShapes", "\\x{25A0}-\\x{25FF}"},
    {"InMiscellaneousSymbols", "\\x{2600}-\\x{26FF}"},
    {"InDingbats", "\\x{2700}-\\x{27BF}"},
    {"InCJKRadicalsSupplement", "\\x{2E80}-\\x{2EFF}"},
    {"InCJKSymbolsAndPunctuation", "\\x{3000}-\\x{303F}"},
    {"InHiragana", "\\x{3040}-\\x{309F}"},
    {"InKatakana", "\\x{30A0}-\\x{30FF}"},
    {"InBopomofo", "\\x{3100}-\\x{312F}"},
    {"InEnclosedCJKLettersAndMonths", "\\x{3200}-\\x{32FF}"},
    {"InCJKCompatibility", "\\x{3300}-\\x{33FF}"},
    {"InCJKUnifiedIdeographsExtensionA", "\\x{3400}-\\x{4DBF}"},
    {"InCJKUnifiedIdeographs", "\\x{4E00}-\\x{9FFF}"},
    {"InCJKCompatibilityIdeographs", "\\x{F900}-\\x{FAFF}"},
    {"InVerticalForms", "\\x{FE10}-\\x{FE1F}"},
    {"InCJKCompatibilityForms", "\\x{FE30}-\\x{FE4F}"},
    {"InHalfwidthAndFullwidthForms", "\\x{FF00}-\\x{FFEF}"},
    {"InCJKUnifiedIdeographsExtensionB", "\\x{20000}-\\x{2A6DF}"},
};

std::string looseName(std::string_view name) {
    std::string out;
    for (const char c : name) {
        if (c == ' ' || c == '_' || c == '-') continue;
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

// The members a Java property name stands for; nothing for a name PCRE2 reads as Java does
// (\p{L}, \p{Lu}) or refuses itself.
std::optional<std::string> javaClassMembers(std::string_view name) {
    const std::size_t equals = name.find('=');
    if (equals != std::string_view::npos) {
        const std::string key = looseName(name.substr(0, equals));
        const std::string_view value = name.substr(equals + 1);
        if (key == "script" || key == "sc" || key == "generalcategory" || key == "gc")
            return "\\p{" + std::string(value) + "}";
        if (key == "block" || key == "blk") return javaClassMembers("In" + std::string(value));
        return std::nullopt;
    }
    const std::string loose = looseName(name);
    for (const JavaClass& c : kJavaClasses) {
        if (looseName(c.java) == loose) return std::string(c.members);
    }
    // \p{IsHan}, \p{IsLatin}, \p{IsLu}: a script or a category, which PCRE2 names without "Is".
    if (loose.size() > 2 && loose.compare(0, 2, "is") == 0)
        return "\\p{" + std::string(name.substr(2)) + "}";
    return std::nullopt;
}

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

unsigned hexValue(std::string_view digits) {
    unsigned value = 0;
    for (const char c : digits)
        value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                       ? c - '0'
                                                       : std::tolower(c) - 'a' + 10);
    return value;
}

std::string codePoint(unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    do {
        hex.insert(hex.begin(), digits[value % 16]);
        value /= 16;
    } while (value != 0);
    return "\\x{" + hex + "}";
}

// In extended mode (?x) a "#" begins a comment to the end of the line.
bool hasExtendedOption(std::string_view e) {
    for (std::size_t at = e.find("(?"); at != std::string_view::npos; at = e.find("(?", at + 1)) {
        for (std::size_t k = at + 2; k < e.size() && std::isalpha(static_cast<unsigned char>(e[k]));
             ++k) {
            if (e[k] == 'x') return true;
        }
    }
    return false;
}

class Preparer {
public:
    explicit Preparer(std::string_view e) : e_(e) {}

    PreparedExpression run() {
        const bool extended = hasExtendedOption(e_);
        for (std::size_t i = 0; i < e_.size() && result_.ok(); ++i) {
            const std::size_t from = i;
            step(i, extended);
            result_.origin.resize(result_.text.size(), from);
        }
        if (!result_.ok()) {
            result_.text.clear();
            result_.origin.clear();
            return std::move(result_);
        }
        result_.origin.push_back(e_.size());
        return std::move(result_);
    }

private:
    void refuse(std::size_t at, std::string reason) {
        result_.at = at;
        result_.reason = std::move(reason);
    }

    void step(std::size_t& i, bool extended) {
        std::string& out = result_.text;
        const char c = e_[i];
        if (c == '\\' && i + 1 < e_.size()) {
            ++i;
            escape(i);
        } else if (inClass_) {
            classMember(i);
        } else if (c == '[') {
            // A "]" right after "[" or "[^" is a member.
            inClass_ = true;
            out += c;
            if (i + 1 < e_.size() && e_[i + 1] == '^') out += e_[++i];
            if (i + 1 < e_.size() && e_[i + 1] == ']') out += e_[++i];
        } else if (c == '#' && extended) {
            const std::size_t stop = e_.find('\n', i);
            const std::size_t to = stop == std::string_view::npos ? e_.size() : stop;
            out.append(e_.substr(i, to - i));
            i = to - 1;
        } else if (c == '(' && e_.substr(i, 2) == "(?") {
            options(i);
        } else {
            out += c;
        }
    }

    // "(?idmsux-idmsux)" or "(?...:": Java's u (Unicode case) and d (Unix lines) change
    // nothing here; its U (Unicode classes) would make every quantifier lazy.
    void options(std::size_t& i) {
        std::size_t k = i + 2;
        while (k < e_.size() && (std::isalpha(static_cast<unsigned char>(e_[k])) || e_[k] == '-'))
            ++k;
        const std::string_view flags = e_.substr(i + 2, k - i - 2);
        const bool setting = k < e_.size() && (e_[k] == ')' || e_[k] == ':') && !flags.empty();
        if (!setting || flags.find_first_of("udU") == std::string_view::npos) {
            result_.text += "(?";
            ++i;
            return;
        }
        if (flags.find('U') != std::string_view::npos) {
            return refuse(i,
                          "(?U) asks Java for Unicode classes, and would make every "
                          "quantifier lazy here: leave it out (\\w and \\s take every script "
                          "already; write \\p{Nd} for a digit of any script)");
        }
        std::string kept;
        for (const char f : flags)
            if (f != 'u' && f != 'd') kept += f;
        if (!kept.empty() && kept.back() == '-') kept.pop_back();
        if (!kept.empty() || e_[k] == ':') result_.text += "(?" + kept + e_[k];
        i = k;
    }

    // The escape whose letter stands at 'i' (after its "\"); 'i' is left on its last character.
    void escape(std::size_t& i) {
        std::string& out = result_.text;
        const char next = e_[i];
        if (next == 'Q') {
            // Quoted to \E: nothing in it is syntax.
            const std::size_t stop = e_.find("\\E", i + 1);
            const std::size_t to = stop == std::string_view::npos ? e_.size() : stop + 2;
            out.append(e_.substr(i - 1, to - (i - 1)));
            i = to - 1;
        } else if (next == 'd') {
            out += inClass_ ? "0-9" : "[0-9]";
        } else if (next == 'D') {
            out += inClass_ ? kNotDigit : "[^0-9]";
        } else if (next == 'x' && i + 2 < e_.size() && isHex(e_[i + 1]) && isHex(e_[i + 2])) {
            // Java's \xHH is the character U+00HH, as PCRE2's \x{HH} is.
            out += codePoint(hexValue(e_.substr(i + 1, 2)));
            i += 2;
        } else if (next == 'x' && i + 1 < e_.size() && isHex(e_[i + 1])) {
            out.append(e_.substr(i - 1, 3));
            ++i;
        } else if (next == 'u' && i + 4 < e_.size() && isHex(e_[i + 1]) && isHex(e_[i + 2]) &&
                   isHex(e_[i + 3]) && isHex(e_[i + 4])) {
            unsigned value = hexValue(e_.substr(i + 1, 4));
            i += 4;
            // A pair of surrogates is one character.
            if (value >= 0xD800 && value < 0xDC00 && e_.substr(i + 1, 2) == "\\u" &&
                i + 6 < e_.size()) {
                const std::string_view low = e_.substr(i + 3, 4);
                bool hex = true;
                for (const char h : low) hex = hex && isHex(h);
                const unsigned second = hex ? hexValue(low) : 0;
                if (second >= 0xDC00 && second < 0xE000) {
                    value = 0x10000 + ((value - 0xD800) << 10) + (second - 0xDC00);
                    i += 6;
                }
            }
            out += codePoint(value);
        } else if (next == 'p' || next == 'P') {
            property(i);
        } else if (next == 'c' && i + 1 < e_.size()) {
            out.append(e_.substr(i - 1, 3));  // \c takes the next character, even a "\"
            ++i;
        } else {
            out += '\\';
            out += next;
        }
    }

    void property(std::size_t& i) {
        std::string& out = result_.text;
        const std::size_t start = i - 1;
        std::string_view name;
        std::size_t last = i;
        if (i + 1 < e_.size() && e_[i + 1] == '{') {
            const std::size_t stop = e_.find('}', i + 2);
            if (stop == std::string_view::npos) {
                out.append(e_.substr(start, 2));
                return;
            }
            name = e_.substr(i + 2, stop - i - 2);
            last = stop;
        } else if (i + 1 < e_.size()) {
            name = e_.substr(i + 1, 1);
            last = i + 1;
        }
        bool negated = e_[i] == 'P';
        if (!name.empty() && name[0] == '^') {
            negated = !negated;
            name.remove_prefix(1);
        }
        const std::optional<std::string> members = javaClassMembers(name);
        if (!members) {
            out.append(e_.substr(start, last + 1 - start));
            i = last;
            return;
        }
        i = last;
        // One property: its negation is PCRE2's \P.
        if (members->compare(0, 3, "\\p{") == 0 && members->find('\\', 1) == std::string::npos) {
            out += negated ? "\\P" + members->substr(2) : *members;
        } else if (!negated) {
            out += inClass_ ? *members : "[" + *members + "]";
        } else if (!inClass_) {
            out += "[^" + *members + "]";
        } else {
            refuse(start,
                   "a negated Java class \\P{...} inside a class cannot be written here: put "
                   "it outside the class, as an alternative");
        }
    }

    // The character at 'i' inside a class; the class ends at its "]".
    void classMember(std::size_t& i) {
        std::string& out = result_.text;
        const char c = e_[i];
        if (c == '[' && e_.substr(i, 9) == "[:digit:]") {
            out += "0-9";
            i += 8;
        } else if (c == '[' && e_.substr(i, 10) == "[:^digit:]") {
            out += kNotDigit;
            i += 9;
        } else if (c == '[' && i + 1 < e_.size() && e_[i + 1] == ':') {
            const std::size_t stop = e_.find(":]", i + 2);
            const std::size_t to = stop == std::string_view::npos ? i + 1 : stop + 2;
            out.append(e_.substr(i, to - i));
            i = to - 1;
        } else if (c == '[') {
            refuse(i,
                   "a class inside a class joins the two in Java, and is a \"[\" here: write "
                   "one class with the members of both, and \\[ for the character");
        } else if (c == '&' && i + 1 < e_.size() && e_[i + 1] == '&') {
            refuse(i,
                   "&& intersects classes in Java, and is two \"&\" here: write the class "
                   "that remains, such as [^\\S\\n] for [\\s&&[^\\n]] or [a-z&&[^aeiou]] as "
                   "[b-df-hj-np-tv-z]");
        } else {
            if (c == ']') inClass_ = false;
            out += c;
        }
    }

    std::string_view e_;
    PreparedExpression result_;
    bool inClass_ = false;
};

// ---- Look-behinds -------------------------------------------------------------------------

// One way an item of a look-behind can match: its text and its length in characters.
struct Form {
    std::string text;
    std::size_t length = 0;
};
using Forms = std::vector<Form>;

// Reads the alternatives of a look-behind's body as forms of fixed length. Gives up (nothing,
// no reason) on what it does not know the length of; refuses (a reason) an unbounded one.
class LookBehindReader {
public:
    LookBehindReader(std::string_view e, std::string& reason, std::size_t& at)
        : e_(e), reason_(reason), at_(at) {}

    // The alternatives from 'i' to the ")" that closes them; 'i' is left on that ")".
    std::optional<Forms> alternatives(std::size_t& i) {
        Forms all;
        while (true) {
            std::optional<Forms> one = sequence(i);
            if (!one) return std::nullopt;
            all.insert(all.end(), one->begin(), one->end());
            if (all.size() > kLookBehindAlternatives) return tooMany();
            if (i >= e_.size()) return std::nullopt;
            if (e_[i] == ')') return all;
            ++i;  // "|"
        }
    }

private:
    std::optional<Forms> tooMany() {
        if (reason_.empty()) {
            // The number is kLookBehindAlternatives, written out for the catalogue.
            reason_ =
                "a look-behind of varying length is matched here as one of at most 256 fixed "
                "lengths, and this one needs more: give its repeats smaller bounds";
            at_ = start_;
        }
        return std::nullopt;
    }

    std::optional<Forms> sequence(std::size_t& i) {
        Forms forms{{"", 0}};
        while (i < e_.size() && e_[i] != '|' && e_[i] != ')') {
            std::optional<Forms> atom = this->atom(i);
            if (!atom) return std::nullopt;
            std::size_t low = 1, high = 1;
            if (!quantifier(i, low, high)) return std::nullopt;
            const std::optional<Forms> item = repeated(*atom, low, high);
            if (!item) return std::nullopt;
            Forms next;
            for (const Form& f : forms)
                for (const Form& g : *item) {
                    if (next.size() >= kLookBehindAlternatives) return tooMany();
                    next.push_back({f.text + g.text, f.length + g.length});
                }
            forms = std::move(next);
        }
        return forms;
    }

    // The forms of an atom repeated 'low' to 'high' times.
    std::optional<Forms> repeated(const Forms& atom, std::size_t low, std::size_t high) {
        if (low == 1 && high == 1) return atom;
        bool sameLength = true;
        for (const Form& f : atom) sameLength = sameLength && f.length == atom[0].length;
        Forms out;
        if (sameLength) {
            std::string one;
            for (const Form& f : atom) one += (one.empty() ? "" : "|") + f.text;
            one = "(?:" + one + ")";
            for (std::size_t k = low; k <= high; ++k) {
                if (out.size() >= kLookBehindAlternatives) return tooMany();
                const std::string text = k == 0   ? ""
                                         : k == 1 ? one
                                                  : one + "{" + std::to_string(k) + "}";
                out.push_back({text, k * atom[0].length});
            }
            return out;
        }
        Forms run{{"", 0}};
        for (std::size_t k = 0; k <= high; ++k) {
            if (k >= low) out.insert(out.end(), run.begin(), run.end());
            if (out.size() > kLookBehindAlternatives) return tooMany();
            if (k == high) break;
            Forms next;
            for (const Form& f : run)
                for (const Form& g : atom) {
                    if (next.size() >= kLookBehindAlternatives) return tooMany();
                    next.push_back({f.text + g.text, f.length + g.length});
                }
            run = std::move(next);
        }
        return out;
    }

    // A quantifier after an atom, if any; false when the item is unbounded or unknown.
    bool quantifier(std::size_t& i, std::size_t& low, std::size_t& high) {
        if (i >= e_.size()) return true;
        const char c = e_[i];
        if (c == '*' || c == '+') return unbounded();
        if (c == '?') {
            low = 0;
            ++i;
        } else if (c == '{') {
            std::size_t k = i + 1;
            const auto number = [&](std::size_t& value) {
                const std::size_t first = k;
                value = 0;
                while (k < e_.size() && std::isdigit(static_cast<unsigned char>(e_[k])) &&
                       value < 100000)
                    value = value * 10 + static_cast<std::size_t>(e_[k++] - '0');
                return k > first;
            };
            if (!number(low)) return true;  // a "{" that is no quantifier is a character
            high = low;
            if (k < e_.size() && e_[k] == ',') {
                ++k;
                if (!number(high)) return k < e_.size() && e_[k] == '}' ? unbounded() : true;
            }
            if (k >= e_.size() || e_[k] != '}') return true;
            if (high < low) return false;
            i = k + 1;
        } else {
            return true;
        }
        // Lazy or possessive: the same places are matched either way in an assertion.
        if (i < e_.size() && (e_[i] == '?' || e_[i] == '+')) ++i;
        return true;
    }

    bool unbounded() {
        if (reason_.empty()) {
            reason_ = "a look-behind must have a bounded length: write {0,N} for * and {1,N} for +";
            at_ = start_;
        }
        return false;
    }

    std::optional<Forms> atom(std::size_t& i) {
        const std::size_t from = i;
        const char c = e_[i];
        if (c == '(') return group(i);
        if (c == '[') {
            if (!skipClass(i)) return std::nullopt;
            return Forms{{std::string(e_.substr(from, i - from)), 1}};
        }
        if (c == '\\') return escape(i);
        if (c == '^' || c == '$') {
            ++i;
            return Forms{{std::string(1, c), 0}};
        }
        // One character, in UTF-8.
        ++i;
        while (i < e_.size() && (static_cast<unsigned char>(e_[i]) & 0xC0) == 0x80) ++i;
        return Forms{{std::string(e_.substr(from, i - from)), 1}};
    }

    std::optional<Forms> escape(std::size_t& i) {
        const std::size_t from = i;
        if (i + 1 >= e_.size()) return std::nullopt;
        const char c = e_[i + 1];
        i += 2;
        const auto braced = [&]() -> bool {
            if (i < e_.size() && e_[i] == '{') {
                const std::size_t stop = e_.find('}', i);
                if (stop == std::string_view::npos) return false;
                i = stop + 1;
            } else if (c == 'p' || c == 'P') {
                ++i;  // \pL
            }
            return true;
        };
        std::size_t length = 1;
        if (c == 'x' || c == 'o' || c == 'p' || c == 'P') {
            if (c == 'x' && i < e_.size() && e_[i] != '{') {
                while (i < e_.size() && i < from + 4 && isHex(e_[i])) ++i;
            } else if (!braced()) {
                return std::nullopt;
            }
        } else if (c == 'c') {
            ++i;
        } else if (std::string_view("bBAzZG").find(c) != std::string_view::npos) {
            length = 0;
        } else if (std::isdigit(static_cast<unsigned char>(c)) && c != '0') {
            return std::nullopt;  // a reference
        } else if (std::string_view("QEKRXgkNC").find(c) != std::string_view::npos) {
            return std::nullopt;
        }
        return Forms{{std::string(e_.substr(from, i - from)), length}};
    }

    std::optional<Forms> group(std::size_t& i) {
        const std::size_t from = i;
        std::string open = "(?:";
        i += 1;
        if (e_.substr(i, 1) == "?") {
            const std::string_view rest = e_.substr(i + 1);
            if (rest.substr(0, 1) == ":") {
                i += 2;
            } else if (rest.substr(0, 1) == "=" || rest.substr(0, 1) == "!" ||
                       rest.substr(0, 2) == "<=" || rest.substr(0, 2) == "<!") {
                // An assertion inside: no length, taken as it is.
                if (!skipGroup(i)) return std::nullopt;
                return Forms{{std::string(e_.substr(from, i - from)), 0}};
            } else if (rest.substr(0, 1) == "<" || rest.substr(0, 2) == "P<" ||
                       rest.substr(0, 1) == "'") {
                // A named group: no reference is made to it (checked before), so it may go.
                const char close = rest[0] == '\'' ? '\'' : '>';
                const std::size_t stop = e_.find(close, i + 2);
                if (stop == std::string_view::npos) return std::nullopt;
                i = stop + 1;
            } else {
                std::size_t k = i + 1;
                while (k < e_.size() &&
                       (std::isalpha(static_cast<unsigned char>(e_[k])) || e_[k] == '-'))
                    ++k;
                if (k == i + 1 || k >= e_.size()) return std::nullopt;
                if (e_[k] == ')') {
                    // Options from here on: no length; kept in every form that follows.
                    i = k + 1;
                    return Forms{{std::string(e_.substr(from, i - from)), 0}};
                }
                if (e_[k] != ':') return std::nullopt;
                open = std::string(e_.substr(from, k + 1 - from));
                i = k + 1;
            }
        }
        std::optional<Forms> inside = alternatives(i);
        if (!inside) return std::nullopt;
        ++i;  // ")"
        bool sameLength = true;
        for (const Form& f : *inside) sameLength = sameLength && f.length == (*inside)[0].length;
        if (sameLength) {
            std::string one;
            for (const Form& f : *inside) one += (one.empty() ? "" : "|") + f.text;
            return Forms{{open + one + ")", (*inside)[0].length}};
        }
        for (Form& f : *inside) f.text = open + f.text + ")";
        return inside;
    }

    bool skipClass(std::size_t& i) {
        ++i;
        if (i < e_.size() && e_[i] == '^') ++i;
        if (i < e_.size() && e_[i] == ']') ++i;
        while (i < e_.size() && e_[i] != ']') {
            if (e_[i] == '\\') {
                i += 2;
            } else if (e_.substr(i, 2) == "[:") {
                const std::size_t stop = e_.find(":]", i + 2);
                i = stop == std::string_view::npos ? i + 1 : stop + 2;
            } else {
                ++i;
            }
        }
        if (i >= e_.size()) return false;
        ++i;
        return true;
    }

    // From a "(" past its ")".
    bool skipGroup(std::size_t& i) {
        int depth = 0;
        while (i < e_.size()) {
            const char c = e_[i];
            if (c == '\\') {
                i += 2;
                continue;
            }
            if (c == '[') {
                if (!skipClass(i)) return false;
                continue;
            }
            ++i;
            if (c == '(') ++depth;
            if (c == ')' && --depth == 0) return true;
        }
        return false;
    }

public:
    std::size_t start_ = 0;

private:
    std::string_view e_;
    std::string& reason_;
    std::size_t& at_;
};

// Whether the expression refers to a group by number or name: turning a group of a
// look-behind into a plain one would change what it refers to.
bool refersToGroups(std::string_view e) {
    for (std::size_t i = 0; i + 1 < e.size(); ++i) {
        if (e[i] == '\\') {
            const char c = e[i + 1];
            if ((c >= '1' && c <= '9') || c == 'g' || c == 'k') return true;
            ++i;
        } else if (e[i] == '(' && e[i + 1] == '?' && i + 2 < e.size() &&
                   (std::isdigit(static_cast<unsigned char>(e[i + 2])) ||
                    std::string_view("R&P+-").find(e[i + 2]) != std::string_view::npos)) {
            return true;
        }
    }
    return false;
}

}  // namespace

PreparedExpression prepareExpression(std::string_view utf8) { return Preparer(utf8).run(); }

std::string prepareCustomExpression(std::string_view utf8, std::string& reason) {
    PreparedExpression prepared = prepareExpression(utf8);
    reason = prepared.reason;
    return prepared.text;
}

std::string fixLookBehinds(const std::string& e, std::string& reason, std::size_t& at) {
    if (refersToGroups(e)) return e;
    std::string out;
    bool inClass = false;
    for (std::size_t i = 0; i < e.size();) {
        const char c = e[i];
        if (c == '\\') {
            const std::size_t to = e.compare(i, 2, "\\Q") == 0
                                       ? std::min(e.size(), e.find("\\E", i) == std::string::npos
                                                                ? e.size()
                                                                : e.find("\\E", i) + 2)
                                       : std::min(e.size(), i + 2);
            out.append(e, i, to - i);
            i = to;
            continue;
        }
        if (inClass) {
            if (c == '[' && e.compare(i, 2, "[:") == 0) {
                const std::size_t stop = e.find(":]", i + 2);
                const std::size_t to = stop == std::string::npos ? i + 1 : stop + 2;
                out.append(e, i, to - i);
                i = to;
                continue;
            }
            if (c == ']') inClass = false;
            out += c;
            ++i;
            continue;
        }
        if (c == '[') {
            inClass = true;
            out += c;
            ++i;
            if (i < e.size() && e[i] == '^') out += e[i++];
            if (i < e.size() && e[i] == ']') out += e[i++];
            continue;
        }
        if (e.compare(i, 4, "(?<=") != 0 && e.compare(i, 4, "(?<!") != 0) {
            out += c;
            ++i;
            continue;
        }
        LookBehindReader reader(e, reason, at);
        reader.start_ = i;
        std::size_t k = i + 4;
        const std::optional<Forms> forms = reader.alternatives(k);
        if (!forms) {
            if (!reason.empty()) return e;
            // Not one to rewrite: the engine says what it makes of it.
            out.append(e, i, 4);
            i += 4;
            continue;
        }
        out.append(e, i, 4);
        for (std::size_t f = 0; f < forms->size(); ++f) out += (f ? "|" : "") + (*forms)[f].text;
        out += ')';
        i = k + 1;
    }
    return out;
}

CodePageExpression expressionInCodePage(std::string_view utf8, const std::string& codePage) {
    CodePageExpression out;
    bool quoted = false;     // inside \Q...\E
    bool backslash = false;  // the character before was a "\" that escapes (or may end \Q)
    std::size_t typed = 0;
    for (std::size_t i = 0; i < utf8.size(); ++typed) {
        std::size_t n = 0;
        const char32_t value = decodeUtf8At(utf8, i, n);
        if (n == 0) n = 1;
        const std::string_view c = utf8.substr(i, n);
        i += n;
        const auto add = [&](const std::string& text, std::size_t characters) {
            out.text += text;
            out.typedAt.insert(out.typedAt.end(), characters, typed);
        };
        if (const std::optional<std::string> converted = convertText(c, "UTF-8", codePage)) {
            add(*converted, 1);
            if (backslash && c == (quoted ? "E" : "Q")) quoted = !quoted;
            backslash = c == "\\" && (quoted || !backslash);
            continue;
        }
        const std::string point = codePoint(static_cast<unsigned>(value));
        if (quoted) {
            add("\\E" + point + "\\Q", point.size() + 4);
        } else {
            // An escaped character stands for itself, as its code point does.
            if (backslash) {
                out.text.pop_back();
                out.typedAt.pop_back();
            }
            add(point, point.size());
        }
        backslash = false;
    }
    out.typedAt.push_back(typed);
    return out;
}

}  // namespace folioknife::splitter
