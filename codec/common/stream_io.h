// The codec's only contact with the world outside its own buffers.
//
// The codec never opens, seeks or closes a file and never touches a window.
// Every program links exactly one provider of the four calls below:
//   - the stub and the host installer: installer/stream_files.cpp (ReadFile /
//     WriteFile on Win32 handles) and ui/ (progress dialog, message pump);
//   - the host tools: tools/ (POSIX descriptors, terminal progress bar);
//   - tests, the benchmark and the fuzz targets: tests/support/memory_files
//     (in-memory files, counted heartbeat).
#pragma once
#include <stdint.h>

// An open file as the provider understands it (a Win32 HANDLE in the stub).
typedef void *StreamFile;

// Reads up to count bytes from the file's current position into buffer.
// Returns the number of bytes actually read, 0..count (0 at end of file or
// on a failing read).
int32_t stream_file_read(StreamFile file, void *buffer, int32_t count);

// Writes count bytes at the file's current position. Returns the number of
// bytes written; anything other than count means the write failed (a full
// disk), which fails the stream.
int32_t stream_file_write(StreamFile file, const void *buffer, int32_t count);

// UI heartbeat, called from inside the byte loop (about once per 1024 byte
// operations and once per block). Must not start another stream.
void pump_messages(void);

// Called once per block written with the number of bytes just written.
void report_progress(int32_t count);
