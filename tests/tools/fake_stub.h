// A stand-in for the real stub: arbitrary bytes around one scrambled, unfilled
// install record (header_check 1, everything else zero, the signature at its
// place), as the package tool expects to find it.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <vector>

std::vector<uint8_t> make_fake_stub(size_t bytes_before = 2048, size_t bytes_after = 700);

// The record offset inside make_fake_stub's result.
inline size_t fake_stub_record_offset(size_t bytes_before = 2048) { return bytes_before; }
