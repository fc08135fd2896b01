# Every fuzz target, once, with the test library it links: the fuzz build
# makes the libFuzzer programs of them (fuzz/), the test build the replays
# of their saved inputs (tests/hardening/).
set(KESTRUNE_FUZZ_TARGETS
  fuzz_decode:kestrune_memory_files
  fuzz_best:kestrune_memory_files
  fuzz_package:kestrune_test_packages
  fuzz_install:kestrune_test_installs)

# kestrune_fuzz_target(PREFIX EXTRA_SOURCE) makes PREFIX<target> of every
# target's own source (and EXTRA_SOURCE, if any) linked with its library,
# and sets kestrune_fuzz_names to the targets' names.
macro(kestrune_fuzz_targets prefix extra_source)
  set(kestrune_fuzz_names "")
  foreach(entry ${KESTRUNE_FUZZ_TARGETS})
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 name)
    list(GET entry 1 library)
    add_executable(${prefix}${name} ${PROJECT_SOURCE_DIR}/fuzz/${name}.cpp ${extra_source})
    target_link_libraries(${prefix}${name} PRIVATE ${library})
    target_include_directories(${prefix}${name} PRIVATE ${PROJECT_SOURCE_DIR})
    list(APPEND kestrune_fuzz_names ${name})
  endforeach()
endmacro()
