// Writing payload files into the Windows directory: path building, output
// creation with its one retry, and the stored and compressed payload modes.
#pragma once
#include <stdint.h>
#include "platform/win32.h"

enum { PATH_BUFFER_SIZE = 260, STORED_CHUNK_SIZE = 16384, DISPLAY_PROPERTIES_WAIT_MS = 1000 };

#define DISPLAY_PROPERTIES_TITLE "Display Properties"

// Builds the Windows directory, a backslash (unless the directory already
// ends in one) and name in the one shared path buffer, which each call
// overwrites. Falls back to "c:\win95" when the directory cannot be read.
// Returns the empty text when name is not a plain file name (empty, "." or
// "..", or holding '\', '/' or ':') or when the path would not fit; nothing
// is ever built outside the Windows directory.
char *windows_dir_path(const char *name);

// Creates or truncates path for writing. When that fails and a "Display
// Properties" window is open (it may hold the screen saver), asks it to quit,
// waits 1000 ms and tries once more. Returns the handle, or
// INVALID_HANDLE_VALUE (at once, without the retry, for an empty path).
HANDLE create_output_file(const char *path);

// Closes output_file if one is open.
void close_output_file(void);

// Copies count stored bytes from own_file's current position into a new
// file at path, unscrambling them with key, in chunks of at most 16384 bytes.
// Closes the previous output file first, even after a failure. Clears
// install_ok when the file cannot be created, when the own file ends early
// (only the bytes read are written) or when a write fails or comes back short.
void copy_stored_file(HANDLE own_file, uint32_t count, const char *path, uint32_t key);

// Decodes the compressed stream at payload_position into a new file at path,
// or, with a null path, onto the end of the open output file. Does nothing
// when install_ok is 0 or presence is 0. On success advances payload_position
// by the stream's length and seeks own_file there; on failure clears
// install_ok and leaves own_file where the decode stopped.
void extract_stream(HANDLE own_file, const char *path, uint32_t presence);
