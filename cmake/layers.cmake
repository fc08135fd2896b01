# The layers the installer is made of (codec/common, codec/decode, format,
# installer, ui) each list their sources once, with kestrune_layer, in their
# own CMakeLists.txt:
#
#   kestrune_layer(NAME STATIC|OBJECT [COMPACT] SOURCES... [LINKS targets...])
#
# On the host that is the library NAME (STATIC or OBJECT as given) linking
# LINKS. In the Windows cross build it is the object library NAME_stub,
# compiled the runtime-free stub's way (kestrune_stub_options), which stub/
# links; a STATIC layer is also the library NAME there, for kestrune-pack.exe.
# A COMPACT layer's stub objects are compiled for size on top of that
# (kestrune_stub_compact_options): every layer but the codec's.
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

  # The code around the decoder (the format, the installer, its dialog and
  # the start-up) runs once per install or once per block, so it is compiled
  # for size: -Oz, data aligned only as the ABI asks (not to 32 bytes for
  # vector loads), and link-time optimisation among these layers alone, so
  # that what only they call is inlined or called in registers. For 32-bit
  # code also arguments pushed rather than stored into a preallocated area,
  # and a 4-byte stack alignment, which is all i486 code needs. Pushed
  # arguments rule out GCC's probes of frames larger than a page; no frame
  # here comes near 4 KiB, and -Wframe-larger-than keeps it so. The codec
  # keeps kestrune_stub_options alone: the decoder's code is the same
  # whatever is compiled around it. KESTRUNE_STUB_COMPACT_FLAGS go on the
  # stub's link line too, where the link-time code generation runs.
  set(KESTRUNE_STUB_COMPACT_FLAGS -Oz -malign-data=abi -flto -Wframe-larger-than=2048)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(APPEND KESTRUNE_STUB_COMPACT_FLAGS -mno-accumulate-outgoing-args -mno-stack-arg-probe
         -mpreferred-stack-boundary=2)
  endif()
  add_library(kestrune_stub_compact_options INTERFACE)
  target_compile_options(kestrune_stub_compact_options INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:${KESTRUNE_STUB_COMPACT_FLAGS}>)
endif()

function(kestrune_layer name kind)
  cmake_parse_arguments(LAYER "COMPACT" "" "LINKS" ${ARGN})
  set(sources ${LAYER_UNPARSED_ARGUMENTS})
  if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    add_library(${name}_stub OBJECT ${sources})
    # In this order: the compact options come last and win.
    target_link_libraries(${name}_stub PRIVATE kestrune_stub_options)
    if(LAYER_COMPACT)
      target_link_libraries(${name}_stub PRIVATE kestrune_stub_compact_options)
    endif()
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
