// In-memory files behind the codec's four provider calls, for fuzz targets
// and their replay programs that drive the codec without the installer.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "codec/stream_io.h"

struct MemoryFile {
  const uint8_t *data = nullptr;  // readable bytes (input files)
  size_t size = 0;
  size_t position = 0;
  std::vector<uint8_t> written;   // everything written (output files)
  size_t write_limit = SIZE_MAX;  // writes beyond this many bytes fail
};

inline StreamFile as_stream_file(MemoryFile &file) { return &file; }

// Total bytes passed to report_progress since the program started.
int64_t memory_files_progress_total();
