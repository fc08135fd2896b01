// Deterministic test data and a stand-in for the stub, shared by the test
// suites and the fuzzers' seed maker.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <initializer_list>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Text-like runs mixed with noise, the same for the same size and seed.
Bytes sample_bytes(size_t size, uint32_t seed);

// The parts one after another.
Bytes concat(std::initializer_list<Bytes> parts);

// A stand-in for kestrune.exe: in its first STAND_IN_HEADERS bytes the
// headers of a 32-bit Windows GUI program (DOS header, PE header, one
// section that holds the rest of the file), then filler bytes (which cannot
// hold the record's signature) around the unfilled, scrambled record that the
// package tool finds and fills; the record starts at offset `before` (at least
// STAND_IN_HEADERS) and `after` bytes follow it.
enum { STAND_IN_HEADERS = 512 };
Bytes stand_in_stub(size_t before = 2048, size_t after = 512);
