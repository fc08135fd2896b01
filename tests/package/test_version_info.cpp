// Version information: the numbers accepted, the fields refused, and a
// resource read back as written.
#include <gtest/gtest.h>

#include "package/version_info.h"
#include "tests/support/outcome.h"

namespace {

TEST(VersionInfo, ReadsNumbersOfOneToFourParts) {
  struct Case {
    const char *text;
    const char *parts;  // as version_number_text gives them, or the problem
  } cases[] = {
      {"1", "1.0.0.0"},
      {"2.5", "2.5.0.0"},
      {"1.2.3.4", "1.2.3.4"},
      {"65535.0.007.65535", "65535.0.7.65535"},
      {"", "part 1 is empty"},
      {"1..2", "part 2 is empty"},
      {"1.", "part 2 is empty"},
      {".1", "part 1 is empty"},
      {"1.2.3.4.5", "more than four parts"},
      {"1.65536", "part 2 (65536) is over 65535"},
      {"99999999999999999999", "part 1 (99999999999999999999) is over 65535"},
      {"1.2a", "part 2 ('2a') is not a number"},
      {" 1", "part 1 (' 1') is not a number"},
      {"-1", "part 1 ('-1') is not a number"},
      {"v1.0", "part 1 ('v1') is not a number"},
  };
  for (const Case &c : cases) {
    const VersionNumber v = parse_version_number(c.text);
    EXPECT_EQ(v.ok ? version_number_text(v.parts) : v.problem, c.parts) << "'" << c.text << "'";
  }
}

TEST(VersionInfo, ReadsBackWhatItWrites) {
  VersionFields fields;
  fields.product_name = "\x8Elu\x9Dou\xE8k\xFD k\xF9\xF2";  // Žluťoučký kůň in 1250
  fields.product_version = "3.1.4";
  fields.company = "Kestrune Works";
  fields.copyright = "(c) 2024";
  fields.original_file_name = "SETUP.EXE";  // no description: left out
  fields.codepage = 1250;
  const VersionResource made = make_version_resource(fields);
  ASSERT_TRUE(made.ok) << made.problem;
  EXPECT_EQ(made.data.size() % 2, 0u);
  const VersionRead read = read_version_resource(made.data.data(), made.data.size());
  ASSERT_TRUE(read.ok) << read.problem;
  EXPECT_EQ(version_number_text(read.file_version), "3.1.4.0");
  EXPECT_EQ(version_number_text(read.product_version), "3.1.4.0");
  EXPECT_EQ(read.file_os, 4u);    // VOS__WINDOWS32
  EXPECT_EQ(read.file_type, 1u);  // VFT_APP
  EXPECT_EQ(read.table_key, "040904E2");
  EXPECT_EQ(read.translations, std::vector<uint32_t>({0x04E20409}));
  const std::vector<std::pair<std::string, std::string>> want = {
      {"ProductName", codepage_to_utf8(fields.product_name, 1250)},
      {"ProductVersion", "3.1.4"},
      {"FileVersion", "3.1.4"},
      {"CompanyName", "Kestrune Works"},
      {"LegalCopyright", "(c) 2024"},
      {"OriginalFilename", "SETUP.EXE"}};
  ASSERT_EQ(read.strings.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(read.strings[i].key, want[i].first);
    EXPECT_EQ(read.strings[i].value, want[i].second);
  }
  // Every block inside its parent: a resource cut anywhere is refused.
  for (size_t cut : {size_t(0), size_t(5), made.data.size() / 2, made.data.size() - 2})
    EXPECT_FALSE(read_version_resource(made.data.data(), cut).ok) << cut;
}

TEST(VersionInfo, RefusesFieldsItCannotWrite) {
  struct Case {
    const char *what;
    VersionFields fields;
    const char *problem;
  } cases[] = {
      {"a bad version", {"Saver", "1.x", "", "", "", "", 1252}, "product version '1.x': part 2 ('x') is not a number"},
      {"a zero byte", {std::string("Sa\0ver", 6), "1", "", "", "", "", 1252}, "ProductName text holds a zero byte"},
      {"an unknown code page", {"Saver", "1", "", "", "", "", 437}, "code page 437 is not one of 874, 1250"},
      {"past 64 KiB", {std::string(40000, 'x'), "1", "", "", "", "", 1252}, "past the 65535 a resource may hold"},
  };
  for (const Case &c : cases) {
    const VersionResource made = make_version_resource(c.fields);
    EXPECT_TRUE(outcome_is(made.ok, made.problem, c.problem)) << c.what;
  }
}

}  // namespace
