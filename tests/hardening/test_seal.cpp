// The whole-installer seal end to end: the package builder seals, the check
// reports it, and the installer on the simulation refuses any damaged byte of
// the record or the payload before it creates a file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/seal.h"
#include "package/report_text.h"
#include "tests/hardening/hardening.h"
#include "win32sim/sim.h"

namespace {

TestRequest sample_request(bool with_extra) {
  static const Bytes extra = sample_bytes(700, 3);
  return hardening_request(sample_bytes(40000, 1), sample_bytes(3000, 2), with_extra ? &extra : nullptr);
}

bool created_any_output() {
  for (const SimCreateFile &call : sim().create_files)
    if ((call.access & GENERIC_WRITE) != 0) return true;
  return false;
}

// Refused like a header mismatch: the damaged-installer text, unless the
// (damaged) record asks for silence.
void expect_refused_as_damaged(const InstallOutcome &outcome, const std::string &what, bool silent = false) {
  SCOPED_TRACE(what);
  EXPECT_EQ(outcome.texts, silent ? std::vector<std::string>{} : std::vector<std::string>{BAD_HEADER_TEXT});
  EXPECT_FALSE(created_any_output());
  EXPECT_TRUE(outcome.windows_files.empty());
  EXPECT_FALSE(outcome.registered);
  EXPECT_EQ(outcome.open_handles, 0);
}

std::string seal_line(const TestPackage &package) {
  SealCheck check = check_image_seal(package.image.data(), package.image.size(), package.record_offset);
  return describe_seal(check);
}

TEST(Seal, BuiltPackagesAreSealedReportedAndInstall) {
  for (bool stored : {false, true}) {
    SCOPED_TRACE(stored ? "stored" : "compressed");
    TestRequest request = sample_request(true);
    request.stored = stored;
    request.main_parts = stored ? 1 : 2;
    TestPackage package = build_test_package(request);
    EXPECT_EQ(package.word(OFFSET_SEAL_MARKER), static_cast<uint32_t>(SEAL_MARKER));
    EXPECT_EQ(package.word(OFFSET_SEAL_PAYLOAD_LENGTH), package.image.size() - package.payload_offset());

    const std::string line = seal_line(package);
    EXPECT_NE(line.find("integrity: sealed, record CRC-32"), std::string::npos) << line;
    EXPECT_EQ(line.find("MISMATCH"), std::string::npos) << line;

    expect_installed(install_in_fresh_world(package), request);
  }
}

TEST(Seal, AnyDamageIsRefusedBeforeAFileIsCreated) {
  for (bool stored : {false, true}) {
    SCOPED_TRACE(stored ? "stored" : "compressed");
    TestRequest request = sample_request(true);
    request.stored = stored;
    const TestPackage good = build_test_package(request);
    const size_t payload = good.payload_offset();

    struct RecordDamage {
      const char *what;
      int offset;
      uint8_t flip;
    } record_damages[] = {
        // Fields the header check does not cover, a bit at a time.
        {"extra_size", OFFSET_EXTRA_SIZE, 0x01},
        {"flags: silent", OFFSET_FLAGS, FLAG_SILENT},
        {"main_part2_size", OFFSET_MAIN_PART2_SIZE, 0x80},
        {"a dot of the main name turned into a slash", OFFSET_MAIN_FILE_NAME + 5, '.' ^ '/'},
        {"done text", OFFSET_DONE_TEXT, 0x20},
        {"record signature slot", OFFSET_RECORD_SIGNATURE + 3, 0x04},
        {"the stored record CRC", OFFSET_SEAL_RECORD_CRC, 0x01},
        {"the stored payload CRC", OFFSET_SEAL_PAYLOAD_CRC + 3, 0x80},
        {"the covered length", OFFSET_SEAL_PAYLOAD_LENGTH, 0x01},
    };
    for (const RecordDamage &damage : record_damages) {
      TestPackage package = good;
      // Scrambling is bytewise, so a flip of the stored byte flips the plain one.
      package.image[package.record_offset + damage.offset] ^= damage.flip;
      expect_refused_as_damaged(install_in_fresh_world(package), damage.what,
                                damage.offset == OFFSET_FLAGS && damage.flip == FLAG_SILENT);
    }

    for (size_t at : {payload, payload + (good.image.size() - payload) / 2, good.image.size() - 1}) {
      TestPackage package = good;
      package.image[at] ^= 0x10;
      expect_refused_as_damaged(install_in_fresh_world(package), "payload byte " + std::to_string(at));
    }

    TestPackage cut = good;
    cut.image.pop_back();
    expect_refused_as_damaged(install_in_fresh_world(cut), "one byte cut off");
    EXPECT_NE(seal_line(cut).find("file too short"), std::string::npos) << seal_line(cut);
  }
}

TEST(Seal, DamageWithoutABadHeaderTextOrInSilentModeShowsNothing) {
  for (bool silent : {false, true}) {
    TestRequest request = sample_request(false);
    if (silent)
      request.silent = true;
    else
      request.bad_header_text.clear();
    TestPackage package = build_test_package(request);
    package.image.back() ^= 1;
    InstallOutcome outcome = install_in_fresh_world(package);
    EXPECT_TRUE(outcome.texts.empty());
    EXPECT_TRUE(outcome.windows_files.empty());
    EXPECT_FALSE(outcome.registered);
  }
}

TEST(Seal, BytesAppendedAfterThePayloadAreOutsideIt) {
  // What a signing tool does: padding and a certificate table at the end.
  TestRequest request = sample_request(true);
  TestPackage package = build_test_package(request);
  Bytes signature = sample_bytes(5000, 9);
  package.image.insert(package.image.end(), signature.begin(), signature.end());

  expect_installed(install_in_fresh_world(package), request);
  EXPECT_NE(seal_line(package).find("5000 bytes appended after it (not checked)"), std::string::npos)
      << seal_line(package);
}

TEST(Seal, WithoutTheMarkerThePackageInstallsWithoutTheCheck) {
  // A package from a tool that knows nothing of the seal: bytes 40..63 may
  // hold anything but the marker, and nothing is checked beyond header_check.
  TestRequest request = sample_request(true);
  request.stored = true;
  TestPackage package = build_test_package(request);
  for (int i = SEAL_AREA_OFFSET; i < SEAL_AREA_OFFSET + SEAL_AREA_SIZE; ++i)
    package.image[package.record_offset + i] = static_cast<uint8_t>((i * 37) ^ CONFIG_KEY);
  ASSERT_NE(package.word(OFFSET_SEAL_MARKER), static_cast<uint32_t>(SEAL_MARKER));
  expect_installed(install_in_fresh_world(package), request);
  EXPECT_NE(seal_line(package).find("not sealed"), std::string::npos);
}

TEST(Seal, AHugeCoveredLengthEndsAtTheEndOfTheFile) {
  TestPackage package = build_test_package(sample_request(false));
  package.set_word(OFFSET_SEAL_PAYLOAD_LENGTH, 0xFFFFFFFFu);
  expect_refused_as_damaged(install_in_fresh_world(package), "length 0xFFFFFFFF");
  uint64_t asked = 0;
  for (DWORD count : sim().read_requests) asked += count;
  EXPECT_LT(asked, package.image.size() + 2 * 16384);
}

TEST(Seal, ImageCheckNeverReadsOutsideTheImage) {
  const TestPackage package = build_test_package(sample_request(false));
  const uint32_t lengths[] = {0, 1, 0x7FFFFFFFu, 0xFFFFFFFFu};
  const int32_t offsets[] = {-1, 0, static_cast<int32_t>(package.image.size()), 0x7FFFFFFF};
  for (uint32_t length : lengths) {
    for (int32_t offset : offsets) {
      TestPackage copy = package;
      copy.set_word(OFFSET_SEAL_PAYLOAD_LENGTH, length);
      copy.set_word(OFFSET_PAYLOAD_OFFSET, static_cast<uint32_t>(offset));
      SealCheck check = check_image_seal(copy.image.data(), copy.image.size(), copy.record_offset);
      EXPECT_TRUE(check.seal.present);
      EXPECT_FALSE(seal_check_ok(&check)) << length << " " << offset;
    }
  }
  Bytes image = package.image;
  EXPECT_FALSE(check_image_seal(image.data(), package.record_offset + 100, package.record_offset).seal.present);
  EXPECT_FALSE(seal_image(image.data(), package.record_offset + 100, package.record_offset));
}

}  // namespace
