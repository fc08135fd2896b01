// Shared pieces of the kestrune-pack command line: messages, numbers, the
// terminal's progress bar, and the library's results as exit codes.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "package/io.h"
#include "package/names.h"
#include "tools/cli/options.h"
#include "tools/files/file_streams.h"

// Prints "kestrune-pack: <message>" on stderr and returns code.
int fail(int code, const std::string &message);
int fail(const FileError &error);
// The library's result: its message, and the exit code its status means (an
// interruption ends the tool as the interruption would).
int fail(const PackageResult &result, const std::string &context);
// Usage error: the message, then "Try 'kestrune-pack <command> --help'."
int usage_error(const char *command, const std::string &message);
// "kestrune-pack: note: ..." and "kestrune-pack: warning: ..." on stderr.
void note(const std::string &message);
void warn(const std::string &message);
// Lines on stdout, as the console shows text.
void print_lines(const std::vector<std::string> &lines);

// The code page of --codepage, or the default (the system's own on
// Windows, 1252 elsewhere), and the form the library takes the texts in.
// False with *exit_code after a usage message for a code page without a
// table here.
bool codepage_from_options(const ParsedArguments &parsed, int *codepage, TextForm *form, int *exit_code);

// A bar on stderr for long work: shown only when stderr is a terminal and
// the work is at least PROGRESS_MIN_BYTES. Stops the work when the user
// interrupts the tool.
class TerminalProgress : public Progress {
 public:
  enum : uint64_t { PROGRESS_MIN_BYTES = 4 << 20 };
  TerminalProgress(const std::string &label, uint64_t total);
  ~TerminalProgress() override;  // clears the bar
  bool advance(uint64_t done, uint64_t total) override;

 private:
  std::string label_;
  uint64_t total_;
  bool shown_;
  int drawn_width_ = 0;
  int last_permille_ = -1;
};
