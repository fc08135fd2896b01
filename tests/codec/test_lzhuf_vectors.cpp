// Byte-exact encoder output and the parse decisions behind it.
#include <gtest/gtest.h>

#include "codec/common/stream.h"
#include "tests/codec/item_codec.h"
#include "tests/support/memory_files.h"

namespace {

// The bit stream (blocks stripped) that compress_stream writes for text.
std::vector<uint8_t> bit_stream_of(const std::string &text) {
  int ok = 0;
  std::vector<uint8_t> packed = encode_bytes(bytes_of(text), &ok);
  EXPECT_EQ(ok, 1);
  return unwrap_container(packed);
}

std::vector<Item> items_of(const std::vector<uint8_t> &input) {
  std::vector<uint8_t> packed = encode_bytes(input);
  return parse_items(unwrap_container(packed), static_cast<uint32_t>(input.size()));
}

}  // namespace

TEST(LzhufVectors, KnownBitStreams) {
  EXPECT_EQ(bit_stream_of(""), std::vector<uint8_t>{});
  EXPECT_EQ(bit_stream_of("A"), (std::vector<uint8_t>{0xE6, 0x80}));
  EXPECT_EQ(bit_stream_of("AAAAA"), (std::vector<uint8_t>{0xE6, 0xC6, 0x80, 0x00}));
  EXPECT_EQ(bit_stream_of("abcabcabcabc"), (std::vector<uint8_t>{0xF6, 0xFB, 0xBD, 0xF2, 0x40, 0x20}));
}

TEST(LzhufVectors, EmptyInputIsTheSizeBlockAlone) {
  int ok = 0;
  std::vector<uint8_t> packed = encode_bytes({}, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(packed, (std::vector<uint8_t>{0x52, 0x43, 0xA5, 0x68, 0x0A, 0, 0, 0, 0, 0}));
}

TEST(LzhufVectors, KnownBitStreamsDecode) {
  struct Case {
    std::vector<uint8_t> bits;
    std::string text;
  } cases[] = {
      {{0xE6, 0x80}, "A"},
      {{0xE6, 0xC6, 0x80, 0x00}, "AAAAA"},
      {{0xF6, 0xFB, 0xBD, 0xF2, 0x40, 0x20}, "abcabcabcabc"},
  };
  for (const Case &c : cases) {
    DecodeResult r = decode_bytes(wrap_container(static_cast<uint32_t>(c.text.size()), c.bits));
    EXPECT_EQ(r.ok, 1) << c.text;
    EXPECT_EQ(r.output, bytes_of(c.text));
  }
}

TEST(LzhufVectors, NearestOfEquallyLongMatchesWins) {
  std::vector<Item> items = items_of(bytes_of("abcXabcYabcZ"));
  std::vector<Item> expected = {Item::literal('a'), Item::literal('b'), Item::literal('c'), Item::literal('X'),
                                Item::match(3, 3),  Item::literal('Y'), Item::match(3, 3),  Item::literal('Z')};
  EXPECT_EQ(items, expected);
}

TEST(LzhufVectors, RunsAreOneLiteralAndMatchesAtOffsetZero) {
  std::vector<Item> items = items_of(std::vector<uint8_t>(200, 'q'));
  std::vector<Item> expected = {Item::literal('q'), Item::match(60, 0), Item::match(60, 0), Item::match(60, 0),
                                Item::match(19, 0)};
  EXPECT_EQ(items, expected);
  items = items_of(std::vector<uint8_t>(60, 'q'));
  expected = {Item::literal('q'), Item::match(59, 0)};
  EXPECT_EQ(items, expected);
}

// Leading spaces match the window's initial fill, but only the 60 spaces in
// front of the first position are in the dictionary. The decoder reads
// spaces as far back as the window reaches, whatever an earlier stream left.
TEST(LzhufVectors, EarlyMatchesReachIntoTheInitialSpaces) {
  std::vector<Item> items = items_of(bytes_of("   x"));
  std::vector<Item> expected = {Item::match(3, 0), Item::literal('x')};
  EXPECT_EQ(items, expected);
  DecodeResult r = decode_bytes(wrap_container(3, write_items({Item::match(3, 59)})));
  EXPECT_EQ(r.ok, 1);
  EXPECT_EQ(r.output, bytes_of("   "));
  decode_bytes(encode_bytes(std::vector<uint8_t>(20000, 'z')));
  r = decode_bytes(wrap_container(3, write_items({Item::match(3, 4095)})));
  EXPECT_EQ(r.ok, 1);
  EXPECT_EQ(r.output, bytes_of("   "));
}

// Offset 100: high part 1 (code 0010), low part 36 (100100).
TEST(LzhufVectors, OffsetCodeLayout) {
  std::vector<uint8_t> input(101, 0);
  for (int i = 0; i < 100; i++) input[i] = static_cast<uint8_t>(i * 7 + 1);
  input.insert(input.end(), input.begin(), input.begin() + 3);  // "match 3 at offset 100"
  input[100] = 0xEE;
  std::vector<Item> items = items_of(input);
  ASSERT_EQ(items.size(), 102u);
  EXPECT_EQ(items.back(), Item::match(3, 100));
}
