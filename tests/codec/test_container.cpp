// Block container: checksums, header checks, the size block and how a bit
// stream is cut into blocks.
#include <gtest/gtest.h>

#include "codec/common/container.h"
#include "tests/codec/test_data.h"
#include "tests/support/memory_files.h"

TEST(Container, ChecksumStartsFromSeedAndWrapsAt16Bits) {
  EXPECT_EQ(block_checksum(nullptr, 0), 0x68A5);
  EXPECT_EQ(block_checksum(nullptr, -3), 0x68A5);
  const uint8_t abc[] = {0x61, 0x62, 0x63};
  EXPECT_EQ(block_checksum(abc, 3), 0x69CB);
  const uint8_t size_bytes[] = {0x00, 0xC0, 0x00, 0x00};
  EXPECT_EQ(block_checksum(size_bytes, 4), 0x6965);
  std::vector<uint8_t> ff(400, 0xFF);  // 0x68A5 + 400 * 255 = 0x1F715
  EXPECT_EQ(block_checksum(ff.data(), 400), 0xF715);
}

TEST(Container, SizeBlockOfA49152ByteStream) {
  std::vector<uint8_t> input(49152, 'x');
  int ok = 0;
  std::vector<uint8_t> packed = encode_bytes(input, &ok);
  ASSERT_EQ(ok, 1);
  const uint8_t expected[] = {0x52, 0x43, 0x65, 0x69, 0x0A, 0x00, 0x00, 0xC0, 0x00, 0x00};
  ASSERT_GE(packed.size(), sizeof expected);
  EXPECT_TRUE(std::equal(expected, expected + 10, packed.begin()));
}

TEST(Container, CheckBlockRejectsEveryBadHeader) {
  uint8_t block[16] = {0x52, 0x43, 0, 0, 9, 0, 0x61, 0x62, 0x63, 0x77};
  write_block_header(block, 9);
  EXPECT_EQ(check_block(block, 16), 9);
  EXPECT_EQ(check_block(block, 9), 9);  // the block just fits
  EXPECT_EQ(check_block(block, 8), 0);  // length beyond what is there
  EXPECT_EQ(check_block(block, 5), 0);  // not even a header

  uint8_t bad[16];
  memcpy(bad, block, 16);
  bad[0] = 0x53;  // signature
  EXPECT_EQ(check_block(bad, 16), 0);
  memcpy(bad, block, 16);
  bad[1] = 0x42;  // signature, high byte
  EXPECT_EQ(check_block(bad, 16), 0);
  memcpy(bad, block, 16);
  bad[2] ^= 1;  // checksum field
  EXPECT_EQ(check_block(bad, 16), 0);
  memcpy(bad, block, 16);
  bad[7] ^= 0x10;  // one data byte
  EXPECT_EQ(check_block(bad, 16), 0);
  memcpy(bad, block, 16);
  bad[4] = 5;  // length below a header
  EXPECT_EQ(check_block(bad, 16), 0);

  // Longer than any block a writer makes, though every byte is there.
  std::vector<uint8_t> long_block(BLOCK_SIZE + 1, 0);
  write_block_header(long_block.data(), BLOCK_SIZE + 1);
  int32_t length = 0;
  EXPECT_EQ(judge_block(long_block.data(), BLOCK_SIZE + 1, &length), BLOCK_BAD_LENGTH);
  EXPECT_EQ(length, BLOCK_SIZE + 1);
  write_block_header(long_block.data(), BLOCK_SIZE);
  EXPECT_EQ(judge_block(long_block.data(), BLOCK_SIZE + 1, &length), BLOCK_SOUND);

  uint8_t empty[6];
  write_block_header(empty, 6);
  EXPECT_EQ(check_block(empty, 6), 6);
  EXPECT_EQ(empty[2] | (empty[3] << 8), 0x68A5);
}

TEST(Container, BitStreamOf20614BytesTakes20642) {
  std::vector<uint8_t> input = input_with_bit_length(20614);
  ASSERT_FALSE(input.empty());
  std::vector<uint8_t> packed = encode_bytes(input);
  ASSERT_EQ(packed.size(), 20642u);
  EXPECT_EQ(packed[10 + 4] | (packed[10 + 5] << 8), 10240);
  EXPECT_EQ(packed[10250 + 4] | (packed[10250 + 5] << 8), 10240);
  EXPECT_EQ(packed[20490 + 4] | (packed[20490 + 5] << 8), 152);
  DecodeResult decoded = decode_bytes(packed);
  EXPECT_EQ(decoded.ok, 1);
  EXPECT_EQ(decoded.consumed_length, 20642);
  EXPECT_EQ(decoded.output, input);
}
