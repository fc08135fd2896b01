// The record's bytes, its search in an image, its header check and the
// file-name rule that the installer and the tools share.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "codec/common/byte_order.h"
#include "format/file_name.h"
#include "format/payload.h"
#include "format/record.h"
#include "tests/support/sample_data.h"

namespace {

TEST(Record, FindsTheScrambledSignatureOnly) {
  Bytes stub = stand_in_stub(1000, 50);
  size_t hits = 0;
  EXPECT_EQ(find_record(stub.data(), stub.size(), &hits), 1000u);
  EXPECT_EQ(hits, 1u);

  // The plain text is not a hit: only the scrambled form marks a record.
  Bytes plain(RECORD_SIGNATURE, RECORD_SIGNATURE + RECORD_SIGNATURE_SIZE);
  EXPECT_EQ(find_record_signature(plain.data(), plain.size(), 0), SIZE_MAX);

  // Every hit is counted; the first whole record is the one.
  Bytes twice = stub;
  twice.insert(twice.end(), stub.begin(), stub.end());
  EXPECT_EQ(find_record(twice.data(), twice.size(), &hits), 1000u);
  EXPECT_EQ(hits, 2u);

  // A record that would start before the image or end after it is not usable.
  EXPECT_EQ(record_start_for_hit(OFFSET_RECORD_SIGNATURE - 1, 5000), SIZE_MAX);
  EXPECT_EQ(record_start_for_hit(OFFSET_RECORD_SIGNATURE, CONFIG_SIZE), 0u);
  EXPECT_EQ(record_start_for_hit(OFFSET_RECORD_SIGNATURE + 1, CONFIG_SIZE), SIZE_MAX);
  EXPECT_EQ(find_record(stub.data(), 1000 + CONFIG_SIZE - 1, &hits), SIZE_MAX);
  EXPECT_EQ(hits, 1u);
}

TEST(Record, BytesAreLittleEndianWordsAndTheHeaderCheckCoversFourOfThem) {
  uint8_t plain[CONFIG_SIZE] = {};
  write_le32(plain + OFFSET_PAYLOAD_OFFSET, 0x1000);
  write_le32(plain + OFFSET_MAIN_SIZE, 0x22);
  write_le32(plain + OFFSET_SECOND_SIZE, 0x300);
  write_le32(plain + OFFSET_RESERVED_16, 0x4000000);
  write_le32(plain + OFFSET_HEADER_CHECK, 0x4001322);
  plain[OFFSET_DONE_TEXT] = 'D';
  InstallConfig record;
  record_from_bytes(plain, &record);
  EXPECT_EQ(record.payload_offset, 0x1000);
  EXPECT_EQ(record.done_text[0], 'D');
  EXPECT_TRUE(header_check_holds(&record));
  record.extra_size = 5;  // not covered
  EXPECT_TRUE(header_check_holds(&record));
  record.reserved_16 ^= 1;
  EXPECT_FALSE(header_check_holds(&record));

  uint8_t again[CONFIG_SIZE];
  record.reserved_16 ^= 1;
  record_to_bytes(&record, again);
  EXPECT_EQ(read_le32(again + OFFSET_EXTRA_SIZE), 5u);
  write_le32(plain + OFFSET_EXTRA_SIZE, 5);
  EXPECT_EQ(memcmp(plain, again, CONFIG_SIZE), 0);

  InstallConfig zero = {};
  EXPECT_TRUE(header_check_holds(&zero)) << "an all-zero record holds";
}

TEST(Record, PlainFileNames) {
  for (const char *good : {"KESTREL.SCR", "a", "long name with spaces.scr", "x..y", "~1", "SAV\xC9R.SCR"})
    EXPECT_EQ(file_name_fault(good), FILE_NAME_PLAIN) << good;
  struct Bad {
    const char *name;
    FileNameFault fault;
  } bad[] = {{"", FILE_NAME_EMPTY},         {".", FILE_NAME_DIRECTORY},     {"..", FILE_NAME_DIRECTORY},
             {"a/b", FILE_NAME_SEPARATOR},  {"..\\b", FILE_NAME_SEPARATOR}, {"c:evil", FILE_NAME_COLON},
             {"a\tb", FILE_NAME_CONTROL},   {"a\x7F", FILE_NAME_CONTROL},   {"what?", FILE_NAME_FORBIDDEN},
             {"a*", FILE_NAME_FORBIDDEN},   {"pipe|", FILE_NAME_FORBIDDEN}, {"<x>", FILE_NAME_FORBIDDEN},
             {"q\"q", FILE_NAME_FORBIDDEN}, {"x.scr.", FILE_NAME_TRAILING}, {"x.scr ", FILE_NAME_TRAILING},
             {"x. .", FILE_NAME_TRAILING}};
  for (const Bad &b : bad) EXPECT_EQ(file_name_fault(b.name), b.fault) << b.name;
  // Device names in any case, with any extension, with spaces or dots before it.
  for (const char *device : {"NUL", "nul.scr", "CON.TXT", "Prn", "aux.", "COM1.TXT", "lpt9", "NUL .SCR", "nul..x",
                             "COM3  ", "CLOCK$", "conin$.txt", "CONOUT$"})
    EXPECT_EQ(file_name_fault(device), FILE_NAME_DEVICE) << device;
  for (const char *plain : {"NULL", "COM0", "COM10", "LPT", "CONS.SCR", "XNUL", "COM1X.TXT", " NUL", "NUL_.SCR",
                            "CLOCK", "CONIN", "$CONIN"})
    EXPECT_EQ(file_name_fault(plain), FILE_NAME_PLAIN) << plain;
  EXPECT_EQ(file_name_fault(std::string(63, 'a').c_str()), FILE_NAME_PLAIN);
  EXPECT_EQ(file_name_fault(std::string(64, 'a').c_str()), FILE_NAME_TOO_LONG);
}

TEST(Record, NamesThatAreOneFileUnderWindows) {
  struct Pair {
    const char *a, *b;
    int clash;
  } pairs[] = {{"SAVER.SCR", "saver.scr", 1}, {"x.scr", "x.scr ", 1},       {"x.scr", "X.SCR..", 1},
               {"\xC9TOILE", "\xE9toile", 1}, {"SAVER.SCR", "SAVER.SC", 0}, {"a.txt", "a.txt_", 0},
               {"README", "READ ME", 0},      {"\xC9.SCR", "E.SCR", 0}};
  for (const Pair &p : pairs) {
    EXPECT_EQ(file_names_clash(p.a, p.b), p.clash) << p.a << " / " << p.b;
    EXPECT_EQ(file_names_clash(p.b, p.a), p.clash) << p.b << " / " << p.a;
  }
  InstallConfig record = {};
  record.extra_size = 1;
  strcpy(record.main_file_name, "SAVER.SCR");
  strcpy(record.second_file_name, "README.TXT");
  strcpy(record.extra_file_name, "saver.scr");
  EXPECT_EQ(payload_names_distinct(&record), 0) << "the extra file over the main file";
  record.extra_size = 0;  // an unused extra name clashes with nothing
  EXPECT_EQ(payload_names_distinct(&record), 1);
  strcpy(record.second_file_name, "Saver.Scr ");
  EXPECT_EQ(payload_names_distinct(&record), 0);
}

}  // namespace
