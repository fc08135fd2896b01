#include "installer/output_files.h"

#include "format/file_name.h"
#include "installer/text.h"

HANDLE output_file = INVALID_HANDLE_VALUE;

namespace {

char path_buffer[PATH_BUFFER_SIZE];
char output_path[PATH_BUFFER_SIZE];  // the file output_file writes
const char FALLBACK_WINDOWS_DIR[] = "c:\\win95";

}  // namespace

char *windows_dir_path(const char *name) {
  path_buffer[0] = 0;
  if (file_name_fault(name) != FILE_NAME_PLAIN) return path_buffer;
  UINT length = GetWindowsDirectoryA(path_buffer, PATH_BUFFER_SIZE);
  int32_t end;
  if (length == 0) {
    end = text_append(path_buffer, 0, PATH_BUFFER_SIZE, FALLBACK_WINDOWS_DIR);
  } else if (length >= PATH_BUFFER_SIZE) {
    end = -1;  // the directory alone does not fit
  } else {
    end = static_cast<int32_t>(length);
  }
  if (end > 0 && path_buffer[end - 1] != '\\') end = text_append(path_buffer, end, PATH_BUFFER_SIZE, "\\");
  if (end >= 0) end = text_append(path_buffer, end, PATH_BUFFER_SIZE, name);
  if (end < 0) path_buffer[0] = 0;
  return path_buffer;
}

HANDLE create_output_file(const char *path) {
  if (path[0] == 0) return INVALID_HANDLE_VALUE;
  text_append(output_path, 0, PATH_BUFFER_SIZE, path);  // path is a built path: it fits
  for (int retry = 0;; retry = 1) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE || retry) return file;
    if (!ask_display_properties_to_quit()) return INVALID_HANDLE_VALUE;
    Sleep(DISPLAY_PROPERTIES_WAIT_MS);
  }
}

int ask_display_properties_to_quit(void) {
  HWND display_properties = FindWindowA(NULL, DISPLAY_PROPERTIES_TITLE);
  if (display_properties == NULL) return 0;
  PostMessageA(display_properties, WM_QUIT, 0, 0);
  return 1;
}

void close_output_file(void) {
  if (output_file == INVALID_HANDLE_VALUE) return;
  CloseHandle(output_file);
  output_file = INVALID_HANDLE_VALUE;
}

void discard_output_file(void) {
  if (output_file == INVALID_HANDLE_VALUE) return;
  close_output_file();
  DeleteFileA(output_path);
}
