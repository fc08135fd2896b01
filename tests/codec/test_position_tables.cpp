// Offset prefix codes built from their canonical description.
#include <gtest/gtest.h>

#include "codec/common/position_tables.h"

TEST(PositionTables, TellingRows) {
  struct Row {
    int high, length, code, first_prefix, last_prefix;
  } rows[] = {
      {0, 3, 0x00, 0x00, 0x1F},  {1, 4, 0x20, 0x20, 0x2F},  {3, 4, 0x40, 0x40, 0x4F},  {4, 5, 0x50, 0x50, 0x57},
      {11, 5, 0x88, 0x88, 0x8F}, {12, 6, 0x90, 0x90, 0x93}, {23, 6, 0xBC, 0xBC, 0xBF}, {24, 7, 0xC0, 0xC0, 0xC1},
      {47, 7, 0xEE, 0xEE, 0xEF}, {48, 8, 0xF0, 0xF0, 0xF0}, {63, 8, 0xFF, 0xFF, 0xFF},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.high);
    EXPECT_EQ(POSITION_CODE_LENGTH[row.high], row.length);
    EXPECT_EQ(POSITION_CODE[row.high], row.code);
    for (int b = row.first_prefix; b <= row.last_prefix; b++) {
      EXPECT_EQ(POSITION_PREFIX_HIGH[b], row.high);
      EXPECT_EQ(POSITION_PREFIX_LENGTH[b], row.length);
    }
  }
}

// Every byte value decodes to exactly the one code that is its prefix, and
// the lengths follow the 1/3/8/12/24/16 split.
TEST(PositionTables, PrefixTablesInvertTheCodes) {
  int per_length[9] = {};
  for (int h = 0; h < 64; h++) per_length[POSITION_CODE_LENGTH[h]]++;
  EXPECT_EQ(per_length[3], 1);
  EXPECT_EQ(per_length[4], 3);
  EXPECT_EQ(per_length[5], 8);
  EXPECT_EQ(per_length[6], 12);
  EXPECT_EQ(per_length[7], 24);
  EXPECT_EQ(per_length[8], 16);
  for (int b = 0; b < 256; b++) {
    int matches = 0, found = -1;
    for (int h = 0; h < 64; h++) {
      int shift = 8 - POSITION_CODE_LENGTH[h];
      if ((b >> shift) == (POSITION_CODE[h] >> shift)) matches++, found = h;
    }
    ASSERT_EQ(matches, 1) << b;
    EXPECT_EQ(POSITION_PREFIX_HIGH[b], found);
    EXPECT_EQ(POSITION_PREFIX_LENGTH[b], POSITION_CODE_LENGTH[found]);
  }
}
