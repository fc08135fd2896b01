// Sealing and checking whole installers on the host (see installer/integrity.h
// for the seal's layout). Works on an installer image in memory: the stub
// with its scrambled record, followed by the payload, possibly followed by
// bytes a signing tool appended.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>

namespace kestrune {

// Seals the installer image in place: the record at record_offset (scrambled,
// CONFIG_SIZE bytes) gets the marker and the CRC-32s of itself and of every
// byte from its payload_offset to the end of the image. Call it last, after
// the payload is appended. Returns false, changing nothing, when the record
// does not fit the image or payload_offset lies outside it.
bool seal_installer(uint8_t *image, size_t size, size_t record_offset);

struct SealReport {
  bool present = false;          // the record carries the marker
  bool record_ok = false;        // record CRC matches
  bool payload_ok = false;       // payload CRC matches over payload_length
  uint32_t payload_length = 0;   // bytes the seal covers
  uint32_t record_crc = 0;       // as stored
  uint32_t payload_crc = 0;      // as stored
  int64_t trailing_bytes = 0;    // image bytes after the sealed payload
                                 // (a signature); negative when the image
                                 // is shorter than the seal says
  bool ok() const { return !present || (record_ok && payload_ok); }
};

// Checks the seal of an installer image. Never reads outside the image,
// whatever the record says.
SealReport check_seal(const uint8_t *image, size_t size, size_t record_offset);

// One line for `inspect` / `verify`, e.g.
// "integrity: sealed, record CRC 1a2b3c4d ok, payload 123456 bytes CRC ... ok".
std::string describe_seal(const SealReport &report);

}  // namespace kestrune
