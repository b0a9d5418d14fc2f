# Fails when a source breaks one of the two rules of the source tree:
#  - portable code (anything outside win32/, posix/ and qt/) includes no platform, toolkit or
#    network header;
#  - a layer includes only itself and the layers below it: splitter, then shell and epub, then
#    update, then app, then the programs (app/qt, app/win32, cli).
# Run by the build (so a break fails it) and by ctest.
file(GLOB_RECURSE sources ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)

# The layer of a path below src/ ("app/qt/main.cpp", "shell/Process.h"), as a rank; -1 when
# it is none of ours (a system or library header, the generated version header).
function(layer_of path out)
    set(rank -1)
    if(path MATCHES "^splitter/")
        set(rank 0)
    elseif(path MATCHES "^(shell|epub)/")
        set(rank 1)
    elseif(path MATCHES "^update/")
        set(rank 2)
    elseif(path MATCHES "^app/(qt|win32)/" OR path MATCHES "^cli/")
        set(rank 4)
    elseif(path MATCHES "^app/")
        set(rank 3)
    endif()
    set(${out} ${rank} PARENT_SCOPE)
endfunction()
set(layer_names splitter shell update app "a program")

set(bad "")
foreach(f IN LISTS sources)
    file(RELATIVE_PATH relative ${SOURCE_DIR} ${f})
    layer_of(${relative} own)
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(l IN LISTS lines)
        if(NOT f MATCHES "/(win32|posix|qt)/" AND
           l MATCHES "[<\"](windows\\.h|winsock|wininet|shlobj|commdlg|Q[A-Z][A-Za-z]*|Qt[A-Za-z]*/|curl/|unistd\\.h|fcntl\\.h|sys/|iconv\\.h|langinfo\\.h|pthread\\.h|spawn\\.h)")
            list(APPEND bad "${f}: platform header in portable code: ${l}")
        endif()
        if(own GREATER_EQUAL 0 AND l MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
            set(includedPath ${CMAKE_MATCH_1})
            layer_of(${includedPath} included)
            if(included GREATER own)
                list(GET layer_names ${own} ownName)
                list(GET layer_names ${included} includedName)
                # epub shares the rank of shell.
                if(relative MATCHES "^epub/")
                    set(ownName epub)
                endif()
                if(includedPath MATCHES "^epub/")
                    set(includedName epub)
                endif()
                list(APPEND bad "${f}: ${ownName} includes ${includedName}, a layer above it: ${l}")
            endif()
        endif()
    endforeach()
endforeach()
if(bad)
    list(JOIN bad "\n" text)
    message(FATAL_ERROR "Broken source rules:\n${text}")
endif()
