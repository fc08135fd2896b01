#include "installer/integrity.h"

#include "codec/crc32.h"

static const uint8_t ZERO_SEAL_AREA[SEAL_AREA_SIZE] = {0};

uint32_t seal_read_word(const uint8_t *bytes) {
  return static_cast<uint32_t>(bytes[0]) |
         static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 |
         static_cast<uint32_t>(bytes[3]) << 24;
}

uint32_t seal_record_crc(const uint8_t *plain_record) {
  const int32_t after = SEAL_AREA_OFFSET + SEAL_AREA_SIZE;
  uint32_t crc = crc32_update(CRC32_INITIAL, plain_record, SEAL_AREA_OFFSET);
  crc = crc32_update(crc, ZERO_SEAL_AREA, SEAL_AREA_SIZE);
  return crc32_update(crc, plain_record + after, CONFIG_SIZE - after);
}

int seal_present(const uint8_t *plain_record) {
  return seal_read_word(plain_record + OFFSET_SEAL_MARKER) == SEAL_MARKER;
}

int seal_verify(const uint8_t *plain_record, StreamFile own_file,
                uint8_t *buffer, int32_t buffer_size) {
  if (!seal_present(plain_record)) return 1;
  if (seal_record_crc(plain_record) !=
      seal_read_word(plain_record + OFFSET_SEAL_RECORD_CRC))
    return 0;

  // The length is unsigned: a crafted huge value only makes the loop run
  // until the file ends, which fails the check.
  uint32_t remaining = seal_read_word(plain_record + OFFSET_SEAL_PAYLOAD_LENGTH);
  uint32_t crc = CRC32_INITIAL;
  while (remaining != 0) {
    int32_t want = buffer_size;
    if (remaining < static_cast<uint32_t>(buffer_size))
      want = static_cast<int32_t>(remaining);
    int32_t got = stream_file_read(own_file, buffer, want);
    if (got <= 0 || got > want) return 0;
    crc = crc32_update(crc, buffer, got);
    remaining -= static_cast<uint32_t>(got);
    pump_messages();
  }
  return crc == seal_read_word(plain_record + OFFSET_SEAL_PAYLOAD_CRC);
}
