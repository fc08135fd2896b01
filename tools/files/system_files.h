// The operating system under the package tool's faces: open, read, write,
// flush and replace files, learn what a path is, make and remove
// directories, notice an interruption. One implementation per platform
// (system_files_posix.cpp, system_files_windows.cpp) is linked; everything
// above it is the same on every platform.
//
// Paths and texts are UTF-8 on every platform; the Windows provider converts
// them to and from the system's ANSI code page at its edge, since the ANSI
// calls are the ones Windows 95 has.
//
// Calls that fail return false (or NO_SYSTEM_FILE, or -1) and set
// *error_code to the system's code, which system_error_text turns into words.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// An open file: a descriptor on POSIX systems, a HANDLE on Windows.
typedef intptr_t SystemFile;
const SystemFile NO_SYSTEM_FILE = -1;

enum SystemFileType {
  SYSTEM_FILE_MISSING,  // nothing by that name
  SYSTEM_FILE_REGULAR,
  SYSTEM_FILE_DIRECTORY,
  SYSTEM_FILE_OTHER,  // a device, a FIFO, a socket
};

// Which file a path or handle is, whatever it is called: device and inode
// on POSIX systems, volume serial number and file index on Windows.
struct FileIdentity {
  bool known = false;
  uint64_t volume = 0, index = 0;
  bool operator==(const FileIdentity &other) const {
    return known && other.known && volume == other.volume && index == other.index;
  }
};

struct SystemFileInfo {
  SystemFileType type = SYSTEM_FILE_MISSING;
  uint64_t size = 0;  // regular files
  FileIdentity identity;
  bool read_only = false;  // Windows' read-only attribute
};

// Error codes the tool reports for faults it finds itself.
extern const int SYSTEM_ERROR_DISK_FULL;    // a write that wrote nothing
extern const int SYSTEM_ERROR_IO;           // a failure the system did not name
extern const int SYSTEM_ERROR_INTERRUPTED;  // the user interrupted the tool

// "No such file or directory", "The system cannot find the file specified."
std::string system_error_text(int error_code);

// ---- paths --------------------------------------------------------------------
// POSIX: '/' separates. Windows: '\' and '/' separate, and ':' ends a drive
// letter ("C:SAVER.SCR" is SAVER.SCR on drive C).
bool is_path_separator(char c);
extern const char PATH_SEPARATOR;

// What path is, following symbolic links. A missing path is not a failure.
bool system_path_info(const std::string &path, SystemFileInfo *info, int *error_code);
// The path a file is written under: on POSIX systems, where a chain of
// symbolic links at path ends (path itself when it is none), so that the link
// stays a link and the file it names is replaced.
bool system_write_target(const std::string &path, std::string *target, int *error_code);

// ---- files --------------------------------------------------------------------
// Opens an existing file for reading (shared with other readers).
SystemFile system_open_read(const std::string &path, int *error_code);
// Creates a new file named prefix + a few characters that make it unique,
// open for reading and writing; *path receives the full name. It gets the
// permissions any new file of the user gets.
SystemFile system_create_unique(const std::string &prefix, std::string *path, int *error_code);
bool system_file_info(SystemFile file, SystemFileInfo *info, int *error_code);
// Reads up to count bytes at the current position, or at offset: the number
// read, 0 at the end, -1 on failure.
int64_t system_read(SystemFile file, void *buffer, size_t count, int *error_code);
int64_t system_read_at(SystemFile file, uint64_t offset, void *buffer, size_t count, int *error_code);
// Writes all count bytes at the current position (the end, for the files
// the tool writes), or at offset. False on failure.
bool system_write(SystemFile file, const void *buffer, size_t count, int *error_code);
bool system_write_at(SystemFile file, uint64_t offset, const void *buffer, size_t count, int *error_code);
// Puts the file's data on the disk (fsync, FlushFileBuffers).
bool system_flush(SystemFile file, int *error_code);
// Closes; false when the system reports that buffered data was lost.
bool system_close(SystemFile file, int *error_code);

// Puts the file from in place of to, replacing a regular file called to in
// one step where the system can (rename; MoveFileExA, looked up at run
// time). Windows 9x has no such call: the old file is moved aside, the new
// one put in place and the old one removed, or put back if that fails.
// If it fails, to is left as it was.
bool system_replace(const std::string &from, const std::string &to, int *error_code);
// Puts a directory's entries on the disk (POSIX; nothing to do on Windows).
void system_flush_directory(const std::string &directory);
bool system_remove(const std::string &path);
// Makes a directory; true as well when path already is one.
bool system_make_directory(const std::string &path, int *error_code);
bool system_remove_directory(const std::string &path);
// Where temporary files go ($TMPDIR or /tmp; Windows' temporary folder).
std::string system_temp_directory();

// ---- text and the process -----------------------------------------------------
// The program's arguments as UTF-8 (the Windows provider converts them from
// the ANSI code page).
std::vector<std::string> system_arguments(int argc, char **argv);
// The code page an argument file without a byte-order mark is written in:
// 0 for UTF-8 (POSIX), the ANSI code page on Windows.
int system_text_codepage();
// Text of that code page as UTF-8.
std::string system_text_to_utf8(const std::string &text);
// UTF-8 as the console shows it (the ANSI code page on Windows, with '?'
// for what it cannot show).
std::string system_text_for_console(const std::string &utf8);

bool system_stderr_is_terminal();
// From now on, Ctrl-C (and on POSIX SIGTERM and SIGHUP) only marks the tool
// as interrupted; reads and writes then fail, and the tool cleans up and
// ends on its main thread.
void system_watch_interrupt();
bool system_interrupted();
// The exit code of a process ended by the interruption (130 on POSIX for
// Ctrl-C).
int system_interrupted_exit_code();
