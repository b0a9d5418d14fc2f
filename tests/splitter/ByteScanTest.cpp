// The vector scans against a byte-by-byte search, with the hit at every position around the
// 16-, 32- and 64-byte steps and in the tail, and with several hits.
#include <gtest/gtest.h>

#include <string>

#include "splitter/ByteScan.h"

namespace folioknife::splitter {
namespace {

std::size_t plainEither(const std::string& s, std::size_t from, char a, char b) {
    for (std::size_t i = from; i < s.size(); ++i) {
        if (s[i] == a || s[i] == b) return i;
    }
    return s.size();
}

std::size_t plainPair(const std::string& s, std::size_t from, char a, char b) {
    for (std::size_t i = from; i + 1 < s.size(); ++i) {
        if (s[i] == a && s[i + 1] == b) return i;
    }
    return s.size();
}

TEST(ByteScan, AgreesWithAPlainSearchAtEveryPositionAndLength) {
    const char a = '\xB5', b = '\xDA';  // the bytes of 第 in GBK
    for (std::size_t length : {0, 1, 2, 15, 16, 17, 31, 32, 33, 34, 63, 64, 65, 130}) {
        for (std::size_t from : {0, 1, 3}) {
            if (from > length) continue;
            // One hit at each position, alone or with a decoy (the first byte without the
            // second, the second without the first) before it.
            for (std::size_t at = 0; at <= length; ++at) {
                for (int decoy = 0; decoy < 3; ++decoy) {
                    std::string s(length, 'x');
                    if (at < length) s[at] = a;
                    if (at + 1 < length) s[at + 1] = b;
                    if (decoy == 1 && at >= 2) s[at - 2] = a;
                    if (decoy == 2 && at >= 1) s[at - 1] = b;
                    const char* p = s.data();
                    const char* end = p + s.size();
                    const std::string where = "length " + std::to_string(length) + " from " +
                                              std::to_string(from) + " at " + std::to_string(at) +
                                              " decoy " + std::to_string(decoy);
                    EXPECT_EQ(
                        findEitherByte(p + from, end, 0x00, static_cast<unsigned char>(b)) - p,
                        static_cast<std::ptrdiff_t>(plainEither(s, from, '\0', b)))
                        << where;
                    EXPECT_EQ(findEitherByte(p + from, end, static_cast<unsigned char>(a),
                                             static_cast<unsigned char>(b)) -
                                  p,
                              static_cast<std::ptrdiff_t>(plainEither(s, from, a, b)))
                        << where;
                    EXPECT_EQ(findBytePair(p + from, end, static_cast<unsigned char>(a),
                                           static_cast<unsigned char>(b)) -
                                  p,
                              static_cast<std::ptrdiff_t>(plainPair(s, from, a, b)))
                        << where;
                }
            }
        }
    }
}

TEST(ByteScan, APairCutByTheEndIsNoPair) {
    const std::string s = std::string(40, 'x') + "\xB5";
    const char* end = s.data() + s.size();
    EXPECT_EQ(findBytePair(s.data(), end, 0xB5, 0xDA), end);
    // The end given is the limit, not the string's: the second byte lies beyond it.
    const std::string t = std::string(40, 'x') + "\xB5\xDA";
    EXPECT_EQ(findBytePair(t.data(), t.data() + 41, 0xB5, 0xDA), t.data() + 41);
}

}  // namespace
}  // namespace folioknife::splitter
