# Builds the web page kestrune-pack.html (tools/web/, docs/web-page.md) as
# part of the host build, through a nested build with Emscripten's toolchain
# (cmake/emscripten.cmake), whenever emcc is installed and the cross build
# makes the 32-bit stub the page carries:
#   build/<host>/web/tools/web/kestrune-pack.html
# Sets KESTRUNE_WEB_PAGE to that file, or to "" when the page is not built.
include(ExternalProject)

option(KESTRUNE_BUILD_WEB "Build the web page when Emscripten is installed" ON)
set(KESTRUNE_WEB_PAGE "")
if(NOT KESTRUNE_BUILD_WEB)
  return()
endif()
find_program(KESTRUNE_EMCC emcc)
if(NOT KESTRUNE_EMCC)
  message(STATUS "emcc not found: kestrune-pack.html is not built (scripts/setup.sh web installs Emscripten)")
  return()
endif()
if(NOT KESTRUNE_BUILTIN_STUB)
  message(STATUS "no 32-bit stub to carry: kestrune-pack.html is not built")
  return()
endif()

set(dir ${CMAKE_BINARY_DIR}/web)
ExternalProject_Add(web_page
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${dir}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/emscripten.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DKESTRUNE_BUILTIN_STUB=${KESTRUNE_BUILTIN_STUB}
  DEPENDS ${KESTRUNE_BUILTIN_STUB_DEPENDS}
  BUILD_BYPRODUCTS ${dir}/tools/web/kestrune-pack.html
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  USES_TERMINAL_BUILD ON)
set(KESTRUNE_WEB_PAGE ${dir}/tools/web/kestrune-pack.html)
message(STATUS "kestrune-pack.html is built with ${KESTRUNE_EMCC}")
