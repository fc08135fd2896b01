// Compressed payload mode: one container stream per file or file part, back
// to back (format/payload.h), each decoded by the stream driver.
#pragma once
#include <stdint.h>

#include "platform/win32.h"

// Decodes the compressed stream at payload_position into a new file at path,
// or, with a null path, onto the end of the open output file. Does nothing
// when install_ok is 0 or presence is 0. On success advances payload_position
// by the stream's length and seeks own_file there; on failure clears
// install_ok, deletes the output file (which the failed stream left cut short)
// and leaves own_file where the decode stopped.
void extract_stream(HANDLE own_file, const char *path, uint32_t presence);
