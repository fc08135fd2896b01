# cmake -DFILE=path -DLIMIT=bytes -P check_size.cmake
# Prints a file's size and fails when it is over LIMIT bytes.
file(SIZE ${FILE} size)
get_filename_component(name ${FILE} NAME)
math(EXPR kib "(${size} + 1023) / 1024")
if(size GREATER LIMIT)
  message(FATAL_ERROR "${name}: ${size} bytes (${kib} KiB), over the limit of ${LIMIT} bytes")
endif()
message(STATUS "${name}: ${size} bytes (${kib} KiB; limit ${LIMIT})")
