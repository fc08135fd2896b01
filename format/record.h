// InstallConfig: the 640-byte record that turns the generic stub into one
// screen-saver package. It lives in the stub's initialised data, XOR-scrambled
// byte by byte with CONFIG_KEY; the package tool fills it, the stub
// unscrambles it once at start-up and then only reads it.
//
//  offset size  field              meaning
//  ------ ----  -----------------  ------------------------------------------
//       0    4  reserved_0         not read by the installer
//       4    4  payload_offset     file offset of the first payload byte (signed)
//       8    4  main_size          stored: bytes of the main file;
//                                  compressed: decoded size (progress only)
//      12    4  second_size        likewise for the second file
//      16    4  reserved_16        covered by header_check, otherwise unused
//      20    4  header_check       payload_offset ^ main_size ^ second_size ^ reserved_16
//      24    4  extra_size         0 = no extra file; else its size / presence
//      28    4  flags              FLAG_COMPRESSED (1), FLAG_SILENT (2)
//      32    4  main_part2_size    compressed: 0 = no second main stream
//      36    4  main_part3_size    compressed: 0 = no third main stream
//      40   24  reserved_40        the seal (format/seal.h)
//      64   64  main_file_name     screen saver file name (registered)
//     128   64  second_file_name   always written
//     192   64  extra_file_name    written when extra_size != 0
//     256   64  confirm_text       yes/no question; empty = none
//     320   64  done_text          after success; empty = none
//     384   64  failure_text       after failure; shown even when empty
//     448   64  bad_header_text    record or payload damaged; empty = none
//     512   64  dialog_text        progress dialog label; empty = no dialog
//     576   64  reserved_576       RECORD_SIGNATURE, so tools can find the
//                                  record inside a stub
//
// Words are 32-bit little-endian; text slots hold zero-terminated 8-bit ANSI
// text of at most 63 characters. Code that holds the record as bytes (a file,
// a package image) converts with record_from_bytes / record_to_bytes; the
// installer keeps the struct itself in its data.
//
// Everything here is usable inside the runtime-free stub: no heap, no
// runtime library calls.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum {
  CONFIG_SIZE = 640,
  TEXT_SLOT_SIZE = 64,
  HEADER_WORD_COUNT = 10,

  // Scrambling keys: fixed, non-zero, pairwise different.
  CONFIG_KEY = 0xA7,
  KEY_EXTRA = 0x3C,
  KEY_MAIN = 0x95,
  KEY_SECOND = 0x6E,

  FLAG_COMPRESSED = 1,
  FLAG_SILENT = 2,
};

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

// Byte offsets of the fields, for code that works on the record as bytes.
// Each one is checked against the struct below.
enum {
  OFFSET_RESERVED_0 = 0,
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

#define RECORD_FIELD_AT(field, offset) \
  static_assert(offsetof(InstallConfig, field) == (offset), "InstallConfig." #field " is out of place")
RECORD_FIELD_AT(reserved_0, OFFSET_RESERVED_0);
RECORD_FIELD_AT(payload_offset, OFFSET_PAYLOAD_OFFSET);
RECORD_FIELD_AT(main_size, OFFSET_MAIN_SIZE);
RECORD_FIELD_AT(second_size, OFFSET_SECOND_SIZE);
RECORD_FIELD_AT(reserved_16, OFFSET_RESERVED_16);
RECORD_FIELD_AT(header_check, OFFSET_HEADER_CHECK);
RECORD_FIELD_AT(extra_size, OFFSET_EXTRA_SIZE);
RECORD_FIELD_AT(flags, OFFSET_FLAGS);
RECORD_FIELD_AT(main_part2_size, OFFSET_MAIN_PART2_SIZE);
RECORD_FIELD_AT(main_part3_size, OFFSET_MAIN_PART3_SIZE);
RECORD_FIELD_AT(reserved_40, OFFSET_RESERVED_40);
RECORD_FIELD_AT(main_file_name, OFFSET_MAIN_FILE_NAME);
RECORD_FIELD_AT(second_file_name, OFFSET_SECOND_FILE_NAME);
RECORD_FIELD_AT(extra_file_name, OFFSET_EXTRA_FILE_NAME);
RECORD_FIELD_AT(confirm_text, OFFSET_CONFIRM_TEXT);
RECORD_FIELD_AT(done_text, OFFSET_DONE_TEXT);
RECORD_FIELD_AT(failure_text, OFFSET_FAILURE_TEXT);
RECORD_FIELD_AT(bad_header_text, OFFSET_BAD_HEADER_TEXT);
RECORD_FIELD_AT(dialog_text, OFFSET_DIALOG_TEXT);
RECORD_FIELD_AT(reserved_576, OFFSET_RECORD_SIGNATURE);
#undef RECORD_FIELD_AT
static_assert(sizeof(InstallConfig) == CONFIG_SIZE, "the record is 640 bytes");

// Stored (unscrambled) at OFFSET_RECORD_SIGNATURE in every record, filled or
// not: the tools find the record by searching for its scrambled form.
// 24 bytes including the terminating zero.
#define RECORD_SIGNATURE "Kestrune install record"
enum { RECORD_SIGNATURE_SIZE = 24 };

// The ten header words lie at 0..39, one after the other; the eight text
// slots of the package at 64..575 (the signature slot at 576 is not one).
// Their names, for tools that print or check every field: format/record_fields.h.
enum { TEXT_SLOT_COUNT = 8, FIRST_TEXT_SLOT = OFFSET_MAIN_FILE_NAME, END_OF_TEXT_SLOTS = OFFSET_RECORD_SIGNATURE };
static_assert(FIRST_TEXT_SLOT + TEXT_SLOT_COUNT * TEXT_SLOT_SIZE == END_OF_TEXT_SLOTS, "eight text slots");

// XORs the first length bytes of buffer in place with the low 8 bits of key;
// the same call scrambles and unscrambles. A length of 0 or less does nothing.
void xor_buffer(void *buffer, int32_t length, uint32_t key);

// The value header_check must hold: payload_offset ^ main_size ^ second_size
// ^ reserved_16, as 32-bit words.
uint32_t expected_header_check(const InstallConfig *record);
// 1 when the record's header_check holds, else 0.
int header_check_holds(const InstallConfig *record);

// Field-by-field conversion between the record and its 640 plain bytes
// (little-endian words), independent of the host's byte order.
void record_from_bytes(const uint8_t *plain, InstallConfig *record);
void record_to_bytes(const InstallConfig *record, uint8_t *plain);

// The same for the record as a stub or package stores it, scrambled with
// CONFIG_KEY: 640 bytes at `stored`.
void read_stored_record(const uint8_t *stored, InstallConfig *record);
void write_stored_record(const InstallConfig *record, uint8_t *stored);

// The text slot at `offset` (one of the OFFSET_*_TEXT / *_NAME values).
inline char *record_text(InstallConfig *record, int32_t offset) { return reinterpret_cast<char *>(record) + offset; }
inline const char *record_text(const InstallConfig *record, int32_t offset) {
  return reinterpret_cast<const char *>(record) + offset;
}

// 1 when the text slot at offset holds its terminating zero, else 0.
int text_slot_terminated(const InstallConfig *record, int32_t offset);

// ---- Finding the record in a stub or a package ----------------------------

// Offset of the first scrambled RECORD_SIGNATURE at or after `from` in
// image[0 .. size), or SIZE_MAX when there is none.
size_t find_record_signature(const uint8_t *image, size_t size, size_t from);

// Start of the record whose signature lies at `hit`, or SIZE_MAX when such a
// record would not lie entirely within an image of `size` bytes.
size_t record_start_for_hit(size_t hit, size_t size);

// Start of the first record that lies entirely within the image (a package's
// stub, and so its record, comes before any payload byte), or SIZE_MAX. The
// number of signatures seen goes to *hits when hits is not null.
size_t find_record(const uint8_t *image, size_t size, size_t *hits);
