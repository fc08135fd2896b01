// Whole-installer seal: an optional extension stored in the record's reserved
// words 40..63, which the plain install procedure never reads. A package that
// carries it lets the installer prove, before it writes anything, that the
// record and every payload byte are the ones the package tool wrote. A record
// without the marker installs exactly as before.
//
//  offset size  field            meaning
//  ------ ----  ---------------  ---------------------------------------------
//      40    4  marker           SEAL_MARKER ("KSL1") when the package is sealed
//      44    4  record_crc       CRC-32 of the 640 plain record bytes, with
//                                bytes 40..63 counted as zero
//      48    4  payload_length   bytes covered, counted from payload_offset
//      52    4  payload_crc      CRC-32 of those payload bytes
//      56    8  zero             written as zero, not read
//
// Words are 32-bit little-endian. Bytes after payload_offset + payload_length
// (an Authenticode signature appended by a signing tool, say) are outside the
// seal, so signing a sealed installer keeps it installable.
#pragma once
#include <stdint.h>
#include "codec/crc32.h"
#include "codec/stream_io.h"
#include "installer/install_config.h"

enum {
  SEAL_MARKER = 0x314C534B,  // the bytes 'K' 'S' 'L' '1'
  OFFSET_SEAL_MARKER = 40,
  OFFSET_SEAL_RECORD_CRC = 44,
  OFFSET_SEAL_PAYLOAD_LENGTH = 48,
  OFFSET_SEAL_PAYLOAD_CRC = 52,
  SEAL_AREA_OFFSET = 40,
  SEAL_AREA_SIZE = 24,
};

// The record-only parts are inline so the package tool shares them without
// linking the installer.

// Reads a little-endian 32-bit word at bytes.
inline uint32_t seal_read_word(const uint8_t *bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// CRC-32 of a 640-byte plain (unscrambled) record with the seal area counted
// as zero; the value a sealed record holds at OFFSET_SEAL_RECORD_CRC.
inline uint32_t seal_record_crc(const uint8_t *plain_record) {
  static const uint8_t zero_seal_area[SEAL_AREA_SIZE] = {0};
  const int32_t after = SEAL_AREA_OFFSET + SEAL_AREA_SIZE;
  uint32_t crc = crc32_update(CRC32_INITIAL, plain_record, SEAL_AREA_OFFSET);
  crc = crc32_update(crc, zero_seal_area, SEAL_AREA_SIZE);
  return crc32_update(crc, plain_record + after, CONFIG_SIZE - after);
}

// 1 when the plain record carries SEAL_MARKER, else 0.
inline int seal_present(const uint8_t *plain_record) {
  return seal_read_word(plain_record + OFFSET_SEAL_MARKER) == SEAL_MARKER;
}

// The installer's two checks, in this order: the record before the own file
// is opened, the payload before any output file is created.

// 1 when the plain record has no seal or its record CRC matches; else 0.
inline int seal_record_matches(const uint8_t *plain_record) {
  return !seal_present(plain_record) ||
         seal_record_crc(plain_record) == seal_read_word(plain_record + OFFSET_SEAL_RECORD_CRC);
}

// own_file must stand at payload_offset. Reads payload_length bytes from
// there through buffer (buffer_size > 0 bytes), calling pump_messages once
// per buffer so a progress dialog stays painted, and leaves the file position
// wherever reading stopped: the caller seeks back to payload_offset.
// Returns 1 when the record has no seal, or when exactly payload_length bytes
// could be read and their CRC matches; 0 on a mismatch or when the file ends
// early. Never reads more than payload_length bytes nor past the end of the
// file, whatever the record says.
int seal_payload_matches(const uint8_t *plain_record, StreamFile own_file, uint8_t *buffer,
                         int32_t buffer_size);
