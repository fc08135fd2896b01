#include "tools/record.h"

#include <string.h>

#include <algorithm>

const TextSlot TEXT_SLOTS[9] = {
    {OFFSET_MAIN_FILE_NAME, "main_file_name"},   {OFFSET_SECOND_FILE_NAME, "second_file_name"},
    {OFFSET_EXTRA_FILE_NAME, "extra_file_name"}, {OFFSET_CONFIRM_TEXT, "confirm_text"},
    {OFFSET_DONE_TEXT, "done_text"},             {OFFSET_FAILURE_TEXT, "failure_text"},
    {OFFSET_BAD_HEADER_TEXT, "bad_header_text"}, {OFFSET_DIALOG_TEXT, "dialog_text"},
    {OFFSET_RECORD_SIGNATURE, "reserved_576"},
};

uint32_t read_le32(const uint8_t *bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void write_le32(uint8_t *bytes, uint32_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
  bytes[2] = static_cast<uint8_t>(value >> 16);
  bytes[3] = static_cast<uint8_t>(value >> 24);
}

void scramble_bytes(uint8_t *bytes, size_t count, uint8_t key) {
  for (size_t i = 0; i < count; ++i) bytes[i] ^= key;
}

std::vector<size_t> find_signature_hits(const uint8_t *data, size_t size) {
  uint8_t pattern[RECORD_SIGNATURE_SIZE];
  memcpy(pattern, RECORD_SIGNATURE, RECORD_SIGNATURE_SIZE);
  scramble_bytes(pattern, RECORD_SIGNATURE_SIZE, CONFIG_KEY);
  std::vector<size_t> hits;
  const uint8_t *end = data + size;
  const uint8_t *at = data;
  while (true) {
    at = std::search(at, end, pattern, pattern + RECORD_SIGNATURE_SIZE);
    if (at == end) break;
    hits.push_back(static_cast<size_t>(at - data));
    ++at;
  }
  return hits;
}

size_t record_start_for_hit(size_t hit, size_t file_size) {
  if (hit < OFFSET_RECORD_SIGNATURE) return SIZE_MAX;
  size_t start = hit - OFFSET_RECORD_SIGNATURE;
  if (file_size < CONFIG_SIZE || start > file_size - CONFIG_SIZE) return SIZE_MAX;
  return start;
}

uint32_t expected_header_check(const uint8_t *plain_record) {
  return read_le32(plain_record + OFFSET_PAYLOAD_OFFSET) ^ read_le32(plain_record + OFFSET_MAIN_SIZE) ^
         read_le32(plain_record + OFFSET_SECOND_SIZE) ^ read_le32(plain_record + OFFSET_RESERVED_16);
}

bool header_check_holds(const uint8_t *plain_record) {
  return read_le32(plain_record + OFFSET_HEADER_CHECK) == expected_header_check(plain_record);
}

bool text_slot_terminated(const uint8_t *plain_record, int offset) {
  return memchr(plain_record + offset, 0, TEXT_SLOT_SIZE) != nullptr;
}

std::string text_slot_value(const uint8_t *plain_record, int offset) {
  const char *slot = reinterpret_cast<const char *>(plain_record + offset);
  const void *zero = memchr(slot, 0, TEXT_SLOT_SIZE);
  size_t length = zero ? static_cast<size_t>(static_cast<const char *>(zero) - slot) : size_t{TEXT_SLOT_SIZE};
  return std::string(slot, length);
}

const char *file_name_problem(const std::string &name) {
  if (name.empty()) return "the name is empty";
  if (name == "." || name == "..") return "the name is a directory reference";
  if (name.size() > TEXT_SLOT_SIZE - 1) return "the name is longer than 63 characters";
  for (unsigned char c : name) {
    if (c == '/' || c == '\\') return "the name contains a path separator";
    if (c == ':') return "the name contains a colon (drive or stream)";
    if (c < 0x20 || c == 0x7F) return "the name contains a control character";
    if (strchr("<>\"|?*", c)) return "the name contains a character Windows does not allow in file names";
  }
  return nullptr;
}
