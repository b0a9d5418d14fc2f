# nlohmann/json for the Windows cross build: the host's header-only copy. Provides
# nlohmann_json::nlohmann_json.
include(${CMAKE_CURRENT_LIST_DIR}/HostHeaders.cmake)
include(FindPackageHandleStandardArgs)

fk_host_headers(nlohmann_json ${FK_HOST_NLOHMANN_JSON_DIR} NLOHMANN_JSON_INCLUDE_DIR)
if(NLOHMANN_JSON_INCLUDE_DIR AND EXISTS ${FK_HOST_NLOHMANN_JSON_DIR}/json.hpp)
    file(STRINGS ${FK_HOST_NLOHMANN_JSON_DIR}/detail/abi_macros.hpp _fk_json_lines
         REGEX "^#define NLOHMANN_JSON_VERSION_(MAJOR|MINOR|PATCH) ")
    set(nlohmann_json_VERSION "")
    foreach(_fk_line IN LISTS _fk_json_lines)
        string(REGEX REPLACE ".* ([0-9]+).*" "\\1" _fk_part "${_fk_line}")
        list(APPEND nlohmann_json_VERSION ${_fk_part})
    endforeach()
    list(JOIN nlohmann_json_VERSION "." nlohmann_json_VERSION)
endif()

find_package_handle_standard_args(nlohmann_json REQUIRED_VARS NLOHMANN_JSON_INCLUDE_DIR
                                  VERSION_VAR nlohmann_json_VERSION)
if(nlohmann_json_FOUND AND NOT TARGET nlohmann_json::nlohmann_json)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES
                                                                  ${NLOHMANN_JSON_INCLUDE_DIR})
endif()
