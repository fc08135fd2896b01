// Prefix codes for the high 6 bits of a match offset (docs/formats.md).
//
// The 64 values get canonical codes of fixed lengths: 1 value of 3 bits,
// 3 of 4, 8 of 5, 12 of 6, 24 of 7 and 16 of 8. Value 0 has the all-zero
// code; each next code is the previous one plus 1, shifted left by the growth
// in length. The tables are computed here at compile time from that rule.
//
//   POSITION_CODE_LENGTH[h]    code length of high value h (3..8)
//   POSITION_CODE[h]           its code, left-aligned in a byte
//   POSITION_PREFIX_HIGH[b]    the h whose code is a prefix of the byte b
//   POSITION_PREFIX_LENGTH[b]  that code's length
#pragma once
#include <stdint.h>

struct PositionTables {
  uint8_t code_length[64];
  uint8_t code[64];
  uint8_t prefix_high[256];
  uint8_t prefix_length[256];
};

constexpr PositionTables build_position_tables() {
  PositionTables t{};
  const int counts[6] = {1, 3, 8, 12, 24, 16};  // values with 3..8-bit codes
  int h = 0;
  int code = 0;
  int previous_length = 3;
  for (int group = 0; group < 6; group++) {
    int length = 3 + group;
    for (int k = 0; k < counts[group]; k++) {
      if (h > 0) code = (code + 1) << (length - previous_length);
      previous_length = length;
      t.code_length[h] = static_cast<uint8_t>(length);
      t.code[h] = static_cast<uint8_t>(code << (8 - length));
      for (int b = 0; b < (1 << (8 - length)); b++) {
        t.prefix_high[t.code[h] + b] = static_cast<uint8_t>(h);
        t.prefix_length[t.code[h] + b] = static_cast<uint8_t>(length);
      }
      h++;
    }
  }
  return t;
}

inline constexpr PositionTables POSITION_TABLES = build_position_tables();
inline constexpr const uint8_t *POSITION_CODE_LENGTH = POSITION_TABLES.code_length;
inline constexpr const uint8_t *POSITION_CODE = POSITION_TABLES.code;
inline constexpr const uint8_t *POSITION_PREFIX_HIGH = POSITION_TABLES.prefix_high;
inline constexpr const uint8_t *POSITION_PREFIX_LENGTH = POSITION_TABLES.prefix_length;

// The rule must fill the code space exactly: the last code is all ones.
static_assert(POSITION_TABLES.code[63] == 0xFF && POSITION_TABLES.code_length[63] == 8,
              "offset prefix codes must be complete");
static_assert(POSITION_TABLES.code[12] == 0x90 && POSITION_TABLES.prefix_high[0x29] == 1,
              "offset prefix codes out of shape");
