// The operating system under kestrune-pack: open, read, write and replace
// files, make directories, notice Ctrl-C. One implementation per platform
// (system_files_posix.cpp, system_files_windows.cpp) is linked; everything
// else in tools/ is the same on every platform.
//
// Calls that fail return false (or NO_SYSTEM_FILE, or -1) and set
// *error_code to the system's code, which system_error_text turns into words.
#pragma once
#include <stdint.h>

#include <string>

// An open file: a descriptor on POSIX systems, a HANDLE on Windows.
typedef intptr_t SystemFile;
const SystemFile NO_SYSTEM_FILE = -1;

enum SystemFileType { SYSTEM_FILE_REGULAR, SYSTEM_FILE_DIRECTORY, SYSTEM_FILE_OTHER };

// Error codes the tool reports for faults it finds itself.
extern const int SYSTEM_ERROR_DISK_FULL;     // a write that wrote nothing
extern const int SYSTEM_ERROR_NOT_WRITABLE;  // a write to something read-only
extern const int SYSTEM_ERROR_IO;            // a failure the system did not name

// "No such file or directory", "The system cannot find the file specified."
std::string system_error_text(int error_code);

// ---- paths --------------------------------------------------------------------
// POSIX: '/' separates. Windows: '\' and '/' separate, and ':' ends a drive
// letter ("C:SAVER.SCR" is SAVER.SCR on drive C).
bool is_path_separator(char c);
// Separator put between a directory and a name.
extern const char PATH_SEPARATOR;

// ---- files --------------------------------------------------------------------
// Opens an existing file for reading (shared with other readers).
SystemFile system_open_read(const char *path, int *error_code);
// Creates and opens for writing a new file named prefix + a few characters
// that make it unique; *path receives the full name. It gets the permissions
// any new file of the user gets.
SystemFile system_create_unique(const std::string &prefix, std::string *path, int *error_code);
// Type of an open file and, for a regular file, its size (else 0).
bool system_file_type(SystemFile file, SystemFileType *type, uint64_t *size, int *error_code);
// Reads up to count bytes (count > 0): the number read, 0 at the end, -1 on
// failure. Interrupted calls are repeated.
int32_t system_read(SystemFile file, void *buffer, int32_t count, int *error_code);
// Writes up to count bytes (count > 0): the number written, -1 on failure.
int32_t system_write(SystemFile file, const void *buffer, int32_t count, int *error_code);
// Closes; false when the system reports that buffered data was lost.
bool system_close(SystemFile file, int *error_code);

// Puts the file from in place of to, replacing a file called to. If it
// fails, to is left as it was.
bool system_replace(const char *from, const char *to, int *error_code);
// Removes a file. Safe to call from system_on_interrupt's cleanup.
bool system_remove(const char *path);
// Makes a directory; true as well when path already is one.
bool system_make_directory(const char *path, int *error_code);

// ---- the process --------------------------------------------------------------
bool system_stderr_is_terminal();
// Calls cleanup when the user interrupts the tool (Ctrl-C; on POSIX also
// SIGTERM and SIGHUP), then ends the process as the interruption would.
// cleanup may only close files (system_close) and remove them
// (system_remove), using memory set up beforehand.
void system_on_interrupt(void (*cleanup)());
