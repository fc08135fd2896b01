// The installer's half of the whole-installer seal (layout and record check:
// format/seal.h): proving every payload byte before any file is written.
#pragma once
#include <stdint.h>

#include "codec/common/stream_io.h"

// own_file must stand at payload_offset. Reads the sealed payload length from
// there through buffer (buffer_size > 0 bytes), calling pump_messages once per
// buffer so a progress dialog stays painted, and leaves the file position
// wherever reading stopped: the caller seeks back to payload_offset.
// Returns 1 when the plain record has no seal, or when exactly payload_length
// bytes could be read and their CRC matches; 0 on a mismatch or when the file
// ends early. Never reads more than payload_length bytes nor past the end of
// the file, whatever the record says.
int seal_payload_matches(const uint8_t *plain_record, StreamFile own_file, uint8_t *buffer, int32_t buffer_size);
