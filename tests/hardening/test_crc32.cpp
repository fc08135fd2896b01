// The CRC-32 behind the whole-installer seal, against zlib's.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "format/crc32.h"

namespace {

TEST(Crc32, KnownValues) {
  EXPECT_EQ(crc32_update(CRC32_INITIAL, "123456789", 9), 0xCBF43926u);
  EXPECT_EQ(crc32_update(CRC32_INITIAL, "", 0), 0u);
  EXPECT_EQ(crc32_update(0x12345678u, "x", 0), 0x12345678u);
  EXPECT_EQ(crc32_update(0x12345678u, "x", -5), 0x12345678u);
}

TEST(Crc32, MatchesZlibInAnyPieces) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 50; ++round) {
    std::vector<uint8_t> data(random() % 70000);
    for (uint8_t &b : data) b = static_cast<uint8_t>(random());
    uLong expected = crc32(0, data.data(), static_cast<uInt>(data.size()));
    uint32_t crc = CRC32_INITIAL;
    size_t at = 0;
    while (at < data.size()) {
      size_t piece = std::min<size_t>(data.size() - at, random() % 5000);
      crc = crc32_update(crc, data.data() + at, static_cast<int32_t>(piece));
      at += piece;
    }
    ASSERT_EQ(crc, expected) << "seed round " << round << ", " << data.size() << " bytes";
  }
}

}  // namespace
