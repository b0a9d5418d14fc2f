# Boost for the Windows cross build: header-only use of the host's headers (Boost.Regex is
# header-only since 1.76). Provides Boost::headers.
include(${CMAKE_CURRENT_LIST_DIR}/HostHeaders.cmake)
include(FindPackageHandleStandardArgs)

fk_host_headers(boost ${FK_HOST_BOOST_DIR} Boost_INCLUDE_DIR)
if(Boost_INCLUDE_DIR AND EXISTS ${FK_HOST_BOOST_DIR}/version.hpp)
    file(STRINGS ${FK_HOST_BOOST_DIR}/version.hpp _fk_boost_line
         REGEX "^#define BOOST_VERSION [0-9]+")
    string(REGEX REPLACE ".* ([0-9]+)$" "\\1" _fk_boost_number "${_fk_boost_line}")
    math(EXPR _fk_major "${_fk_boost_number} / 100000")
    math(EXPR _fk_minor "${_fk_boost_number} / 100 % 1000")
    math(EXPR _fk_patch "${_fk_boost_number} % 100")
    set(Boost_VERSION_STRING ${_fk_major}.${_fk_minor}.${_fk_patch})
    set(Boost_VERSION ${Boost_VERSION_STRING})
endif()

find_package_handle_standard_args(Boost REQUIRED_VARS Boost_INCLUDE_DIR
                                  VERSION_VAR Boost_VERSION_STRING)
if(Boost_FOUND AND NOT TARGET Boost::headers)
    set(Boost_INCLUDE_DIRS ${Boost_INCLUDE_DIR})
    # Imported targets' include folders are system folders: -isystem, no warnings from Boost.
    add_library(Boost::headers INTERFACE IMPORTED)
    set_target_properties(Boost::headers PROPERTIES INTERFACE_INCLUDE_DIRECTORIES
                                                    ${Boost_INCLUDE_DIR})
    add_library(Boost::boost ALIAS Boost::headers)
endif()
