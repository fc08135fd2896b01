// The record search and the file-name rule that build and extract share.
#include <gtest/gtest.h>

#include "installer/install_config.h"
#include "tests/tools/fake_stub.h"
#include "tools/record.h"

namespace {

TEST(Record, FindsTheScrambledSignatureOnly) {
  std::vector<uint8_t> stub = make_fake_stub(1000, 50);
  std::vector<size_t> hits = find_signature_hits(stub.data(), stub.size());
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(record_start_for_hit(hits[0], stub.size()), 1000u);

  // The plain text is not a hit: only the scrambled form marks a record.
  std::vector<uint8_t> plain(RECORD_SIGNATURE, RECORD_SIGNATURE + RECORD_SIGNATURE_SIZE);
  EXPECT_TRUE(find_signature_hits(plain.data(), plain.size()).empty());

  // Overlapping and adjacent hits are all counted.
  std::vector<uint8_t> twice = stub;
  twice.insert(twice.end(), stub.begin(), stub.end());
  EXPECT_EQ(find_signature_hits(twice.data(), twice.size()).size(), 2u);

  // A record that would start before the file or end after it is not usable.
  EXPECT_EQ(record_start_for_hit(OFFSET_RECORD_SIGNATURE - 1, 5000), SIZE_MAX);
  EXPECT_EQ(record_start_for_hit(OFFSET_RECORD_SIGNATURE, CONFIG_SIZE), 0u);
  EXPECT_EQ(record_start_for_hit(OFFSET_RECORD_SIGNATURE + 1, CONFIG_SIZE), SIZE_MAX);
}

TEST(Record, HeaderCheckCoversTheFourWords) {
  uint8_t plain[CONFIG_SIZE] = {};
  EXPECT_TRUE(header_check_holds(plain));  // all zero holds
  write_le32(plain + OFFSET_PAYLOAD_OFFSET, 0x1000);
  write_le32(plain + OFFSET_MAIN_SIZE, 0x22);
  write_le32(plain + OFFSET_SECOND_SIZE, 0x300);
  write_le32(plain + OFFSET_RESERVED_16, 0x4000000);
  write_le32(plain + OFFSET_HEADER_CHECK, 0x4001322);
  EXPECT_TRUE(header_check_holds(plain));
  write_le32(plain + OFFSET_EXTRA_SIZE, 5);  // not covered
  EXPECT_TRUE(header_check_holds(plain));
  plain[OFFSET_RESERVED_16] ^= 1;
  EXPECT_FALSE(header_check_holds(plain));
}

TEST(Record, PlainFileNames) {
  for (const char *good : {"KESTREL.SCR", "a", "long name with spaces.scr", "x..y", "~1"})
    EXPECT_EQ(file_name_problem(good), nullptr) << good;
  for (const char *bad : {"", ".", "..", "a/b", "..\\b", "c:evil", "a\tb", "what?", "a*", "pipe|", "<x>", "q\"q"})
    EXPECT_NE(file_name_problem(bad), nullptr) << bad;
  EXPECT_EQ(file_name_problem(std::string(63, 'a')), nullptr);
  EXPECT_NE(file_name_problem(std::string(64, 'a')), nullptr);
}

}  // namespace
