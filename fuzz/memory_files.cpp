#include "fuzz/memory_files.h"

#include <string.h>

static int64_t progress_total = 0;

int64_t memory_files_progress_total() { return progress_total; }

int32_t stream_file_read(StreamFile file, void *buffer, int32_t count) {
  MemoryFile *f = static_cast<MemoryFile *>(file);
  if (count <= 0 || f->position >= f->size) return 0;
  size_t n = f->size - f->position;
  if (n > static_cast<size_t>(count)) n = static_cast<size_t>(count);
  memcpy(buffer, f->data + f->position, n);
  f->position += n;
  return static_cast<int32_t>(n);
}

int32_t stream_file_write(StreamFile file, const void *buffer, int32_t count) {
  MemoryFile *f = static_cast<MemoryFile *>(file);
  if (count <= 0) return 0;
  size_t room = f->written.size() < f->write_limit ? f->write_limit - f->written.size() : 0;
  size_t n = static_cast<size_t>(count) < room ? static_cast<size_t>(count) : room;
  const uint8_t *bytes = static_cast<const uint8_t *>(buffer);
  f->written.insert(f->written.end(), bytes, bytes + n);
  return static_cast<int32_t>(n);
}

void pump_messages(void) {}

void report_progress(int32_t count) { progress_total += count; }
