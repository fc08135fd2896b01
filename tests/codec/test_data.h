// Seeded sample data for round trips: each kind stresses a different part of
// the coder (no matches, long runs, short text matches, mixed structure).
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

enum class DataKind { random, runs, text, executable, mixed };

std::vector<uint8_t> make_data(DataKind kind, size_t size, uint32_t seed);
const char *data_kind_name(DataKind kind);

// A prefix of seeded random bytes whose bit stream (the stream's blocks
// without their headers) is exactly `target` bytes long; empty, with a test
// failure, when no prefix has that length.
std::vector<uint8_t> input_with_bit_length(size_t target);
