// Records and streams at the edges: offsets and sizes near and past 2^31,
// names and texts that fill their slots, streams that claim far more than
// they hold. Each must end cleanly: a failure (or damaged) message, no
// registration, nothing written outside the Windows directory, no more
// written than the input can describe, and reads bounded by the input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/stream.h"
#include "installer/integrity.h"
#include "platform/win32.h"
#include "tests/hardening/package_maker.h"
#include "win32sim/sim.h"

namespace {

uint64_t bytes_written(const InstallOutcome &outcome) {
  uint64_t total = 0;
  for (const auto &file : outcome.windows_files) total += file.second.size();
  return total;
}

// Takes the seal off (so the installer's own guards are what is tested) and
// makes header_check hold again after the record was changed.
void unseal_and_fix_header(Bytes *plain) {
  for (int i = SEAL_AREA_OFFSET; i < SEAL_AREA_OFFSET + SEAL_AREA_SIZE; ++i) (*plain)[i] = 0;
  set_record_word(plain, OFFSET_HEADER_CHECK,
                  record_word(*plain, OFFSET_PAYLOAD_OFFSET) ^ record_word(*plain, OFFSET_MAIN_SIZE) ^
                      record_word(*plain, OFFSET_SECOND_SIZE) ^ record_word(*plain, OFFSET_RESERVED_16));
}

void expect_clean_failure(const InstallOutcome &outcome, uint64_t most_written, const std::string &what) {
  SCOPED_TRACE(what);
  EXPECT_TRUE(outcome.texts == std::vector<std::string>{HARNESS_FAILURE_TEXT} ||
              outcome.texts == std::vector<std::string>{HARNESS_BAD_HEADER_TEXT})
      << (outcome.texts.empty() ? std::string("no message") : outcome.texts[0]);
  EXPECT_FALSE(outcome.registered);
  EXPECT_TRUE(outcome.outside_writes.empty());
  EXPECT_EQ(outcome.open_handles, 0);
  EXPECT_LE(bytes_written(outcome), most_written);
}

PackageFiles small_files() {
  PackageFiles files;
  files.main = harness_sample(30000, 11);
  files.second = harness_sample(2000, 12);
  return files;
}

TEST(Limits, ExtremePayloadOffsetsFailCleanly) {
  for (bool stored : {false, true}) {
    const BuiltPackage good = make_package(small_files(), stored ? std::vector<std::string>{"--stored"}
                                                                 : std::vector<std::string>{});
    const int64_t size = static_cast<int64_t>(good.image.size());
    // (A positive offset inside the file is indistinguishable from a real
    // one in an unsealed stored package; the seal is what catches that.)
    const int64_t offsets[] = {-1, -640, INT32_MIN, size, size + 1, 0x7FFFFFFF};
    for (int64_t offset : offsets) {
      BuiltPackage package = good;
      Bytes plain = plain_record_of(package);
      set_record_word(&plain, OFFSET_PAYLOAD_OFFSET, static_cast<uint32_t>(offset));
      unseal_and_fix_header(&plain);
      store_plain_record(&package, plain);
      expect_clean_failure(harness_install(package.image, package.record_offset), package.image.size(),
                           std::string(stored ? "stored" : "compressed") + ", payload_offset " +
                               std::to_string(offset));
    }
  }
}

TEST(Limits, StoredSizesNearAndPast2GiBFailWhenTheDataRunsOut) {
  const BuiltPackage good = make_package(small_files(), {"--stored"});
  const uint32_t sizes[] = {0x7FFFFFF0u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
  for (int field : {OFFSET_MAIN_SIZE, OFFSET_SECOND_SIZE, OFFSET_EXTRA_SIZE}) {
    for (uint32_t size : sizes) {
      BuiltPackage package = good;
      Bytes plain = plain_record_of(package);
      set_record_word(&plain, field, size);
      unseal_and_fix_header(&plain);
      store_plain_record(&package, plain);
      expect_clean_failure(harness_install(package.image, package.record_offset), package.image.size(),
                           "field " + std::to_string(field) + " = " + std::to_string(size));
    }
  }
}

TEST(Limits, CompressedSizeWordsOnlyScaleTheProgressBar) {
  // In compressed mode the record's size words feed the progress range only
  // (each stream carries its own size); extreme values must not matter.
  PackageFiles files = small_files();
  BuiltPackage good = make_package(files, {"--main-parts", "3", "--dialog", "Installing..."});
  for (uint32_t size : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    BuiltPackage package = good;
    Bytes plain = plain_record_of(package);
    for (int field : {OFFSET_MAIN_SIZE, OFFSET_SECOND_SIZE, OFFSET_MAIN_PART2_SIZE, OFFSET_MAIN_PART3_SIZE})
      set_record_word(&plain, field, size);
    unseal_and_fix_header(&plain);
    store_plain_record(&package, plain);
    InstallOutcome outcome = harness_install(package.image, package.record_offset);
    EXPECT_EQ(outcome.texts, std::vector<std::string>{HARNESS_DONE_TEXT}) << size;
    EXPECT_TRUE(outcome.windows_files == files.expected_files()) << size;
  }
}

// The main stream's size block claims `size` (its checksum fixed, so only the
// decoder's own limits stand in the way).
BuiltPackage with_claimed_main_size(uint32_t size) {
  BuiltPackage package = make_package(small_files());
  Bytes plain = plain_record_of(package);
  size_t at = record_word(plain, OFFSET_PAYLOAD_OFFSET);
  uint32_t checksum = 0x68A5;
  for (int i = 0; i < 4; ++i) {
    package.image[at + 6 + i] = static_cast<uint8_t>(size >> (8 * i));
    checksum += package.image[at + 6 + i];
  }
  package.image[at + 2] = static_cast<uint8_t>(checksum);
  package.image[at + 3] = static_cast<uint8_t>(checksum >> 8);
  unseal_and_fix_header(&plain);
  store_plain_record(&package, plain);
  return package;
}

TEST(Limits, AStreamClaimingAHugeSizeFailsAsSoonAsItsDataRunsOut) {
  for (uint32_t size : {0x00100000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    BuiltPackage package = with_claimed_main_size(size);
    // The stream holds 30000 bytes' worth of bits; a few more may come out of
    // the zero bits that stand in for missing input, no more.
    expect_clean_failure(harness_install(package.image, package.record_offset), 30000 + 4096,
                         "claimed size " + std::to_string(size));
    uint64_t asked = 0;
    for (DWORD count : sim().read_requests) asked += count;
    EXPECT_LT(asked, 4 * package.image.size()) << "reads must be bounded by the input";
  }
}

TEST(Limits, AFullDiskFailsTheInstall) {
  for (bool stored : {false, true}) {
    BuiltPackage package = make_package(small_files(), stored ? std::vector<std::string>{"--stored"}
                                                              : std::vector<std::string>{});
    InstallOutcome outcome = harness_install(package.image, package.image.data() + package.record_offset, 20000);
    expect_clean_failure(outcome, 20000, stored ? "stored" : "compressed");
  }
}

TEST(Limits, NamesOf63CharactersInstallUnderThatName) {
  PackageFiles files = small_files();
  files.main_name = std::string(59, 'M') + ".SCR";
  files.second_name = std::string(63, 's');
  ASSERT_EQ(files.main_name.size(), 63u);
  BuiltPackage package = make_package(files);
  InstallOutcome outcome = harness_install(package.image, package.record_offset);
  EXPECT_EQ(outcome.texts, std::vector<std::string>{HARNESS_DONE_TEXT});
  EXPECT_TRUE(outcome.registered);
  EXPECT_TRUE(outcome.windows_files == files.expected_files());
}

TEST(Limits, SlotsWithoutTerminatorsAreCutAtTheirEnd) {
  BuiltPackage package = make_package(small_files(), {"--stored"});
  Bytes plain = plain_record_of(package);
  // Every text slot filled to its last byte, none terminated.
  for (int slot = OFFSET_MAIN_FILE_NAME; slot < OFFSET_RECORD_SIGNATURE; slot += TEXT_SLOT_SIZE)
    for (int i = 0; i < TEXT_SLOT_SIZE; ++i)
      plain[slot + i] = static_cast<uint8_t>(slot == OFFSET_MAIN_FILE_NAME ? 'A' + i % 26 : 'a' + slot / 64);
  // The confirmation question too; the simulation answers yes.
  unseal_and_fix_header(&plain);
  store_plain_record(&package, plain);
  InstallOutcome outcome = harness_install(package.image, package.record_offset);

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
  uint32_t checksum = 0x68A5;
  for (uint8_t b : data) checksum += b;
  uint32_t length = static_cast<uint32_t>(data.size() + 6);
  Bytes header = {0x52, 0x43, static_cast<uint8_t>(checksum), static_cast<uint8_t>(checksum >> 8),
                  static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8)};
  out->insert(out->end(), header.begin(), header.end());
  out->insert(out->end(), data.begin(), data.end());
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
      Bytes data = harness_sample(10234, 100 + b);
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
