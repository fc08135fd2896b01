// The whole-installer seal: an optional extension stored in the record's
// seal bytes 40..63, which the plain install procedure never reads. A
// package that carries it lets the installer prove, before it writes anything,
// that the record and every payload byte are the ones the package tool wrote.
// A record without the marker installs without this check.
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
#include <stddef.h>
#include <stdint.h>

#include "format/record.h"

enum {
  SEAL_MARKER = 0x314C534B,  // the bytes 'K' 'S' 'L' '1'
  SEAL_AREA_OFFSET = OFFSET_SEAL,
  SEAL_AREA_SIZE = SEAL_SIZE,
  OFFSET_SEAL_MARKER = SEAL_AREA_OFFSET,
  OFFSET_SEAL_RECORD_CRC = SEAL_AREA_OFFSET + 4,
  OFFSET_SEAL_PAYLOAD_LENGTH = SEAL_AREA_OFFSET + 8,
  OFFSET_SEAL_PAYLOAD_CRC = SEAL_AREA_OFFSET + 12,
};

// The seal's fields as read from a plain record.
struct Seal {
  int present;  // the marker is there
  uint32_t record_crc;
  uint32_t payload_length;
  uint32_t payload_crc;
};

// Reads the seal area of a plain record (present is 0 without the marker).
Seal read_seal(const uint8_t *plain_record);

// CRC-32 of a 640-byte plain record with the seal area counted as zero: the
// value a sealed record holds at OFFSET_SEAL_RECORD_CRC.
uint32_t seal_record_crc(const uint8_t *plain_record);

// 1 when the plain record has no seal or its record CRC matches, else 0. The
// installer checks this before it opens its own file.
int seal_record_matches(const uint8_t *plain_record);

// Seals a plain record whose payload of payload_length bytes has the CRC-32
// payload_crc: the marker, the two CRCs and the length go into its seal area.
void seal_plain_record(uint8_t *plain_record, uint32_t payload_length, uint32_t payload_crc);

// ---- Whole images (the package tool and its tests) ---------------------------
// An image is a package in memory: the stub with its scrambled record at
// record_offset, the payload from payload_offset on, and possibly bytes that a
// signing tool appended.

// Seals the image in place: the record gets the marker and the CRC-32s of
// itself and of every byte from its payload_offset to the end of the image.
// Call it last, after the payload is appended. Returns 0, changing nothing,
// when the record does not fit the image, payload_offset lies outside it, or
// the payload is longer than a 32-bit length; else 1.
int seal_image(uint8_t *image, size_t size, size_t record_offset);

struct SealCheck {
  Seal seal;
  int record_ok;           // record CRC matches
  int payload_ok;          // payload CRC matches over payload_length
  int64_t trailing_bytes;  // image bytes after the sealed payload (a
                           // signature); negative when the image is shorter
                           // than the seal says
};

// Checks the seal of an image. Never reads outside it, whatever the record
// says. A record that does not fit the image reads as not sealed.
SealCheck check_image_seal(const uint8_t *image, size_t size, size_t record_offset);

// 1 when the image would pass the installer's checks: not sealed, or sealed
// with both CRCs matching.
inline int seal_check_ok(const SealCheck *check) {
  return !check->seal.present || (check->record_ok && check->payload_ok);
}
