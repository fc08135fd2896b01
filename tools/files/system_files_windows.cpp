// tools/files/system_files.h on Windows: the ANSI Win32 file calls that
// Windows 95 already has. Paths and texts arrive as UTF-8 and go to the
// system in its ANSI code page. MoveFileExA, which replaces a file in one
// step, is looked up at run time: Windows 9x has only a stub of it.
#define WIN32_LEAN_AND_MEAN
#define WINVER 0x0400
#define _WIN32_WINNT 0x0400
#include <windows.h>

#include <stdlib.h>

#include "package/codepage.h"
#include "tools/files/system_files.h"

const int SYSTEM_ERROR_DISK_FULL = ERROR_DISK_FULL;
const int SYSTEM_ERROR_IO = ERROR_WRITE_FAULT;
const int SYSTEM_ERROR_INTERRUPTED = ERROR_OPERATION_ABORTED;
const char PATH_SEPARATOR = '\\';

namespace {

// An application-defined code (bit 29): opening a directory as a file.
const DWORD ERROR_IS_A_DIRECTORY = 0x20000001;

std::string ansi(const std::string &utf8) {
  std::u16string wide = utf8_to_utf16(utf8);
  if (wide.empty()) return std::string();
  int size = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(wide.data()), static_cast<int>(wide.size()),
                                 nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(wide.data()), static_cast<int>(wide.size()), &out[0], size,
                        nullptr, nullptr);
  return out;
}

std::string from_ansi(const std::string &text) {
  if (text.empty()) return text;
  int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string wide(static_cast<size_t>(size > 0 ? size : 0), u'\0');
  if (size > 0)
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<LPWSTR>(&wide[0]),
                        size);
  return utf16_to_utf8(wide);
}

HANDLE handle_of(SystemFile file) { return reinterpret_cast<HANDLE>(file); }

bool fail_with(int *error_code) {
  *error_code = static_cast<int>(GetLastError());
  return false;
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

bool seek(HANDLE file, uint64_t offset, int *error_code) {
  LONG high = static_cast<LONG>(offset >> 32);
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
  return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR || fail_with(error_code);
}

volatile LONG interrupted = 0;
volatile LONG finished = 0;

// Runs on a thread of its own: it only marks the tool as interrupted, and
// the main thread cleans up. When the console is closing, the process ends
// as soon as this returns, so it waits a little for that clean-up first.
BOOL WINAPI on_console_event(DWORD event) {
  interrupted = 1;
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  for (int waited = 0; waited < 40 && !finished; ++waited) Sleep(100);
  return FALSE;
}

void mark_finished() { finished = 1; }

typedef BOOL(WINAPI *MoveFileExFunction)(LPCSTR, LPCSTR, DWORD);

// Windows 95 has no call that replaces a file: move the old file aside, put
// the new one in place, and put the old one back if that fails.
bool replace_by_moving_aside(const std::string &from, const std::string &to, int *error_code) {
  std::string aside;
  for (int attempt = 0; attempt < 100 && aside.empty(); ++attempt) {
    std::string name = to + ".previous-" + unique_suffix();
    if (MoveFileA(to.c_str(), name.c_str()))
      aside = name;
    else if (!already_exists(GetLastError()))
      break;
  }
  if (aside.empty()) return fail_with(error_code);
  if (!MoveFileA(from.c_str(), to.c_str())) {
    fail_with(error_code);
    MoveFileA(aside.c_str(), to.c_str());
    return false;
  }
  if (!DeleteFileA(aside.c_str())) {
    SetFileAttributesA(aside.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(aside.c_str());
  }
  return true;
}

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
  return from_ansi(std::string(text, length));
}

bool is_path_separator(char c) { return c == '\\' || c == '/' || c == ':'; }

bool system_path_info(const std::string &path, SystemFileInfo *info, int *error_code) {
  *info = SystemFileInfo();
  const std::string name = ansi(path);
  DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
  } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    info->type = SYSTEM_FILE_DIRECTORY;
    return true;
  }
  HANDLE file = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (attributes == INVALID_FILE_ATTRIBUTES) return fail_with(error_code);
    info->type = SYSTEM_FILE_REGULAR;  // there, but not to be opened now (in use)
  } else {
    bool ok = system_file_info(reinterpret_cast<SystemFile>(file), info, error_code);
    CloseHandle(file);
    if (!ok) return false;
  }
  info->read_only = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
  return true;
}

bool system_write_target(const std::string &path, std::string *target, int *) {
  *target = path;
  return true;
}

SystemFile system_open_read(const std::string &path, int *error_code) {
  const std::string name = ansi(path);
  DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *error_code = static_cast<int>(ERROR_IS_A_DIRECTORY);
    return NO_SYSTEM_FILE;
  }
  HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    fail_with(error_code);
    return NO_SYSTEM_FILE;
  }
  return reinterpret_cast<SystemFile>(file);
}

SystemFile system_create_unique(const std::string &prefix, std::string *path, int *error_code) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = prefix + unique_suffix();
    HANDLE file = CreateFileA(ansi(name).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      *path = name;
      return reinterpret_cast<SystemFile>(file);
    }
    *error_code = static_cast<int>(GetLastError());
    if (!already_exists(static_cast<DWORD>(*error_code))) break;
  }
  return NO_SYSTEM_FILE;
}

bool system_file_info(SystemFile file, SystemFileInfo *info, int *error_code) {
  HANDLE handle = handle_of(file);
  *info = SystemFileInfo();
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    info->type = SYSTEM_FILE_OTHER;
    return true;
  }
  BY_HANDLE_FILE_INFORMATION facts;
  if (!GetFileInformationByHandle(handle, &facts)) return fail_with(error_code);
  info->type = (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? SYSTEM_FILE_DIRECTORY : SYSTEM_FILE_REGULAR;
  info->size = (static_cast<uint64_t>(facts.nFileSizeHigh) << 32) | facts.nFileSizeLow;
  info->identity.known = true;
  info->identity.volume = facts.dwVolumeSerialNumber;
  info->identity.index = (static_cast<uint64_t>(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow;
  info->read_only = (facts.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  return true;
}

int64_t system_read(SystemFile file, void *buffer, size_t count, int *error_code) {
  if (interrupted) {
    *error_code = SYSTEM_ERROR_INTERRUPTED;
    return -1;
  }
  DWORD done = 0;
  DWORD want = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
  if (ReadFile(handle_of(file), buffer, want, &done, nullptr)) return done;
  DWORD error = GetLastError();
  if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;  // the writer is done
  *error_code = static_cast<int>(error);
  return -1;
}

int64_t system_read_at(SystemFile file, uint64_t offset, void *buffer, size_t count, int *error_code) {
  if (!seek(handle_of(file), offset, error_code)) return -1;
  return system_read(file, buffer, count, error_code);
}

bool system_write(SystemFile file, const void *buffer, size_t count, int *error_code) {
  const uint8_t *bytes = static_cast<const uint8_t *>(buffer);
  while (count > 0) {
    if (interrupted) {
      *error_code = SYSTEM_ERROR_INTERRUPTED;
      return false;
    }
    DWORD done = 0;
    DWORD want = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    if (!WriteFile(handle_of(file), bytes, want, &done, nullptr)) return fail_with(error_code);
    if (done == 0) {
      *error_code = SYSTEM_ERROR_DISK_FULL;
      return false;
    }
    bytes += done;
    count -= done;
  }
  return true;
}

bool system_write_at(SystemFile file, uint64_t offset, const void *buffer, size_t count, int *error_code) {
  return seek(handle_of(file), offset, error_code) && system_write(file, buffer, count, error_code);
}

bool system_flush(SystemFile file, int *error_code) {
  return FlushFileBuffers(handle_of(file)) || fail_with(error_code);
}

bool system_close(SystemFile file, int *error_code) { return CloseHandle(handle_of(file)) || fail_with(error_code); }

bool system_replace(const std::string &from_utf8, const std::string &to_utf8, int *error_code) {
  const std::string from = ansi(from_utf8), to = ansi(to_utf8);
  if (MoveFileA(from.c_str(), to.c_str())) return true;
  if (!already_exists(GetLastError())) return fail_with(error_code);
  MoveFileExFunction move_file_ex = reinterpret_cast<MoveFileExFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "MoveFileExA")));
  if (move_file_ex) {
    if (move_file_ex(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return fail_with(error_code);
  }
  return replace_by_moving_aside(from, to, error_code);
}

void system_flush_directory(const std::string &) {}

bool system_remove(const std::string &path) { return DeleteFileA(ansi(path).c_str()) != 0; }

bool system_make_directory(const std::string &path, int *error_code) {
  const std::string name = ansi(path);
  if (CreateDirectoryA(name.c_str(), nullptr)) return true;
  DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  return fail_with(error_code);
}

bool system_remove_directory(const std::string &path) { return RemoveDirectoryA(ansi(path).c_str()) != 0; }

std::string system_temp_directory() {
  char path[MAX_PATH + 1];
  DWORD length = GetTempPathA(sizeof path, path);
  return length > 0 && length < sizeof path ? from_ansi(std::string(path, length)) : std::string(".");
}

std::vector<std::string> system_arguments(int argc, char **argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(from_ansi(argv[i]));
  return arguments;
}

int system_text_codepage() { return static_cast<int>(GetACP()); }

std::string system_text_to_utf8(const std::string &text) { return from_ansi(text); }

std::string system_text_for_console(const std::string &utf8) { return ansi(utf8); }

bool system_stderr_is_terminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void system_watch_interrupt() {
  SetConsoleCtrlHandler(on_console_event, TRUE);
  atexit(mark_finished);
}

bool system_interrupted() { return interrupted != 0; }

int system_interrupted_exit_code() { return 130; }
