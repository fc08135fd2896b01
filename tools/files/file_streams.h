// Files as the package library's sources and sinks, with the rules that keep
// an author's files safe:
//   - an input of 2 GiB or more is refused from its size, before it is read;
//     one that is not a regular file (a pipe) is first copied to a temporary
//     file, so that every input can be read from any offset;
//   - an output appears under its name only when complete: it is written to
//     a temporary file beside it, flushed to the disk, and put in place of
//     the old file in one step;
//   - an output is never the same file as an input, never a directory, a
//     device, a FIFO or a socket, and a symbolic link stays a link (the file
//     it names is replaced); on Windows a read-only file is refused.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "package/io.h"
#include "tools/files/system_files.h"

// The tool's exit codes.
enum ExitCode {
  EXIT_OK = 0,
  EXIT_BAD_DATA = 1,  // damaged or unusable data, an unreadable input, a failed write
  EXIT_USAGE = 2,     // a wrong command line, or a request that cannot be done
};

// Inputs must be smaller than this, whatever they are for.
enum : uint64_t { MAX_INPUT_SIZE = uint64_t{1} << 31 };

// "FILE: 2,147,483,648 bytes; inputs must be smaller than 2 GiB", the same
// on every platform.
std::string too_large_message(const std::string &path, uint64_t size);

// A failure of the file layer: what to say and how the tool ends.
struct FileError {
  std::string message;  // "<path>: <reason>"
  int exit_code = EXIT_BAD_DATA;
};

class FileSource : public ByteSource {
 public:
  FileSource() = default;
  FileSource(const FileSource &) = delete;
  FileSource &operator=(const FileSource &) = delete;
  ~FileSource() override;

  // Opens path for reading.
  bool open(const std::string &path, FileError *error);
  uint64_t size() const override { return size_; }
  int64_t read_at(uint64_t offset, void *buffer, size_t count) override;
  std::string error() const override;
  const FileIdentity &identity() const { return identity_; }
  const std::string &path() const { return path_; }

 private:
  bool spool(FileError *error);

  std::string path_, spool_path_;
  SystemFile file_ = NO_SYSTEM_FILE;
  uint64_t size_ = 0;
  FileIdentity identity_;
  int error_code_ = 0;
};

// Reads a whole small file (an argument file), of at most limit bytes.
bool read_small_file(const std::string &path, uint64_t limit, std::string *text, FileError *error);

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile &) = delete;
  OutputFile &operator=(const OutputFile &) = delete;
  ~OutputFile();  // abandons an output that was not committed

  // Prepares to write path. Refuses (EXIT_USAGE) what the rules above keep
  // from being replaced, and an existing file unless may_replace.
  bool open(const std::string &path, const std::vector<const FileSource *> &inputs, bool may_replace, FileError *error);
  // Appends to the temporary file; patches it; reads it back.
  ByteSink &sink();
  ByteSource &written();
  // Flushes the file to the disk, closes it and puts it in place.
  bool commit(FileError *error);
  // Removes the temporary file, if any.
  void abandon();
  const std::string &path() const { return path_; }

 private:
  class Sink;
  class Reader;
  std::string path_, target_, temp_path_;
  SystemFile file_ = NO_SYSTEM_FILE;
  uint64_t written_ = 0;
  int error_code_ = 0;
  Sink *sink_ = nullptr;
  Reader *reader_ = nullptr;
};

// The last path component ("dir/x.scr" -> "x.scr"; on Windows also
// "C:\\dir\\x.scr" and "C:x.scr" -> "x.scr"), and the folder before it.
std::string base_name(const std::string &path);
std::string directory_of(const std::string &path);
// directory and name with the platform's separator between them.
std::string join_path(const std::string &directory, const std::string &name);
// Whether path is taken against the current folder: not empty, not from the
// root and (on Windows) without a drive ("C:x" is drive C's own current
// folder).
bool is_relative_path(const std::string &path);

// Makes directory and every missing folder above it; *made lists the ones
// made, outermost first, for remove_made_directories.
bool make_directories(const std::string &directory, std::vector<std::string> *made, FileError *error);
// Removes the listed folders, innermost first, where they are empty.
void remove_made_directories(const std::vector<std::string> &made);
