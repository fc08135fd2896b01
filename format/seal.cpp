#include "format/seal.h"

#include "codec/common/byte_order.h"
#include "format/crc32.h"

Seal read_seal(const uint8_t *plain_record) {
  Seal seal;
  seal.present = read_le32(plain_record + OFFSET_SEAL_MARKER) == SEAL_MARKER;
  seal.record_crc = read_le32(plain_record + OFFSET_SEAL_RECORD_CRC);
  seal.payload_length = read_le32(plain_record + OFFSET_SEAL_PAYLOAD_LENGTH);
  seal.payload_crc = read_le32(plain_record + OFFSET_SEAL_PAYLOAD_CRC);
  return seal;
}

uint32_t seal_record_crc(const uint8_t *plain_record) {
  const int32_t after = SEAL_AREA_OFFSET + SEAL_AREA_SIZE;
  uint32_t crc = crc32_update(CRC32_INITIAL, plain_record, SEAL_AREA_OFFSET);
  const uint8_t zero = 0;
  for (int32_t i = 0; i < SEAL_AREA_SIZE; ++i) crc = crc32_update(crc, &zero, 1);
  return crc32_update(crc, plain_record + after, CONFIG_SIZE - after);
}

int seal_record_matches(const uint8_t *plain_record) {
  Seal seal = read_seal(plain_record);
  return !seal.present || seal_record_crc(plain_record) == seal.record_crc;
}

void seal_plain_record(uint8_t *plain_record, uint32_t payload_length, uint32_t payload_crc) {
  for (int32_t i = 0; i < SEAL_AREA_SIZE; ++i) plain_record[SEAL_AREA_OFFSET + i] = 0;
  write_le32(plain_record + OFFSET_SEAL_MARKER, SEAL_MARKER);
  write_le32(plain_record + OFFSET_SEAL_RECORD_CRC, seal_record_crc(plain_record));
  write_le32(plain_record + OFFSET_SEAL_PAYLOAD_LENGTH, payload_length);
  write_le32(plain_record + OFFSET_SEAL_PAYLOAD_CRC, payload_crc);
}

// ---- Whole images ------------------------------------------------------------

namespace {

int record_fits(size_t size, size_t record_offset) {
  return record_offset <= size && size - record_offset >= CONFIG_SIZE;
}

void unscramble_record(const uint8_t *image, size_t record_offset, uint8_t *plain) {
  for (int32_t i = 0; i < CONFIG_SIZE; ++i) plain[i] = image[record_offset + i];
  xor_buffer(plain, CONFIG_SIZE, CONFIG_KEY);
}

// CRC-32 of count bytes, fed in pieces that crc32_update's count accepts.
uint32_t crc_of(const uint8_t *bytes, size_t count) {
  uint32_t crc = CRC32_INITIAL;
  while (count > 0) {
    int32_t piece = count > (1u << 30) ? (1 << 30) : static_cast<int32_t>(count);
    crc = crc32_update(crc, bytes, piece);
    bytes += piece;
    count -= static_cast<size_t>(piece);
  }
  return crc;
}

}  // namespace

int seal_image(uint8_t *image, size_t size, size_t record_offset) {
  if (!record_fits(size, record_offset)) return 0;
  uint8_t plain[CONFIG_SIZE];
  unscramble_record(image, record_offset, plain);
  int32_t payload_offset = static_cast<int32_t>(read_le32(plain + OFFSET_PAYLOAD_OFFSET));
  if (payload_offset < 0 || static_cast<size_t>(payload_offset) > size) return 0;
  size_t payload_length = size - static_cast<size_t>(payload_offset);
  if (payload_length > 0xFFFFFFFFu) return 0;

  // The record lies before the payload, so sealing it does not change the
  // payload's CRC.
  seal_plain_record(plain, static_cast<uint32_t>(payload_length), crc_of(image + payload_offset, payload_length));
  xor_buffer(plain, CONFIG_SIZE, CONFIG_KEY);
  for (int32_t i = 0; i < CONFIG_SIZE; ++i) image[record_offset + i] = plain[i];
  return 1;
}

SealCheck check_image_seal(const uint8_t *image, size_t size, size_t record_offset) {
  SealCheck check = {};
  if (!record_fits(size, record_offset)) return check;
  uint8_t plain[CONFIG_SIZE];
  unscramble_record(image, record_offset, plain);
  check.seal = read_seal(plain);
  if (!check.seal.present) return check;
  check.record_ok = seal_record_crc(plain) == check.seal.record_crc;

  int32_t payload_offset = static_cast<int32_t>(read_le32(plain + OFFSET_PAYLOAD_OFFSET));
  if (payload_offset < 0 || static_cast<size_t>(payload_offset) > size) {
    check.trailing_bytes = -static_cast<int64_t>(check.seal.payload_length);
    return check;
  }
  size_t available = size - static_cast<size_t>(payload_offset);
  check.trailing_bytes = static_cast<int64_t>(available) - check.seal.payload_length;
  if (check.trailing_bytes >= 0)
    check.payload_ok = crc_of(image + payload_offset, check.seal.payload_length) == check.seal.payload_crc;
  return check;
}
