// The host tools' provider of the codec's I/O seam (codec/stream_io.h).
//
// A StreamFile handed to the codec by the tools is always a ToolFile*: an open
// file of the system, a read-only view of bytes in memory, a growing byte
// vector, or a sink that only counts. Every ToolFile remembers how many bytes went through
// it and whether an operation failed, so callers can tell a short input or a
// failed write apart from damaged data after the codec returns.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <vector>
#include "codec/common/stream_io.h"
#include "tools/system_files.h"

enum ToolFileKind {
  TOOL_FILE_SYSTEM,   // system_read/system_write, looping over short transfers
  TOOL_FILE_MEMORY,   // reads from data[position .. size)
  TOOL_FILE_VECTOR,   // appends writes to *vector
  TOOL_FILE_COUNTER,  // accepts and discards writes
};

struct ToolFile {
  ToolFileKind kind = TOOL_FILE_COUNTER;
  SystemFile system_file = NO_SYSTEM_FILE;
  const uint8_t *data = nullptr;
  size_t size = 0;
  size_t position = 0;
  std::vector<uint8_t> *vector = nullptr;
  uint64_t bytes_read = 0;
  uint64_t bytes_written = 0;
  int error_number = 0;  // system error code of the first failed read or write, else 0
};

ToolFile tool_file_system(SystemFile file);
ToolFile tool_file_memory(const uint8_t *data, size_t size, size_t position);
ToolFile tool_file_vector(std::vector<uint8_t> *vector);
ToolFile tool_file_counter();

inline StreamFile as_stream_file(ToolFile *file) { return file; }

// ---- terminal progress bar --------------------------------------------------
// The codec calls report_progress once per block; the bar follows either the
// bytes read from one ToolFile (compressing: the input is what is known in
// advance) or the bytes reported as written (decompressing). Shown only when
// stderr is a terminal and total is at least PROGRESS_MIN_BYTES.
enum { PROGRESS_MIN_BYTES = 4 << 20 };

// Starts a bar labelled label over total bytes. If watched_input is given the
// bar shows its bytes_read, otherwise the sum of reported writes.
void progress_begin(const char *label, uint64_t total, const ToolFile *watched_input);
// Clears the bar line (if one was drawn) and stops following progress.
void progress_end();
