// The codec's file seam over Win32 handles.
#include "codec/common/stream_io.h"
#include "platform/win32.h"

int32_t stream_file_read(StreamFile file, void *buffer, int32_t count) {
  DWORD got = 0;
  if (count <= 0 || !ReadFile(static_cast<HANDLE>(file), buffer, static_cast<DWORD>(count), &got, NULL)) return 0;
  return got <= static_cast<DWORD>(count) ? static_cast<int32_t>(got) : 0;
}

int32_t stream_file_write(StreamFile file, const void *buffer, int32_t count) {
  if (count <= 0) return 0;
  DWORD written = 0;
  BOOL ok = WriteFile(static_cast<HANDLE>(file), buffer, static_cast<DWORD>(count), &written, NULL);
  // A failed write never reads as complete, whatever count it reports.
  if (!ok && written >= static_cast<DWORD>(count)) return count - 1;
  return static_cast<int32_t>(written);
}
