# Cross build for 64-bit Windows with Debian's MinGW-w64, tests run under Wine.
#
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# The posix thread model is required: with the win32 model Boost.Regex's static mutex does not
# link (undefined boost::scoped_static_mutex_lock).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FK_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${FK_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW tree only; build tools come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${FK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Without -static the programs need libstdc++, libgcc and libwinpthread DLLs beside them, and
# under Wine they exit with status 53 when those are missing.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(FK_WINE wine)
if(FK_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${FK_WINE})
endif()

# The header-only libraries live in the host's /usr/include, which MinGW must not search as a
# whole (glibc's headers would shadow its own). The find modules in mingw-w64/ expose each one
# through a folder holding nothing but a symlink to it.
set(FK_HOST_BOOST_DIR /usr/include/boost CACHE PATH "Boost headers of the host (header-only use)")
set(FK_HOST_CLI11_DIR /usr/include/CLI CACHE PATH "CLI11 headers of the host")
set(FK_HOST_NLOHMANN_JSON_DIR /usr/include/nlohmann CACHE PATH "nlohmann/json headers of the host")
set(FK_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources, built along")
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/mingw-w64)
list(REMOVE_DUPLICATES CMAKE_MODULE_PATH)
