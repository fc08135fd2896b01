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

// A stand-in for kestrune.exe: filler bytes (which cannot hold the record's
// signature) around the unfilled, scrambled record that the package tool
// finds and fills; the record starts at offset `before`.
Bytes stand_in_stub(size_t before = 2048, size_t after = 512);
