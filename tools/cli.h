// Shared pieces of the kestrune-pack command line: exit codes, messages,
// argument reading, whole-file input and all-or-nothing output files.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "tools/system_files.h"

enum ExitCode {
  EXIT_OK = 0,
  EXIT_BAD_DATA = 1,  // damaged or unusable data, unreadable input, failed write
  EXIT_USAGE = 2,     // wrong command line, or a request that cannot be packaged
};

// Prints "kestrune-pack: <message>" on stderr and returns code.
int fail(int code, const std::string &message);

// Usage error: the message, then "Try 'kestrune-pack <command> --help'."
int usage_error(const char *command, const std::string &message);

// Parses a non-negative decimal or 0x-prefixed hexadecimal number.
bool parse_offset(const std::string &text, uint64_t *value);

// Reads a whole file (any kind: regular, pipe, device) of at most
// MAX_INPUT_BYTES. On failure returns false with *error set to
// "<path>: <reason>".
const uint64_t MAX_INPUT_BYTES = uint64_t{1} << 32;
bool read_whole_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error);

// Writes all of bytes to file (looping over short writes). False with *error
// set to the system's reason on failure.
bool write_all(SystemFile file, const uint8_t *bytes, size_t size, std::string *error);

// Writes bytes to path through an OutputFile: path holds all of them or is
// left as it was. False with *error ("<path>: <reason>") on failure.
bool write_whole_file(const std::string &path, const std::vector<uint8_t> &bytes, std::string *error);

// The last path component ("dir/x.scr" -> "x.scr"; on Windows also
// "C:\\dir\\x.scr" and "C:x.scr" -> "x.scr").
std::string base_name(const std::string &path);
// directory and name with the platform's separator between them.
std::string join_path(const std::string &directory, const std::string &name);

// An output file that appears under its name only when complete: written to a
// temporary file in the same directory and renamed over the target by
// commit(). If the process ends or commit() is not reached, the temporary file
// is removed (also on Ctrl-C, and SIGTERM/SIGHUP on POSIX systems) and the
// target is left as it was.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile &) = delete;
  OutputFile &operator=(const OutputFile &) = delete;
  ~OutputFile();

  // Creates the temporary file for path. False with *error on failure.
  bool open(const std::string &path, std::string *error);
  SystemFile file() const { return file_; }
  // Flushes, closes and renames into place. False with *error on failure
  // (the temporary file is removed).
  bool commit(std::string *error);
  // Removes the temporary file, if any.
  void abandon();

 private:
  std::string path_;
  std::string temp_path_;
  SystemFile file_ = NO_SYSTEM_FILE;
};
