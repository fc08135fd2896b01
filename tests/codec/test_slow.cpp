// Long-running codec checks, labelled slow: a multi-megabyte round trip.
#include <gtest/gtest.h>

#include "tests/codec/test_data.h"
#include "tests/support/memory_files.h"

TEST(RoundTripSlow, MultiMegabyteMixed) {
  const uint32_t seed = 4242;
  std::vector<uint8_t> input = make_data(DataKind::mixed, 6 * 1024 * 1024 + 3, seed);
  int ok = 0;
  std::vector<uint8_t> packed = encode_bytes(input, &ok);
  ASSERT_EQ(ok, 1) << "seed " << seed;
  DecodeResult r = decode_bytes(packed);
  ASSERT_EQ(r.ok, 1) << "seed " << seed;
  EXPECT_EQ(static_cast<size_t>(r.consumed_length), packed.size()) << "seed " << seed;
  EXPECT_TRUE(r.output == input) << "seed " << seed << ": output differs";
}
