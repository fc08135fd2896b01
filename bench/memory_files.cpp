#include "bench/memory_files.h"

#include <string.h>

int32_t stream_file_read(StreamFile handle, void *buffer, int32_t count) {
  BenchFile *file = static_cast<BenchFile *>(handle);
  if (count <= 0) return 0;
  size_t available = file->size - file->position;
  size_t n = static_cast<size_t>(count) < available ? static_cast<size_t>(count) : available;
  memcpy(buffer, file->data + file->position, n);
  file->position += n;
  return static_cast<int32_t>(n);
}

int32_t stream_file_write(StreamFile handle, const void *buffer, int32_t count) {
  BenchFile *file = static_cast<BenchFile *>(handle);
  if (count <= 0) return 0;
  if (static_cast<size_t>(count) > file->capacity - file->written) {
    file->overflowed = true;
    return 0;
  }
  memcpy(file->output + file->written, buffer, static_cast<size_t>(count));
  file->written += static_cast<size_t>(count);
  return count;
}

void pump_messages(void) {}
void report_progress(int32_t) {}
