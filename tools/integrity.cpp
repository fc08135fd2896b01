#include "tools/integrity.h"

#include <stdio.h>
#include <string.h>

#include "codec/crc32.h"
#include "installer/install_config.h"
#include "installer/integrity.h"

namespace kestrune {
namespace {

void put_word(uint8_t *bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

void unscramble(const uint8_t *scrambled, uint8_t *plain) {
  for (int i = 0; i < CONFIG_SIZE; ++i) plain[i] = scrambled[i] ^ CONFIG_KEY;
}

bool record_fits(size_t size, size_t record_offset) {
  return record_offset <= size && size - record_offset >= CONFIG_SIZE;
}

// CRC-32 of count bytes, fed in pieces the codec's int32 interface accepts.
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

bool seal_installer(uint8_t *image, size_t size, size_t record_offset) {
  if (!record_fits(size, record_offset)) return false;
  uint8_t plain[CONFIG_SIZE];
  unscramble(image + record_offset, plain);
  int32_t payload_offset = static_cast<int32_t>(seal_read_word(plain + OFFSET_PAYLOAD_OFFSET));
  if (payload_offset < 0 || static_cast<size_t>(payload_offset) > size) return false;
  size_t payload_length = size - static_cast<size_t>(payload_offset);
  if (payload_length > 0xFFFFFFFFu) return false;

  memset(plain + SEAL_AREA_OFFSET, 0, SEAL_AREA_SIZE);
  put_word(plain + OFFSET_SEAL_MARKER, SEAL_MARKER);
  put_word(plain + OFFSET_SEAL_RECORD_CRC, seal_record_crc(plain));
  put_word(plain + OFFSET_SEAL_PAYLOAD_LENGTH, static_cast<uint32_t>(payload_length));
  // The record lies before the payload, so sealing it does not change the
  // payload's CRC.
  put_word(plain + OFFSET_SEAL_PAYLOAD_CRC,
           crc_of(image + payload_offset, payload_length));
  for (int i = 0; i < CONFIG_SIZE; ++i)
    image[record_offset + i] = plain[i] ^ CONFIG_KEY;
  return true;
}

SealReport check_seal(const uint8_t *image, size_t size, size_t record_offset) {
  SealReport report;
  if (!record_fits(size, record_offset)) return report;
  uint8_t plain[CONFIG_SIZE];
  unscramble(image + record_offset, plain);
  report.present = seal_present(plain) != 0;
  if (!report.present) return report;
  report.record_crc = seal_read_word(plain + OFFSET_SEAL_RECORD_CRC);
  report.payload_crc = seal_read_word(plain + OFFSET_SEAL_PAYLOAD_CRC);
  report.payload_length = seal_read_word(plain + OFFSET_SEAL_PAYLOAD_LENGTH);
  report.record_ok = seal_record_crc(plain) == report.record_crc;

  int32_t payload_offset = static_cast<int32_t>(seal_read_word(plain + OFFSET_PAYLOAD_OFFSET));
  if (payload_offset < 0 || static_cast<size_t>(payload_offset) > size) {
    report.trailing_bytes = -static_cast<int64_t>(report.payload_length);
    return report;
  }
  size_t available = size - static_cast<size_t>(payload_offset);
  report.trailing_bytes = static_cast<int64_t>(available) - report.payload_length;
  if (report.trailing_bytes >= 0)
    report.payload_ok =
        crc_of(image + payload_offset, report.payload_length) == report.payload_crc;
  return report;
}

std::string describe_seal(const SealReport &report) {
  if (!report.present) return "integrity: not sealed (no whole-installer check)";
  char line[256];
  const char *payload_state = report.payload_ok ? "ok" : "MISMATCH";
  if (report.trailing_bytes < 0) payload_state = "MISMATCH (file too short)";
  snprintf(line, sizeof line,
           "integrity: sealed, record CRC-32 %08x %s, payload %u bytes CRC-32 %08x %s",
           report.record_crc, report.record_ok ? "ok" : "MISMATCH",
           report.payload_length, report.payload_crc, payload_state);
  std::string text = line;
  if (report.trailing_bytes > 0) {
    snprintf(line, sizeof line, ", %lld bytes appended after it (not checked)",
             static_cast<long long>(report.trailing_bytes));
    text += line;
  }
  return text;
}

}  // namespace kestrune
