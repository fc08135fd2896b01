// InstallConfig: the 640-byte record that turns the generic stub into one
// screen-saver package. It lives in the stub's initialised data, XOR-scrambled
// byte by byte with CONFIG_KEY; the package tool fills it, the stub
// unscrambles it once at start-up and then only reads it.
//
//  offset size  field              meaning
//  ------ ----  -----------------  ------------------------------------------
//       0    4  reserved           not read by the installer
//       4    4  payload_offset     file offset of the first payload byte (signed)
//       8    4  main_size          stored: bytes of the main file;
//                                  compressed: decoded size (progress only)
//      12    4  second_size        likewise for the second file
//      16    4  reserved           covered by header_check, otherwise unused
//      20    4  header_check       payload_offset ^ main_size ^ second_size ^ word16
//      24    4  extra_size         0 = no extra file; else its size / presence
//      28    4  flags              FLAG_COMPRESSED (1), FLAG_SILENT (2)
//      32    4  main_part2_size    compressed: 0 = no second main stream
//      36    4  main_part3_size    compressed: 0 = no third main stream
//      40   24  reserved           not read by the plain installer
//      64   64  main_file_name     screen saver file name (registered)
//     128   64  second_file_name   always written
//     192   64  extra_file_name    written when extra_size != 0
//     256   64  confirm_text       yes/no question; empty = none
//     320   64  done_text          after success; empty = none
//     384   64  failure_text       after failure; shown even when empty
//     448   64  bad_header_text    on header_check mismatch; empty = none
//     512   64  dialog_text        progress dialog label; empty = no dialog
//     576   64  reserved           holds RECORD_SIGNATURE so tools can find
//                                  the record inside a stub
//
// Words are 32-bit little-endian; text slots hold zero-terminated 8-bit ANSI
// text of at most 63 characters.
#pragma once
#include <stdint.h>

enum {
  CONFIG_SIZE = 640,
  TEXT_SLOT_SIZE = 64,

  // Scrambling keys: fixed, non-zero, pairwise different.
  CONFIG_KEY = 0xA7,
  KEY_EXTRA = 0x3C,
  KEY_MAIN = 0x95,
  KEY_SECOND = 0x6E,

  FLAG_COMPRESSED = 1,
  FLAG_SILENT = 2,

  // Byte offsets of the fields, for code that reads or writes the record as
  // bytes (the package tool) rather than through the struct.
  OFFSET_PAYLOAD_OFFSET = 4,
  OFFSET_MAIN_SIZE = 8,
  OFFSET_SECOND_SIZE = 12,
  OFFSET_RESERVED_16 = 16,
  OFFSET_HEADER_CHECK = 20,
  OFFSET_EXTRA_SIZE = 24,
  OFFSET_FLAGS = 28,
  OFFSET_MAIN_PART2_SIZE = 32,
  OFFSET_MAIN_PART3_SIZE = 36,
  OFFSET_RESERVED_40 = 40,
  OFFSET_MAIN_FILE_NAME = 64,
  OFFSET_SECOND_FILE_NAME = 128,
  OFFSET_EXTRA_FILE_NAME = 192,
  OFFSET_CONFIRM_TEXT = 256,
  OFFSET_DONE_TEXT = 320,
  OFFSET_FAILURE_TEXT = 384,
  OFFSET_BAD_HEADER_TEXT = 448,
  OFFSET_DIALOG_TEXT = 512,
  OFFSET_RECORD_SIGNATURE = 576,
};

// Stored (unscrambled) at OFFSET_RECORD_SIGNATURE in every record, filled or
// not; the package tool finds the record by searching the stub for its
// scrambled form. 24 bytes including the terminating zero.
#define RECORD_SIGNATURE "Kestrune install record"
enum { RECORD_SIGNATURE_SIZE = 24 };

struct InstallConfig {
  uint32_t reserved_0;
  int32_t payload_offset;
  uint32_t main_size;
  uint32_t second_size;
  uint32_t reserved_16;
  uint32_t header_check;
  uint32_t extra_size;
  uint32_t flags;
  uint32_t main_part2_size;
  uint32_t main_part3_size;
  uint8_t reserved_40[24];
  char main_file_name[TEXT_SLOT_SIZE];
  char second_file_name[TEXT_SLOT_SIZE];
  char extra_file_name[TEXT_SLOT_SIZE];
  char confirm_text[TEXT_SLOT_SIZE];
  char done_text[TEXT_SLOT_SIZE];
  char failure_text[TEXT_SLOT_SIZE];
  char bad_header_text[TEXT_SLOT_SIZE];
  char dialog_text[TEXT_SLOT_SIZE];
  char reserved_576[TEXT_SLOT_SIZE];
};
static_assert(sizeof(InstallConfig) == CONFIG_SIZE, "record layout is fixed");
