# GoogleTest for the Windows cross build: Debian ships sources only, so they are built along
# with the tests (and only when a test needs them). Provides GTest::gtest and GTest::gtest_main.
include(FindPackageHandleStandardArgs)

if(NOT TARGET GTest::gtest AND EXISTS ${FK_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    set(BUILD_GMOCK OFF)
    set(INSTALL_GTEST OFF)
    add_subdirectory(${FK_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
if(TARGET GTest::gtest)
    set(GTest_SOURCE_DIR ${FK_GOOGLETEST_SOURCE_DIR})
endif()
find_package_handle_standard_args(GTest REQUIRED_VARS GTest_SOURCE_DIR)
