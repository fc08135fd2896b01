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

// Reads a little-endian 32-bit word at bytes.
uint32_t seal_read_word(const uint8_t *bytes);

// CRC-32 of a 640-byte plain (unscrambled) record with the seal area counted
// as zero; the value a sealed record holds at OFFSET_SEAL_RECORD_CRC.
uint32_t seal_record_crc(const uint8_t *plain_record);

// 1 when the plain record carries SEAL_MARKER, else 0.
int seal_present(const uint8_t *plain_record);

// Checks a plain record against its seal. own_file must stand at
// payload_offset; the check reads payload_length bytes from there through
// buffer (buffer_size bytes, any size above 0), calling pump_messages once per
// buffer so a progress dialog stays alive, and leaves the file position
// wherever reading stopped: the caller seeks back to payload_offset.
// Returns 1 when the record has no seal, or when the record CRC matches and
// exactly payload_length bytes could be read and their CRC matches; 0 on any
// mismatch or when the file ends early. Reads at most payload_length bytes and
// never more than the file holds, whatever the record says.
int seal_verify(const uint8_t *plain_record, StreamFile own_file,
                uint8_t *buffer, int32_t buffer_size);
