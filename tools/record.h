// Reading and writing the 640-byte install record as bytes, and finding it
// inside a stub or a finished package.
//
// The record's layout and keys are in installer/install_config.h. Every record
// carries RECORD_SIGNATURE at OFFSET_RECORD_SIGNATURE; since the stub keeps
// the record scrambled with CONFIG_KEY, the signature appears in the file as
// its scrambled form, and the record starts OFFSET_RECORD_SIGNATURE bytes
// before the place where that form is found.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>
#include "installer/install_config.h"

uint32_t read_le32(const uint8_t *bytes);
void write_le32(uint8_t *bytes, uint32_t value);

// XORs count bytes in place with key (the same call scrambles and unscrambles).
void scramble_bytes(uint8_t *bytes, size_t count, uint8_t key);

// File offsets of every place where the scrambled signature occurs. The
// record that belongs to an occurrence at p starts at p - OFFSET_RECORD_SIGNATURE.
std::vector<size_t> find_signature_hits(const uint8_t *data, size_t size);

// Offset of the record for a signature hit, or SIZE_MAX when a record there
// would not lie entirely within the file.
size_t record_start_for_hit(size_t hit, size_t file_size);

// True when header_check equals payload_offset ^ main_size ^ second_size ^
// the reserved word at 16, in a plain (unscrambled) record.
bool header_check_holds(const uint8_t *plain_record);
uint32_t expected_header_check(const uint8_t *plain_record);

// True when the text slot at offset holds a terminating zero.
bool text_slot_terminated(const uint8_t *plain_record, int offset);
// The slot's text up to its zero (or all 64 bytes when it has none).
std::string text_slot_value(const uint8_t *plain_record, int offset);

// nullptr when name is a plain file name that can be created inside a
// directory on Windows and on POSIX systems; otherwise why it is not (no
// path separators, drive colon, "." or "..", control or reserved characters).
const char *file_name_problem(const std::string &name);

// The text slots in record order, with the names the tools print for them.
struct TextSlot {
  int offset;
  const char *name;
};
extern const TextSlot TEXT_SLOTS[9];
