// CRC-32 (the common reflected polynomial 0xEDB88320, as used by zip and PNG)
// for checking a whole installer before anything is written. Small enough for
// the stub: a 16-entry table, no runtime library.
#pragma once
#include <stdint.h>

enum { CRC32_INITIAL = 0 };

// Continues crc over count bytes at data and returns the new value. Start with
// CRC32_INITIAL; feeding a buffer in pieces gives the same result as feeding
// it at once. A count of 0 or less returns crc unchanged.
// crc32_update(CRC32_INITIAL, "123456789", 9) == 0xCBF43926.
uint32_t crc32_update(uint32_t crc, const void *data, int32_t count);
