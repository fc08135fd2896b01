// tools/system_files.h on Windows: ANSI Win32 file calls that Windows 95
// already has (no MoveFileEx, no ReplaceFile, no wide-character calls).
#define WIN32_LEAN_AND_MEAN
#define WINVER 0x0400
#define _WIN32_WINNT 0x0400
#include <windows.h>

#include "tools/system_files.h"

const int SYSTEM_ERROR_DISK_FULL = ERROR_DISK_FULL;
const int SYSTEM_ERROR_NOT_WRITABLE = ERROR_INVALID_HANDLE;
const int SYSTEM_ERROR_IO = ERROR_WRITE_FAULT;
const char PATH_SEPARATOR = '\\';

namespace {

// An application-defined code (bit 29): opening a directory as a file.
const DWORD ERROR_IS_A_DIRECTORY = 0x20000001;

bool is_directory(const char *path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Six letters and digits, different on every call in this process and
// unlikely to repeat across processes.
std::string unique_suffix() {
  static DWORD counter = 0;
  DWORD value = GetTickCount() ^ (GetCurrentProcessId() << 12) ^ (++counter * 2654435761u);
  static const char DIGITS[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (int i = 0; i < 6; ++i, value /= 36) suffix += DIGITS[value % 36];
  return suffix;
}

bool already_exists(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

}  // namespace

std::string system_error_text(int error_code) {
  if (static_cast<DWORD>(error_code) == ERROR_IS_A_DIRECTORY) return "Is a directory";
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                static_cast<DWORD>(error_code), 0, text, sizeof text, nullptr);
  // "Access is denied.\r\n" -> "Access is denied"
  while (length > 0 &&
         (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ' || text[length - 1] == '.'))
    --length;
  if (length == 0) return "system error " + std::to_string(error_code);
  return std::string(text, length);
}

bool is_path_separator(char c) { return c == '\\' || c == '/' || c == ':'; }

SystemFile system_open_read(const char *path, int *error_code) {
  if (is_directory(path)) {
    *error_code = static_cast<int>(ERROR_IS_A_DIRECTORY);
    return NO_SYSTEM_FILE;
  }
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error_code = static_cast<int>(GetLastError());
    return NO_SYSTEM_FILE;
  }
  return reinterpret_cast<SystemFile>(file);
}

SystemFile system_create_unique(const std::string &prefix, std::string *path, int *error_code) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = prefix + unique_suffix();
    HANDLE file =
        CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      *path = name;
      return reinterpret_cast<SystemFile>(file);
    }
    *error_code = static_cast<int>(GetLastError());
    if (!already_exists(static_cast<DWORD>(*error_code))) break;
  }
  return NO_SYSTEM_FILE;
}

bool system_file_type(SystemFile file, SystemFileType *type, uint64_t *size, int *error_code) {
  HANDLE handle = reinterpret_cast<HANDLE>(file);
  *size = 0;
  *type = SYSTEM_FILE_OTHER;
  if (GetFileType(handle) != FILE_TYPE_DISK) return true;
  DWORD high = 0;
  SetLastError(NO_ERROR);
  DWORD low = GetFileSize(handle, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
    *error_code = static_cast<int>(GetLastError());
    return false;
  }
  *type = SYSTEM_FILE_REGULAR;
  *size = (static_cast<uint64_t>(high) << 32) | low;
  return true;
}

int32_t system_read(SystemFile file, void *buffer, int32_t count, int *error_code) {
  DWORD done = 0;
  if (ReadFile(reinterpret_cast<HANDLE>(file), buffer, static_cast<DWORD>(count), &done, nullptr))
    return static_cast<int32_t>(done);
  DWORD error = GetLastError();
  if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;  // the writer is done
  *error_code = static_cast<int>(error);
  return -1;
}

int32_t system_write(SystemFile file, const void *buffer, int32_t count, int *error_code) {
  DWORD done = 0;
  if (WriteFile(reinterpret_cast<HANDLE>(file), buffer, static_cast<DWORD>(count), &done, nullptr))
    return static_cast<int32_t>(done);
  *error_code = static_cast<int>(GetLastError());
  return -1;
}

bool system_close(SystemFile file, int *error_code) {
  if (CloseHandle(reinterpret_cast<HANDLE>(file))) return true;
  *error_code = static_cast<int>(GetLastError());
  return false;
}

bool system_replace(const char *from, const char *to, int *error_code) {
  if (MoveFileA(from, to)) return true;
  DWORD error = GetLastError();
  if (!already_exists(error)) {
    *error_code = static_cast<int>(error);
    return false;
  }
  // MoveFileA does not replace, and Windows 95 has nothing that does: move
  // the old file aside, put the new one in place, and put the old one back
  // if that fails.
  std::string aside;
  for (int attempt = 0; attempt < 100 && aside.empty(); ++attempt) {
    std::string name = std::string(to) + ".previous-" + unique_suffix();
    if (MoveFileA(to, name.c_str()))
      aside = name;
    else if (!already_exists(GetLastError()))
      break;
  }
  if (aside.empty()) {
    *error_code = static_cast<int>(GetLastError());
    return false;
  }
  if (!MoveFileA(from, to)) {
    *error_code = static_cast<int>(GetLastError());
    MoveFileA(aside.c_str(), to);
    return false;
  }
  DeleteFileA(aside.c_str());
  return true;
}

bool system_remove(const char *path) { return DeleteFileA(path) != 0; }

bool system_make_directory(const char *path, int *error_code) {
  if (CreateDirectoryA(path, nullptr) || is_directory(path)) return true;
  *error_code = static_cast<int>(GetLastError());
  return false;
}

bool system_stderr_is_terminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

namespace {

void (*interrupt_cleanup)() = nullptr;

// Runs on a thread of its own; returning FALSE lets the default handler end
// the process.
BOOL WINAPI on_console_event(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) interrupt_cleanup();
  return FALSE;
}

}  // namespace

void system_on_interrupt(void (*cleanup)()) {
  interrupt_cleanup = cleanup;
  SetConsoleCtrlHandler(on_console_event, TRUE);
}
