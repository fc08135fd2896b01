# Builds the Windows programs (the stub kestrune.exe, the demo screen saver
# and the package tool kestrune-pack.exe) as part of the host build, through a
# nested cross build with the mingw-w64 toolchain, whenever that compiler is
# installed:
#   build/<host>/windows-i686/stub/kestrune.exe          the product
#   build/<host>/windows-i686/demo/kestrune-demo.scr
#   build/<host>/windows-i686/tools/kestrune-pack.exe
#   build/<host>/windows-i686/tests/branding_probe.exe   for the Wine tests
#   build/<host>/windows-x86_64/...                      the same, 64-bit,
#     for end-to-end tests on machines that cannot run 32-bit code
# Sets KESTRUNE_WINDOWS_DIRS to the list of "arch=binary dir" pairs built, and
# KESTRUNE_BUILTIN_STUB (with KESTRUNE_BUILTIN_STUB_DEPENDS) to the 32-bit stub
# that kestrune-pack carries.
include(ExternalProject)

option(KESTRUNE_BUILD_WINDOWS "Cross-build the Windows programs when mingw-w64 is installed" ON)
set(KESTRUNE_WINDOWS_DIRS "")
set(KESTRUNE_BUILTIN_STUB "")
set(KESTRUNE_BUILTIN_STUB_DEPENDS "")
if(NOT KESTRUNE_BUILD_WINDOWS)
  return()
endif()

foreach(arch i686 x86_64)
  find_program(KESTRUNE_MINGW_${arch} ${arch}-w64-mingw32-g++)
  if(NOT KESTRUNE_MINGW_${arch})
    if(arch STREQUAL i686)
      message(STATUS "i686-w64-mingw32-g++ not found: kestrune.exe is not built")
    endif()
    continue()
  endif()
  set(dir ${CMAKE_BINARY_DIR}/windows-${arch})
  # The 64-bit kestrune-pack.exe carries the 32-bit stub, as the product does.
  set(builtin_stub_args "")
  set(builtin_stub_depends "")
  if(NOT arch STREQUAL i686 AND KESTRUNE_BUILTIN_STUB)
    set(builtin_stub_args -DKESTRUNE_BUILTIN_STUB=${KESTRUNE_BUILTIN_STUB})
    set(builtin_stub_depends ${KESTRUNE_BUILTIN_STUB_DEPENDS})
  endif()
  ExternalProject_Add(windows_${arch}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${dir}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-${arch}.cmake
      -DCMAKE_BUILD_TYPE=MinSizeRel
      ${builtin_stub_args}
    DEPENDS ${builtin_stub_depends}
    BUILD_BYPRODUCTS ${dir}/stub/kestrune.exe ${dir}/demo/kestrune-demo.scr ${dir}/tools/kestrune-pack.exe
      ${dir}/tests/branding_probe.exe
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)
  list(APPEND KESTRUNE_WINDOWS_DIRS "${arch}=${dir}")
  if(arch STREQUAL i686)
    set(KESTRUNE_BUILTIN_STUB ${dir}/stub/kestrune.exe)
    set(KESTRUNE_BUILTIN_STUB_DEPENDS windows_i686)
  endif()
endforeach()
