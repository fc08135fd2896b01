#include "format/record.h"

#include "codec/common/byte_order.h"

void xor_buffer(void *buffer, int32_t length, uint32_t key) {
  uint8_t *bytes = static_cast<uint8_t *>(buffer);
  const uint8_t k = static_cast<uint8_t>(key);
  for (int32_t i = 0; i < length; ++i) bytes[i] ^= k;
}

uint32_t expected_header_check(const InstallConfig *record) {
  return static_cast<uint32_t>(record->payload_offset) ^ record->main_size ^ record->second_size ^ record->reserved_16;
}

int header_check_holds(const InstallConfig *record) { return record->header_check == expected_header_check(record); }

// The ten header words at 0..39 are the only multi-byte fields; everything
// after them is bytes and text, copied as they are.
void record_from_bytes(const uint8_t *plain, InstallConfig *record) {
  uint8_t *to = reinterpret_cast<uint8_t *>(record);
  for (int32_t i = 0; i < CONFIG_SIZE; ++i) to[i] = plain[i];
  for (int32_t at = 0; at < HEADER_WORD_COUNT * 4; at += 4) {
    uint32_t value = read_le32(plain + at);
    const uint8_t *native = reinterpret_cast<const uint8_t *>(&value);
    for (int i = 0; i < 4; ++i) to[at + i] = native[i];
  }
}

void record_to_bytes(const InstallConfig *record, uint8_t *plain) {
  const uint8_t *from = reinterpret_cast<const uint8_t *>(record);
  for (int32_t i = 0; i < CONFIG_SIZE; ++i) plain[i] = from[i];
  for (int32_t at = 0; at < HEADER_WORD_COUNT * 4; at += 4) {
    uint32_t value;
    uint8_t *native = reinterpret_cast<uint8_t *>(&value);
    for (int i = 0; i < 4; ++i) native[i] = from[at + i];
    write_le32(plain + at, value);
  }
}

void read_stored_record(const uint8_t *stored, InstallConfig *record) {
  uint8_t plain[CONFIG_SIZE];
  for (int32_t i = 0; i < CONFIG_SIZE; ++i) plain[i] = stored[i];
  xor_buffer(plain, CONFIG_SIZE, CONFIG_KEY);
  record_from_bytes(plain, record);
}

void write_stored_record(const InstallConfig *record, uint8_t *stored) {
  record_to_bytes(record, stored);
  xor_buffer(stored, CONFIG_SIZE, CONFIG_KEY);
}

int text_slot_terminated(const InstallConfig *record, int32_t offset) {
  const char *slot = record_text(record, offset);
  for (int32_t i = 0; i < TEXT_SLOT_SIZE; ++i)
    if (slot[i] == 0) return 1;
  return 0;
}

// ---- Finding the record ------------------------------------------------------

size_t find_record_signature(const uint8_t *image, size_t size, size_t from) {
  static const char SIGNATURE[RECORD_SIGNATURE_SIZE] = RECORD_SIGNATURE;
  if (size < RECORD_SIGNATURE_SIZE) return SIZE_MAX;
  for (size_t at = from; at <= size - RECORD_SIGNATURE_SIZE; ++at) {
    int32_t i = 0;
    while (i < RECORD_SIGNATURE_SIZE && image[at + i] == (static_cast<uint8_t>(SIGNATURE[i]) ^ CONFIG_KEY)) ++i;
    if (i == RECORD_SIGNATURE_SIZE) return at;
  }
  return SIZE_MAX;
}

size_t record_start_for_hit(size_t hit, size_t size) {
  if (hit < OFFSET_RECORD_SIGNATURE) return SIZE_MAX;
  size_t start = hit - OFFSET_RECORD_SIGNATURE;
  if (size < CONFIG_SIZE || start > size - CONFIG_SIZE) return SIZE_MAX;
  return start;
}

size_t find_record(const uint8_t *image, size_t size, size_t *hits) {
  size_t first = SIZE_MAX;
  size_t count = 0;
  for (size_t at = find_record_signature(image, size, 0); at != SIZE_MAX;
       at = find_record_signature(image, size, at + 1)) {
    ++count;
    if (first == SIZE_MAX) first = record_start_for_hit(at, size);
    if (hits == nullptr && first != SIZE_MAX) break;
  }
  if (hits != nullptr) *hits = count;
  return first;
}
