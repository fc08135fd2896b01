// The stub kestrune.exe built into the package tool (every face), for a
// build without a stub of its own.
// The build generates the definitions from the 32-bit stub of the cross build
// (cmake/embed_stub.cmake); BUILTIN_STUB_SIZE is 0 when the tool was built
// without the cross compiler and so carries no stub.
#pragma once
#include <stddef.h>
#include <stdint.h>

extern const uint8_t BUILTIN_STUB[];
extern const size_t BUILTIN_STUB_SIZE;
