# Compiles FILE with clang against the stub SDK headers and the project's warnings as errors.
# A file whose first line reads "// expect: <message>" must fail with that message instead.
set(flags -fsyntax-only -x objective-c++ -fobjc-arc -fobjc-runtime=macosx-13.0 -fblocks
    -std=c++20 -fPIC -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wnon-virtual-dtor
    -Wold-style-cast -Woverloaded-virtual -Werror -DQT_NO_CAST_FROM_ASCII
    -isystem ${HERE}/stubs -I${ROOT}/MediaKeyEngine/include -I${ROOT}/MediaKeyEngine/src
    -I${ROOT}/app/core -I${ROOT}/app/core/macos)
string(REPLACE "|" ";" qt_dirs "${QT_INCLUDES}")
foreach(dir IN LISTS qt_dirs)
  list(APPEND flags -isystem ${dir})
endforeach()
execute_process(COMMAND ${CLANGXX} ${flags} ${FILE} RESULT_VARIABLE rc ERROR_VARIABLE err)
file(STRINGS ${FILE} first LIMIT_COUNT 1)
if(first MATCHES "^// expect: (.*)$")
  string(FIND "${err}" "${CMAKE_MATCH_1}" at)
  if(rc EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "should fail with \"${CMAKE_MATCH_1}\"; got rc ${rc}:\n${err}")
  endif()
elseif(NOT rc EQUAL 0)
  message(FATAL_ERROR "does not compile for macOS:\n${err}")
endif()
