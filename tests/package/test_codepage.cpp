// Code pages: what the record's 8-bit text becomes for each kind of input.
#include <gtest/gtest.h>

#include "package/codepage.h"

TEST(Codepage, ConvertsOrNamesTheCharacterThatDoesNotFit) {
  struct Case {
    const char *utf8;
    int codepage;
    const char *bytes;  // nullptr: refused
    uint32_t bad;
  } cases[] = {
      {"SAVER.SCR", 1252, "SAVER.SCR", 0},
      {"\xC3\x89toile.scr", 1252, "\xC9toile.scr", 0},                                            // É
      {"\xE2\x82\xAC 5", 1252, "\x80 5", 0},                                                      // € in the 0x80 row
      {"\xC5\xBElu\xC5\xA5ou\xC4\x8Dk\xC3\xBD", 1250, "\x9Elu\x9Dou\xE8k\xFD", 0},                // žluťoučký
      {"\xD0\x97\xD0\xB2\xD0\xB5\xD0\xB7\xD0\xB4\xD0\xB0", 1251, "\xC7\xE2\xE5\xE7\xE4\xE0", 0},  // Звезда
      {"\xCE\xA9", 1252, nullptr, 0x3A9},       // Ω has no byte in 1252
      {"\xC3\x89", 1251, nullptr, 0xC9},        // nor É in 1251
      {"caf\xC3", 1252, nullptr, 0xFFFD},       // cut sequence
      {"\xC0\xAF", 1252, nullptr, 0xFFFD},      // overlong '/'
      {"\xED\xA0\x80", 1252, nullptr, 0xFFFD},  // a surrogate
      {"x", 437, nullptr, 'x'},                 // no table
  };
  for (const Case &c : cases) {
    std::string out;
    uint32_t bad = 0;
    const bool ok = utf8_to_codepage(c.utf8, c.codepage, &out, &bad);
    EXPECT_EQ(ok, c.bytes != nullptr) << c.utf8;
    if (c.bytes) {
      EXPECT_EQ(out, c.bytes) << c.utf8;
      EXPECT_EQ(codepage_to_utf8(out, c.codepage), c.utf8);
      std::string again;
      EXPECT_TRUE(utf16_to_codepage(codepage_to_utf16(out, c.codepage), c.codepage, &again, &bad));
      EXPECT_EQ(again, out);
    } else {
      EXPECT_EQ(bad, c.bad) << c.utf8;
    }
  }
  EXPECT_EQ(describe_character(0xC9), "'\xC3\x89' (U+00C9)");
  EXPECT_EQ(codepage_to_utf8("\x81", 1252), "\xEF\xBF\xBD");  // undefined in 1252
}

TEST(Codepage, UpperCaseAsWindowsComparesNames) {
  EXPECT_EQ(codepage_upper('a', 1252), 'A');
  EXPECT_EQ(codepage_upper(0xE9, 1252), 0xC9);  // é
  EXPECT_EQ(codepage_upper(0x9A, 1252), 0x8A);  // š
  EXPECT_EQ(codepage_upper(0xFF, 1252), 0x9F);  // ÿ
  EXPECT_EQ(codepage_upper(0xF7, 1252), 0xF7);  // ÷ has no case
  EXPECT_EQ(codepage_upper(0xFF, 1251), 0xDF);  // я
  EXPECT_EQ(codepage_upper(0xB3, 1250), 0xA3);  // ł
}
