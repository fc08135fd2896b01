// InstallConfig: the 640-byte record that turns the generic stub into one
// screen-saver package. It lives in the stub's initialised data, XOR-scrambled
// byte by byte with CONFIG_KEY; the package tool fills it, the stub
// unscrambles it once at start-up and then only reads it.
//
// Its fields, in INSTALL_RECORD_FIELDS below with their offsets:
//   reserved_0         not read by the installer
//   payload_offset     file offset of the first payload byte (signed)
//   main_size          stored: bytes of the main file; compressed: decoded
//                      size (progress only)
//   second_size        likewise for the second file
//   reserved_16        covered by header_check, otherwise unused
//   header_check       payload_offset ^ main_size ^ second_size ^ reserved_16
//   extra_size         0 = no extra file; else its size / presence
//   flags              FLAG_COMPRESSED (1), FLAG_SILENT (2)
//   main_part2_size    compressed: 0 = no second main stream
//   main_part3_size    compressed: 0 = no third main stream
//   seal               the whole-installer check (format/seal.h)
//   main_file_name     screen saver file name (registered)
//   second_file_name   always written
//   extra_file_name    written when extra_size != 0
//   confirm_text       yes/no question; empty = none
//   done_text          after success; empty = none
//   failure_text       after failure; shown even when empty
//   bad_header_text    record or payload damaged; empty = none
//   dialog_text        progress dialog label; empty = no dialog
//   record_signature   RECORD_SIGNATURE, so tools can find the record
//                      inside a stub
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
  SEAL_SIZE = 24,

  // Scrambling keys: fixed, non-zero, pairwise different.
  CONFIG_KEY = 0xA7,
  KEY_EXTRA = 0x3C,
  KEY_MAIN = 0x95,
  KEY_SECOND = 0x6E,

  FLAG_COMPRESSED = 1,
  FLAG_SILENT = 2,
};

// The record's fields, once, in order: the table above as code. The struct,
// the OFFSET_* constants and their checks below, the unfilled record
// (format/unfilled_record.h), the tools' field names (package/record_fields.h)
// and the Python tests' offsets (tests/wine/package_image.py reads these
// lines) all come from this list.
//   WORD(type, name, NAME, offset)   a 32-bit little-endian word
//   AREA(name, NAME, offset, size)   bytes
//   TEXT(name, NAME, offset)         a 64-byte text slot
#define INSTALL_RECORD_FIELDS(WORD, AREA, TEXT)        \
  WORD(uint32_t, reserved_0, RESERVED_0, 0)            \
  WORD(int32_t, payload_offset, PAYLOAD_OFFSET, 4)     \
  WORD(uint32_t, main_size, MAIN_SIZE, 8)              \
  WORD(uint32_t, second_size, SECOND_SIZE, 12)         \
  WORD(uint32_t, reserved_16, RESERVED_16, 16)         \
  WORD(uint32_t, header_check, HEADER_CHECK, 20)       \
  WORD(uint32_t, extra_size, EXTRA_SIZE, 24)           \
  WORD(uint32_t, flags, FLAGS, 28)                     \
  WORD(uint32_t, main_part2_size, MAIN_PART2_SIZE, 32) \
  WORD(uint32_t, main_part3_size, MAIN_PART3_SIZE, 36) \
  AREA(seal, SEAL, 40, 24)                             \
  TEXT(main_file_name, MAIN_FILE_NAME, 64)             \
  TEXT(second_file_name, SECOND_FILE_NAME, 128)        \
  TEXT(extra_file_name, EXTRA_FILE_NAME, 192)          \
  TEXT(confirm_text, CONFIRM_TEXT, 256)                \
  TEXT(done_text, DONE_TEXT, 320)                      \
  TEXT(failure_text, FAILURE_TEXT, 384)                \
  TEXT(bad_header_text, BAD_HEADER_TEXT, 448)          \
  TEXT(dialog_text, DIALOG_TEXT, 512)                  \
  AREA(record_signature, RECORD_SIGNATURE, 576, 64)

#define RECORD_DECLARE_WORD(type, name, NAME, offset) type name;
#define RECORD_DECLARE_AREA(name, NAME, offset, size) uint8_t name[size];
#define RECORD_DECLARE_TEXT(name, NAME, offset) char name[TEXT_SLOT_SIZE];
struct InstallConfig {
  INSTALL_RECORD_FIELDS(RECORD_DECLARE_WORD, RECORD_DECLARE_AREA, RECORD_DECLARE_TEXT)
};
#undef RECORD_DECLARE_WORD
#undef RECORD_DECLARE_AREA
#undef RECORD_DECLARE_TEXT

// Byte offsets of the fields, for code that works on the record as bytes.
#define RECORD_OFFSET_WORD(type, name, NAME, offset) OFFSET_##NAME = offset,
#define RECORD_OFFSET_AREA(name, NAME, offset, size) OFFSET_##NAME = offset,
#define RECORD_OFFSET_TEXT(name, NAME, offset) OFFSET_##NAME = offset,
enum { INSTALL_RECORD_FIELDS(RECORD_OFFSET_WORD, RECORD_OFFSET_AREA, RECORD_OFFSET_TEXT) };
#undef RECORD_OFFSET_WORD
#undef RECORD_OFFSET_AREA
#undef RECORD_OFFSET_TEXT

#define RECORD_CHECK_WORD(type, name, NAME, offset) \
  static_assert(offsetof(InstallConfig, name) == (offset), "InstallConfig." #name " is out of place");
#define RECORD_CHECK_AREA(name, NAME, offset, size) RECORD_CHECK_WORD(, name, NAME, offset)
#define RECORD_CHECK_TEXT(name, NAME, offset) RECORD_CHECK_WORD(, name, NAME, offset)
INSTALL_RECORD_FIELDS(RECORD_CHECK_WORD, RECORD_CHECK_AREA, RECORD_CHECK_TEXT)
#undef RECORD_CHECK_WORD
#undef RECORD_CHECK_AREA
#undef RECORD_CHECK_TEXT
static_assert(sizeof(InstallConfig) == CONFIG_SIZE, "the record is 640 bytes");

// Stored (unscrambled) at OFFSET_RECORD_SIGNATURE in every record, filled or
// not: the tools find the record by searching for its scrambled form.
// 24 bytes including the terminating zero.
#define RECORD_SIGNATURE "Kestrune install record"
enum { RECORD_SIGNATURE_SIZE = 24 };

// The ten header words lie at 0..39, one after the other; the eight text
// slots of the package at 64..575 (the signature slot at 576 is not one).
// Their names, for tools that print or check every field: package/record_fields.h.
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
