// The whole-installer seal end to end: kestrune-pack build seals, inspect and
// verify report it, and the installer on the simulation refuses any damaged
// byte of the record or the payload before it creates a file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/integrity.h"
#include "tests/hardening/package_maker.h"
#include "tools/integrity.h"
#include "win32sim/sim.h"

namespace {

PackageFiles sample_files(bool with_extra) {
  PackageFiles files;
  files.main = harness_sample(40000, 1);
  files.second = harness_sample(3000, 2);
  if (with_extra) files.extra = harness_sample(700, 3);
  return files;
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
  EXPECT_EQ(outcome.texts, silent ? std::vector<std::string>{} : std::vector<std::string>{HARNESS_BAD_HEADER_TEXT});
  EXPECT_FALSE(created_any_output());
  EXPECT_TRUE(outcome.windows_files.empty());
  EXPECT_FALSE(outcome.registered);
  EXPECT_EQ(outcome.open_handles, 0);
}

void expect_installed(const InstallOutcome &outcome, const PackageFiles &files) {
  EXPECT_EQ(outcome.texts, std::vector<std::string>{HARNESS_DONE_TEXT});
  EXPECT_TRUE(outcome.registered);
  EXPECT_TRUE(outcome.windows_files == files.expected_files());
  EXPECT_TRUE(outcome.outside_writes.empty());
  EXPECT_EQ(outcome.open_handles, 0);
}

TEST(Seal, BuiltPackagesAreSealedReportedAndInstall) {
  for (bool stored : {false, true}) {
    SCOPED_TRACE(stored ? "stored" : "compressed");
    PackageFiles files = sample_files(true);
    BuiltPackage package = make_package(files, stored ? std::vector<std::string>{"--stored"}
                                                      : std::vector<std::string>{"--main-parts", "2"});
    Bytes plain = plain_record_of(package);
    EXPECT_EQ(record_word(plain, OFFSET_SEAL_MARKER), static_cast<uint32_t>(SEAL_MARKER));
    EXPECT_EQ(record_word(plain, OFFSET_SEAL_PAYLOAD_LENGTH),
              package.image.size() - record_word(plain, OFFSET_PAYLOAD_OFFSET));

    std::string output;
    EXPECT_EQ(run_pack_on({"inspect"}, package.image, &output), 0) << output;
    EXPECT_NE(output.find("integrity: sealed, record CRC-32"), std::string::npos) << output;
    EXPECT_EQ(output.find("MISMATCH"), std::string::npos) << output;
    EXPECT_EQ(run_pack_on({"verify"}, package.image, &output), 0) << output;
    EXPECT_NE(output.find("sealed, whole-installer check ok"), std::string::npos) << output;

    expect_installed(harness_install(package.image, package.record_offset), files);
  }
}

TEST(Seal, AnyDamageIsRefusedBeforeAFileIsCreated) {
  for (bool stored : {false, true}) {
    SCOPED_TRACE(stored ? "stored" : "compressed");
    const BuiltPackage good = make_package(sample_files(true), stored ? std::vector<std::string>{"--stored"}
                                                                      : std::vector<std::string>{});
    const Bytes plain = plain_record_of(good);
    const size_t payload = record_word(plain, OFFSET_PAYLOAD_OFFSET);

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
      BuiltPackage package = good;
      Bytes changed = plain;
      changed[damage.offset] ^= damage.flip;
      store_plain_record(&package, changed);
      expect_refused_as_damaged(harness_install(package.image, package.record_offset), damage.what,
                                damage.offset == OFFSET_FLAGS && damage.flip == FLAG_SILENT);
    }

    struct PayloadDamage {
      const char *what;
      size_t at;
    } payload_damages[] = {
        {"first payload byte", payload},
        {"a middle payload byte", payload + (good.image.size() - payload) / 2},
        {"last payload byte", good.image.size() - 1},
    };
    for (const PayloadDamage &damage : payload_damages) {
      BuiltPackage package = good;
      package.image[damage.at] ^= 0x10;
      expect_refused_as_damaged(harness_install(package.image, package.record_offset), damage.what);
    }

    BuiltPackage cut = good;
    cut.image.pop_back();
    expect_refused_as_damaged(harness_install(cut.image, cut.record_offset), "one byte cut off");
    std::string output;
    EXPECT_NE(run_pack_on({"verify"}, cut.image, &output), 0);
    EXPECT_NE(output.find("file too short"), std::string::npos) << output;
  }
}

TEST(Seal, DamageWithoutABadHeaderTextOrInSilentModeShowsNothing) {
  for (const std::vector<std::string> &options :
       {std::vector<std::string>{"--bad-header", ""}, std::vector<std::string>{"--silent"}}) {
    SCOPED_TRACE(options[0]);
    BuiltPackage package = make_package(sample_files(false), options);
    package.image.back() ^= 1;
    InstallOutcome outcome = harness_install(package.image, package.record_offset);
    EXPECT_TRUE(outcome.texts.empty());
    EXPECT_TRUE(outcome.windows_files.empty());
    EXPECT_FALSE(outcome.registered);
  }
}

TEST(Seal, BytesAppendedAfterThePayloadAreOutsideIt) {
  // What a signing tool does: padding and a certificate table at the end.
  PackageFiles files = sample_files(true);
  BuiltPackage package = make_package(files);
  Bytes signature = harness_sample(5000, 9);
  package.image.insert(package.image.end(), signature.begin(), signature.end());

  expect_installed(harness_install(package.image, package.record_offset), files);
  std::string output;
  EXPECT_EQ(run_pack_on({"inspect"}, package.image, &output), 0) << output;
  EXPECT_NE(output.find("5000 bytes appended after it (not checked)"), std::string::npos) << output;
}

TEST(Seal, WithoutTheMarkerThePackageInstallsAsBefore) {
  // A package from a tool that knows nothing of the seal: words 40..63 may
  // hold anything but the marker, and nothing is checked beyond header_check.
  PackageFiles files = sample_files(true);
  BuiltPackage package = make_package(files, {"--stored"});
  Bytes plain = plain_record_of(package);
  for (int i = SEAL_AREA_OFFSET; i < SEAL_AREA_OFFSET + SEAL_AREA_SIZE; ++i) plain[i] = static_cast<uint8_t>(i * 37);
  store_plain_record(&package, plain);
  ASSERT_FALSE(seal_present(plain.data()));
  expect_installed(harness_install(package.image, package.record_offset), files);

  std::string output;
  EXPECT_EQ(run_pack_on({"verify"}, package.image, &output), 0) << output;
  EXPECT_NE(output.find("not sealed"), std::string::npos) << output;
}

TEST(Seal, AHugeCoveredLengthEndsAtTheEndOfTheFile) {
  BuiltPackage package = make_package(sample_files(false));
  Bytes plain = plain_record_of(package);
  set_record_word(&plain, OFFSET_SEAL_PAYLOAD_LENGTH, 0xFFFFFFFFu);
  store_plain_record(&package, plain);
  expect_refused_as_damaged(harness_install(package.image, package.record_offset), "length 0xFFFFFFFF");
  uint64_t asked = 0;
  for (DWORD count : sim().read_requests) asked += count;
  EXPECT_LT(asked, package.image.size() + 2 * 16384);
}

TEST(Seal, ToolCheckNeverReadsOutsideTheImage) {
  BuiltPackage package = make_package(sample_files(false));
  const Bytes plain = plain_record_of(package);
  const uint32_t lengths[] = {0, 1, 0x7FFFFFFFu, 0xFFFFFFFFu};
  const int32_t offsets[] = {-1, 0, static_cast<int32_t>(package.image.size()), 0x7FFFFFFF};
  for (uint32_t length : lengths) {
    for (int32_t offset : offsets) {
      Bytes changed = plain;
      set_record_word(&changed, OFFSET_SEAL_PAYLOAD_LENGTH, length);
      set_record_word(&changed, OFFSET_PAYLOAD_OFFSET, static_cast<uint32_t>(offset));
      BuiltPackage copy = package;
      store_plain_record(&copy, changed);
      kestrune::SealReport report = kestrune::check_seal(copy.image.data(), copy.image.size(), copy.record_offset);
      EXPECT_TRUE(report.present);
      EXPECT_FALSE(report.ok()) << length << " " << offset;
    }
  }
  EXPECT_FALSE(kestrune::check_seal(package.image.data(), package.record_offset + 100, package.record_offset).present);
  EXPECT_FALSE(kestrune::seal_installer(package.image.data(), package.record_offset + 100, package.record_offset));
}

}  // namespace
