# CLI11 for the Windows cross build: the host's header-only copy. Provides CLI11::CLI11.
include(${CMAKE_CURRENT_LIST_DIR}/HostHeaders.cmake)
include(FindPackageHandleStandardArgs)

fk_host_headers(cli11 ${FK_HOST_CLI11_DIR} CLI11_INCLUDE_DIR)
if(CLI11_INCLUDE_DIR AND EXISTS ${FK_HOST_CLI11_DIR}/Version.hpp)
    file(STRINGS ${FK_HOST_CLI11_DIR}/Version.hpp _fk_cli11_line
         REGEX "^#define CLI11_VERSION \"")
    string(REGEX REPLACE ".*\"(.*)\".*" "\\1" CLI11_VERSION "${_fk_cli11_line}")
endif()

find_package_handle_standard_args(CLI11 REQUIRED_VARS CLI11_INCLUDE_DIR VERSION_VAR CLI11_VERSION)
if(CLI11_FOUND AND NOT TARGET CLI11::CLI11)
    add_library(CLI11::CLI11 INTERFACE IMPORTED)
    set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES
                                                  ${CLI11_INCLUDE_DIR})
endif()
