#include "tools/tool_files.h"

#include <stdio.h>
#include <string.h>

ToolFile tool_file_system(SystemFile system_file) {
  ToolFile file;
  file.kind = TOOL_FILE_SYSTEM;
  file.system_file = system_file;
  return file;
}

ToolFile tool_file_memory(const uint8_t *data, size_t size, size_t position) {
  ToolFile file;
  file.kind = TOOL_FILE_MEMORY;
  file.data = data;
  file.size = size;
  file.position = position < size ? position : size;
  return file;
}

ToolFile tool_file_vector(std::vector<uint8_t> *vector) {
  ToolFile file;
  file.kind = TOOL_FILE_VECTOR;
  file.vector = vector;
  return file;
}

ToolFile tool_file_counter() { return ToolFile(); }

// ---- codec seam ---------------------------------------------------------------

int32_t stream_file_read(StreamFile handle, void *buffer, int32_t count) {
  ToolFile *file = static_cast<ToolFile *>(handle);
  if (count <= 0) return 0;
  size_t done = 0;
  switch (file->kind) {
    case TOOL_FILE_SYSTEM:
      while (done < static_cast<size_t>(count)) {
        int code = 0;
        int32_t n = system_read(file->system_file, static_cast<uint8_t *>(buffer) + done,
                                count - static_cast<int32_t>(done), &code);
        if (n < 0 && file->error_number == 0) file->error_number = code;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      break;
    case TOOL_FILE_MEMORY: {
      size_t available = file->size - file->position;
      done = static_cast<size_t>(count) < available ? static_cast<size_t>(count) : available;
      if (done) memcpy(buffer, file->data + file->position, done);
      file->position += done;
      break;
    }
    case TOOL_FILE_VECTOR:
    case TOOL_FILE_COUNTER: break;  // write-only
  }
  file->bytes_read += done;
  return static_cast<int32_t>(done);
}

int32_t stream_file_write(StreamFile handle, const void *buffer, int32_t count) {
  ToolFile *file = static_cast<ToolFile *>(handle);
  if (count <= 0) return 0;
  size_t done = 0;
  switch (file->kind) {
    case TOOL_FILE_SYSTEM:
      while (done < static_cast<size_t>(count)) {
        int code = SYSTEM_ERROR_DISK_FULL;
        int32_t n = system_write(file->system_file, static_cast<const uint8_t *>(buffer) + done,
                                 count - static_cast<int32_t>(done), &code);
        if (n <= 0) {
          if (file->error_number == 0) file->error_number = code;
          break;
        }
        done += static_cast<size_t>(n);
      }
      break;
    case TOOL_FILE_VECTOR: {
      const uint8_t *bytes = static_cast<const uint8_t *>(buffer);
      file->vector->insert(file->vector->end(), bytes, bytes + count);
      done = static_cast<size_t>(count);
      break;
    }
    case TOOL_FILE_COUNTER: done = static_cast<size_t>(count); break;
    case TOOL_FILE_MEMORY:
      if (file->error_number == 0) file->error_number = SYSTEM_ERROR_NOT_WRITABLE;  // read-only view
      break;
  }
  file->bytes_written += done;
  return static_cast<int32_t>(done);
}

void pump_messages(void) {}

// ---- progress bar -------------------------------------------------------------

namespace {

struct ProgressBar {
  bool active = false;
  int drawn_width = 0;  // characters of the line drawn last, 0 = none
  const char *label = "";
  uint64_t total = 0;
  uint64_t written = 0;
  const ToolFile *watched = nullptr;
  int last_permille = -1;
};
ProgressBar progress;

void draw_progress() {
  uint64_t done = progress.watched ? progress.watched->bytes_read : progress.written;
  if (done > progress.total) done = progress.total;
  int permille = static_cast<int>(done * 1000 / progress.total);
  if (permille == progress.last_permille) return;
  progress.last_permille = permille;
  enum { WIDTH = 40 };
  char bar[WIDTH + 1];
  int filled = permille * WIDTH / 1000;
  for (int i = 0; i < WIDTH; ++i) bar[i] = i < filled ? '#' : '.';
  bar[WIDTH] = 0;
  int printed = fprintf(stderr, "\r%s [%s] %3d%%", progress.label, bar, permille / 10);
  fflush(stderr);
  progress.drawn_width = printed > 1 ? printed - 1 : 0;
}

}  // namespace

void progress_begin(const char *label, uint64_t total, const ToolFile *watched_input) {
  progress = ProgressBar();
  if (total < PROGRESS_MIN_BYTES || !system_stderr_is_terminal()) return;
  progress.active = true;
  progress.label = label;
  progress.total = total;
  progress.watched = watched_input;
}

void progress_end() {
  if (progress.drawn_width) {
    // Spaces over the bar: a Windows console knows no erase sequence.
    fprintf(stderr, "\r%*s\r", progress.drawn_width, "");
    fflush(stderr);
  }
  progress = ProgressBar();
}

void report_progress(int32_t count) {
  if (!progress.active) return;
  if (count > 0) progress.written += static_cast<uint64_t>(count);
  draw_progress();
}
