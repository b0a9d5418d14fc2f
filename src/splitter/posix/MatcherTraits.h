#pragma once
// On Linux the engine classifies bytes with the C++ locale's tables (Boost's default traits).
#include <boost/regex.hpp>

namespace folioknife::splitter {
using MatcherTraits = boost::regex_traits<char>;
}
