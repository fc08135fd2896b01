// Records and streams at the edges: offsets and sizes near and past 2^31,
// names and texts that fill their slots, streams that claim far more than
// they hold. Each must end cleanly: a failure (or damaged) message, no
// registration, nothing written outside the Windows directory, no more
// written than the input can describe, and reads bounded by the input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/common/byte_order.h"
#include "codec/common/container.h"
#include "codec/common/stream.h"
#include "platform/win32.h"
#include "tests/hardening/hardening.h"
#include "win32sim/sim.h"

namespace {

uint64_t bytes_written(const InstallOutcome &outcome) {
  uint64_t total = 0;
  for (const auto &file : outcome.windows_files) total += file.second.size();
  return total;
}

// Takes the seal off (so the installer's own guards are what is tested) and
// makes header_check hold again after the record was changed.
void unseal_and_fix_header(TestPackage *package) {
  package->unseal();
  package->fix_header_check();
}

void expect_clean_failure(const InstallOutcome &outcome, uint64_t most_written, const std::string &what) {
  SCOPED_TRACE(what);
  EXPECT_TRUE(outcome.texts == std::vector<std::string>{FAILURE_TEXT} ||
              outcome.texts == std::vector<std::string>{BAD_HEADER_TEXT})
      << (outcome.texts.empty() ? std::string("no message") : outcome.texts[0]);
  EXPECT_FALSE(outcome.registered);
  EXPECT_TRUE(outcome.outside_writes.empty());
  EXPECT_EQ(outcome.open_handles, 0);
  EXPECT_LE(bytes_written(outcome), most_written);
}

TestRequest small_request(bool stored = false) {
  TestRequest request = hardening_request(sample_bytes(30000, 11), sample_bytes(2000, 12));
  request.stored = stored;
  return request;
}

TEST(Limits, ExtremePayloadOffsetsFailCleanly) {
  for (bool stored : {false, true}) {
    const TestPackage good = build_test_package(small_request(stored));
    const int64_t size = static_cast<int64_t>(good.image.size());
    // (A positive offset inside the file is indistinguishable from a real
    // one in an unsealed stored package; the seal is what catches that.)
    const int64_t offsets[] = {-1, -640, INT32_MIN, size, size + 1, 0x7FFFFFFF};
    for (int64_t offset : offsets) {
      TestPackage package = good;
      package.set_word(OFFSET_PAYLOAD_OFFSET, static_cast<uint32_t>(offset));
      unseal_and_fix_header(&package);
      expect_clean_failure(
          install_in_fresh_world(package), package.image.size(),
          std::string(stored ? "stored" : "compressed") + ", payload_offset " + std::to_string(offset));
    }
  }
}

TEST(Limits, StoredSizesNearAndPast2GiBFailWhenTheDataRunsOut) {
  const TestPackage good = build_test_package(small_request(true));
  const uint32_t sizes[] = {0x7FFFFFF0u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
  for (int field : {OFFSET_MAIN_SIZE, OFFSET_SECOND_SIZE, OFFSET_EXTRA_SIZE}) {
    for (uint32_t size : sizes) {
      TestPackage package = good;
      package.set_word(field, size);
      unseal_and_fix_header(&package);
      expect_clean_failure(install_in_fresh_world(package), package.image.size(),
                           "field " + std::to_string(field) + " = " + std::to_string(size));
    }
  }
}

TEST(Limits, CompressedSizeWordsOnlyScaleTheProgressBar) {
  // In compressed mode the record's size words feed the progress range only
  // (each stream carries its own size); extreme values must not matter.
  TestRequest request = small_request();
  request.main_parts = 3;
  request.dialog_text = "Installing...";
  const TestPackage good = build_test_package(request);
  for (uint32_t size : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    TestPackage package = good;
    for (int field : {OFFSET_MAIN_SIZE, OFFSET_SECOND_SIZE, OFFSET_MAIN_PART2_SIZE, OFFSET_MAIN_PART3_SIZE})
      package.set_word(field, size);
    unseal_and_fix_header(&package);
    InstallOutcome outcome = install_in_fresh_world(package);
    EXPECT_EQ(outcome.texts, std::vector<std::string>{DONE_TEXT}) << size;
    EXPECT_TRUE(outcome.windows_files == expected_files(request)) << size;
  }
}

// The main stream's size block claims `size` (its checksum fixed, so only the
// decoder's own limits stand in the way).
TestPackage with_claimed_main_size(uint32_t size) {
  TestPackage package = build_test_package(small_request());
  uint8_t *size_block = package.image.data() + package.payload_offset();
  write_le32(size_block + BLOCK_HEADER_SIZE, size);
  write_block_header(size_block, SIZE_BLOCK_LENGTH);
  unseal_and_fix_header(&package);
  return package;
}

TEST(Limits, AStreamClaimingAHugeSizeFailsAsSoonAsItsDataRunsOut) {
  for (uint32_t size : {0x00100000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    TestPackage package = with_claimed_main_size(size);
    // The stream holds 30000 bytes' worth of bits; a few more may come out of
    // the zero bits that stand in for missing input, no more.
    expect_clean_failure(install_in_fresh_world(package), 30000 + 4096, "claimed size " + std::to_string(size));
    uint64_t asked = 0;
    for (DWORD count : sim().read_requests) asked += count;
    EXPECT_LT(asked, 4 * package.image.size()) << "reads must be bounded by the input";
  }
}

TEST(Limits, AFullDiskFailsTheInstall) {
  for (bool stored : {false, true}) {
    TestPackage package = build_test_package(small_request(stored));
    InstallOutcome outcome = install_in_fresh_world(package, 20000);
    expect_clean_failure(outcome, 20000, stored ? "stored" : "compressed");
  }
}

TEST(Limits, NamesOf63CharactersInstallUnderThatName) {
  TestRequest request = small_request();
  request.main_name = std::string(59, 'M') + ".SCR";
  request.second_name = std::string(63, 's');
  ASSERT_EQ(request.main_name.size(), 63u);
  expect_installed(install_in_fresh_world(build_test_package(request)), request);
}

TEST(Limits, SlotsWithoutTerminatorsAreCutAtTheirEnd) {
  TestPackage package = build_test_package(small_request(true));
  // Every text slot filled to its last byte, none terminated; the
  // confirmation question too (the simulation answers yes).
  for (int32_t slot = FIRST_TEXT_SLOT; slot < END_OF_TEXT_SLOTS; slot += TEXT_SLOT_SIZE) {
    std::string text;
    for (int i = 0; i < TEXT_SLOT_SIZE; ++i)
      text += static_cast<char>(slot == OFFSET_MAIN_FILE_NAME ? 'A' + i % 26 : 'a' + slot / 64);
    package.set_text(slot, text);
  }
  unseal_and_fix_header(&package);
  InstallOutcome outcome = install_in_fresh_world(package);

  EXPECT_TRUE(outcome.outside_writes.empty());
  EXPECT_EQ(outcome.open_handles, 0);
  ASSERT_FALSE(outcome.texts.empty());
  for (const std::string &text : outcome.texts) EXPECT_LE(text.size(), 63u) << text;
  for (const auto &file : outcome.windows_files) EXPECT_LE(file.first.size(), 63u) << file.first;
}

// ---- the decoder on its own, through the installer's file seam ----

struct DecodeRun {
  int result;
  uint64_t written;
  uint64_t asked;
  int reads;
};

DecodeRun decode_file(const Bytes &stream) {
  sim_reset();
  sim_write_file("C:\\IN.BIN", stream);
  HANDLE in = CreateFileA("C:\\IN.BIN", GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  HANDLE out = CreateFileA("C:\\OUT.BIN", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  sim().read_requests.clear();
  DecodeRun run;
  run.result = decompress_stream(in, out);
  CloseHandle(in);
  CloseHandle(out);
  run.written = sim_read_file("C:\\OUT.BIN").size();
  run.asked = 0;
  for (DWORD count : sim().read_requests) run.asked += count;
  run.reads = static_cast<int>(sim().read_requests.size());
  return run;
}

void put_block(Bytes *out, const Bytes &data) {
  size_t start = out->size();
  out->resize(start + BLOCK_HEADER_SIZE);
  out->insert(out->end(), data.begin(), data.end());
  write_block_header(out->data() + start, static_cast<int32_t>(data.size() + BLOCK_HEADER_SIZE));
}

TEST(Limits, DecodingIsBoundedByItsInput) {
  // Well-formed blocks of arbitrary bits under a size of 2^31 - 1: whatever
  // the bits say, each input byte yields at most 48 output bytes (a 60-byte
  // match costs at least 10 bits), the input is read once, and the stream
  // fails when it runs out.
  for (int blocks : {1, 4, 16}) {
    Bytes stream;
    put_block(&stream, {0xFF, 0xFF, 0xFF, 0x7F});
    size_t data_bytes = 0;
    for (int b = 0; b < blocks; ++b) {
      Bytes data = sample_bytes(10234, 100 + b);
      data_bytes += data.size();
      put_block(&stream, data);
    }
    DecodeRun run = decode_file(stream);
    SCOPED_TRACE(std::to_string(blocks) + " blocks");
    EXPECT_EQ(run.result, 0);
    EXPECT_LE(run.written, 48 * data_bytes + 60);
    EXPECT_LE(run.reads, blocks + 2);
    EXPECT_LE(run.asked, static_cast<uint64_t>(blocks + 2) * 10240);
  }
}

TEST(Limits, RunsOfLongestMatchesStayLinear) {
  // The densest possible input: one literal, then nothing but zero bits,
  // which the fresh model decodes as ever-repeating matches. The output is
  // still bounded by the input, and the stream fails once its data is used up.
  Bytes stream;
  put_block(&stream, {0x00, 0x00, 0x00, 0x40});  // claims 1 GiB
  put_block(&stream, Bytes(10234, 0));
  DecodeRun run = decode_file(stream);
  EXPECT_EQ(run.result, 0);
  EXPECT_LE(run.written, 48 * 10234 + 60);
  EXPECT_LE(run.reads, 3);
}

}  // namespace
