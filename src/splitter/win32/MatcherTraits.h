#pragma once
// On Windows the engine classifies bytes with the user's default-locale tables. MinGW's
// default traits are the C++ locale ones, so the Win32 traits are chosen explicitly.
#include <boost/regex.hpp>
#include <boost/regex/v5/w32_regex_traits.hpp>

namespace folioknife::splitter {
using MatcherTraits = boost::w32_regex_traits<char>;
}
