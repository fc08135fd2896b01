// Round trips over varied seeded data through both encoders, a golden digest
// that pins the default encoder's exact output over a fixed corpus, and what
// the stronger parse (compress_stream_best) does beyond the greedy one.
#include <gtest/gtest.h>

#include "codec/common/lzhuf.h"
#include "tests/codec/item_codec.h"
#include "tests/codec/test_data.h"
#include "tests/support/memory_files.h"

namespace {

const size_t GOLDEN_TOTAL = 233861;
const uint64_t GOLDEN_HASH = 10068594171500586474ull;

const DataKind KINDS[] = {DataKind::random, DataKind::runs, DataKind::text, DataKind::executable, DataKind::mixed};

void expect_round_trip(const std::vector<uint8_t> &input, const std::string &what, bool best = false) {
  int ok = 0;
  std::vector<uint8_t> packed = best ? encode_bytes_best(input, &ok) : encode_bytes(input, &ok);
  ASSERT_EQ(ok, 1) << what;
  DecodeResult r = decode_bytes(packed);
  ASSERT_EQ(r.ok, 1) << what;
  ASSERT_EQ(static_cast<size_t>(r.consumed_length), packed.size()) << what;
  ASSERT_TRUE(r.output == input) << what << ": output differs";
}

uint64_t fnv1a(const std::vector<uint8_t> &bytes, uint64_t hash = 0xcbf29ce484222325ull) {
  for (uint8_t b : bytes) hash = (hash ^ b) * 0x100000001b3ull;
  return hash;
}

}  // namespace

// Sizes around the look-ahead, the window, the container's blocks and the
// stronger parse's blocks (1024 positions coded, 1280 planned).
TEST(RoundTrip, EdgeSizesOfEveryKind) {
  const size_t sizes[] = {0, 1, 2, 3, 59, 60, 61, 1024, 1283, 1341, 4035, 4036, 4037, 4095, 4096, 4097, 10234, 20000};
  for (bool best : {false, true})
    for (DataKind kind : KINDS)
      for (size_t size : sizes) {
        uint32_t seed = static_cast<uint32_t>(size * 31 + static_cast<int>(kind));
        expect_round_trip(make_data(kind, size, seed),
                          std::string(best ? "best " : "") + data_kind_name(kind) + " size " + std::to_string(size) +
                              " seed " + std::to_string(seed),
                          best);
      }
  std::vector<uint8_t> spaces(130, ' ');  // matches the window's initial fill
  spaces.push_back('x');
  expect_round_trip(spaces, "leading spaces", true);
  EXPECT_EQ(encode_bytes_best({}), encode_bytes({}));
}

TEST(RoundTrip, ManySeeds) {
  for (uint32_t seed = 1; seed <= 40; seed++) {
    DataKind kind = KINDS[seed % 5];
    size_t size = 1 + (seed * 7919) % 60000;
    expect_round_trip(
        make_data(kind, size, seed),
        std::string(data_kind_name(kind)) + " size " + std::to_string(size) + " seed " + std::to_string(seed),
        seed % 2 == 0);
  }
}

// Every byte value and the window wrap: a match across position 4095 is
// found through the mirror and copied through the wrap.
TEST(RoundTrip, WrapAndAllByteValues) {
  std::vector<uint8_t> input;
  for (int i = 0; i < 3 * 4096 + 77; i++) input.push_back(static_cast<uint8_t>((i * 131) ^ (i >> 9)));
  std::vector<uint8_t> tail(input.begin() + 100, input.begin() + 700);
  input.insert(input.end(), tail.begin(), tail.end());
  expect_round_trip(input, "wrap");
  expect_round_trip(input, "wrap, best", true);
}

// Digest of the encoder's output over a fixed corpus: any change of a
// produced byte shows here.
TEST(RoundTrip, GoldenEncoderOutput) {
  uint64_t hash = 0xcbf29ce484222325ull;
  size_t total = 0;
  for (uint32_t seed = 1; seed <= 10; seed++) {
    std::vector<uint8_t> input = make_data(KINDS[seed % 5], 9000 * seed, 1000 + seed);
    std::vector<uint8_t> packed = encode_bytes(input);
    total += packed.size();
    hash = fnv1a(packed, hash);
  }
  EXPECT_EQ(total, GOLDEN_TOTAL);
  EXPECT_EQ(hash, GOLDEN_HASH);
}

// A copy 4096 bytes back (offset 4095) reads the window slot about to be
// overwritten; the greedy parse never reaches that far, the stronger one does.
TEST(BestParse, ReachesTheWholeWindow) {
  std::vector<uint8_t> input = make_data(DataKind::random, WINDOW_SIZE, 77);
  input.insert(input.end(), input.begin(), input.begin() + 100);
  expect_round_trip(input, "distance 4096", true);
  std::vector<Item> items =
      parse_items(unwrap_container(encode_bytes_best(input)), static_cast<uint32_t>(input.size()));
  bool farthest = false;
  for (const Item &item : items) farthest = farthest || item.offset == WINDOW_SIZE - 1;
  EXPECT_TRUE(farthest);
}

// Smaller than the greedy parse on text, and written block by block with a
// progress report for each, as the default encoder does.
TEST(BestParse, SmallerThanGreedyAndReportsProgress) {
  std::vector<uint8_t> input = make_data(DataKind::text, 60000, 5);
  std::vector<uint8_t> greedy = encode_bytes(input);
  reset_heartbeat();
  std::vector<uint8_t> packed = encode_bytes_best(input);
  EXPECT_LT(packed.size(), greedy.size() * 97 / 100);
  int64_t reported = 0;
  for (int32_t count : heartbeat.progress) reported += count;
  EXPECT_GE(heartbeat.progress.size(), 3u);
  EXPECT_EQ(static_cast<size_t>(reported), packed.size());
}
