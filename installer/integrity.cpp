#include "installer/integrity.h"

#include "format/crc32.h"
#include "format/seal.h"

int seal_payload_matches(const uint8_t *plain_record, StreamFile own_file, uint8_t *buffer, int32_t buffer_size) {
  const Seal seal = read_seal(plain_record);
  if (!seal.present) return 1;

  // The length is unsigned: a crafted huge value only makes the loop run
  // until the file ends, which fails the check.
  uint32_t remaining = seal.payload_length;
  uint32_t crc = CRC32_INITIAL;
  while (remaining != 0) {
    int32_t want = buffer_size;
    if (remaining < static_cast<uint32_t>(buffer_size)) want = static_cast<int32_t>(remaining);
    int32_t got = stream_file_read(own_file, buffer, want);
    if (got <= 0 || got > want) return 0;
    crc = crc32_update(crc, buffer, got);
    remaining -= static_cast<uint32_t>(got);
    pump_messages();
  }
  return crc == seal.payload_crc;
}
