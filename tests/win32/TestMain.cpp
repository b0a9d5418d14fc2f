// fk_tests' main on Windows. CMake finds the tests by reading --gtest_list_tests and splits
// that list at "\n" alone; in the C runtime's text mode every line would end in "\r\n" and the
// carriage return would become part of each suite's name, so no test would be found to run.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
