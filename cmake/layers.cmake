# The layers the installer is made of (codec/common, codec/decode, format,
# installer, ui) each list their sources once, with kestrune_layer, in their
# own CMakeLists.txt:
#
#   kestrune_layer(NAME STATIC|OBJECT SOURCES... [LINKS targets...])
#
# On the host that is the library NAME (STATIC or OBJECT as given) linking
# LINKS. In the Windows cross build it is the object library NAME_stub,
# compiled the runtime-free stub's way (kestrune_stub_options), which stub/
# links; a STATIC layer is also the library NAME there, for kestrune-pack.exe.
if(CMAKE_SYSTEM_NAME STREQUAL "Windows" AND NOT TARGET kestrune_stub_options)
  # Small and self-contained: no exceptions, unwind tables, stack protector
  # or runtime; each function in its own section so the linker drops what
  # nothing calls. No -fdata-sections: for PE targets GCC then puts
  # zero-initialised arrays into .data$ sections with contents, which would
  # store the 36 KiB of buffers in the file instead of in .bss.
  add_library(kestrune_stub_options INTERFACE)
  target_compile_options(kestrune_stub_options INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:-Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-unwind-tables -fno-stack-protector -fno-ident -ffunction-sections -fomit-frame-pointer
    -fno-threadsafe-statics -fno-use-cxa-atexit>)
  target_include_directories(kestrune_stub_options INTERFACE ${PROJECT_SOURCE_DIR})
endif()

function(kestrune_layer name kind)
  cmake_parse_arguments(LAYER "" "" "LINKS" ${ARGN})
  set(sources ${LAYER_UNPARSED_ARGUMENTS})
  if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    add_library(${name}_stub OBJECT ${sources})
    target_link_libraries(${name}_stub PRIVATE kestrune_stub_options)
    if(NOT kind STREQUAL STATIC)
      return()
    endif()
  endif()
  add_library(${name} ${kind} ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(LAYER_LINKS)
    target_link_libraries(${name} PUBLIC ${LAYER_LINKS})
  endif()
endfunction()
