// Stored payload mode: each file a plain run of bytes in the own file,
// scrambled with a key of its own (format/payload.h).
#pragma once
#include <stdint.h>

#include "platform/win32.h"

enum { STORED_CHUNK_SIZE = 16384 };

// Copies count stored bytes from own_file's current position into a new
// file at path, unscrambling them with key, in chunks of at most 16384 bytes.
// Closes the previous output file first, even after a failure. Clears
// install_ok, and deletes the file, when the own file ends early or a write
// fails or comes back short; clears install_ok when the file cannot be created.
void copy_stored_file(HANDLE own_file, uint32_t count, const char *path, uint32_t key);
