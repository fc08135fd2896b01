#include "tools/cli.h"

#include <stdio.h>
#include <string.h>

#include "tools/system_files.h"

int fail(int code, const std::string &message) {
  fprintf(stderr, "kestrune-pack: %s\n", message.c_str());
  return code;
}

int usage_error(const char *command, const std::string &message) {
  fprintf(stderr, "kestrune-pack: %s\nTry 'kestrune-pack %s--help'.\n", message.c_str(),
          command ? (std::string(command) + " ").c_str() : "");
  return EXIT_USAGE;
}

bool parse_offset(const std::string &text, uint64_t *value) {
  if (text.empty()) return false;
  int base = 10;
  size_t start = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    start = 2;
  }
  uint64_t result = 0;
  for (size_t i = start; i < text.size(); ++i) {
    char c = text[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    if (result > (UINT64_MAX - digit) / base) return false;
    result = result * base + digit;
  }
  *value = result;
  return true;
}

bool read_whole_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error) {
  bytes->clear();
  int code = 0;
  SystemFile file = system_open_read(path.c_str(), &code);
  if (file == NO_SYSTEM_FILE) {
    *error = path + ": " + system_error_text(code);
    return false;
  }
  SystemFileType type;
  uint64_t size = 0;
  if (system_file_type(file, &type, &size, &code) && type == SYSTEM_FILE_DIRECTORY) {
    system_close(file, &code);
    *error = path + ": is a directory";
    return false;
  }
  if (size <= MAX_INPUT_BYTES) bytes->reserve(static_cast<size_t>(size));
  uint8_t chunk[65536];
  while (true) {
    int32_t n = system_read(file, chunk, sizeof chunk, &code);
    if (n < 0) {
      *error = path + ": " + system_error_text(code);
      system_close(file, &code);
      return false;
    }
    if (n == 0) break;
    if (bytes->size() + static_cast<size_t>(n) > MAX_INPUT_BYTES) {
      *error = path + ": larger than 4 GiB, which no installer or stream can be";
      system_close(file, &code);
      return false;
    }
    bytes->insert(bytes->end(), chunk, chunk + n);
  }
  system_close(file, &code);
  return true;
}

bool write_all(SystemFile file, const uint8_t *bytes, size_t size, std::string *error) {
  size_t done = 0;
  while (done < size) {
    size_t left = size - done;
    int code = SYSTEM_ERROR_DISK_FULL;
    int32_t n = system_write(file, bytes + done, static_cast<int32_t>(left < (1u << 30) ? left : 1u << 30), &code);
    if (n <= 0) {
      *error = system_error_text(code);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

namespace {

// Where the last path component of path begins.
size_t name_start(const std::string &path) {
  size_t cut = path.size();
  while (cut > 0 && !is_path_separator(path[cut - 1])) --cut;
  return cut;
}

}  // namespace

std::string base_name(const std::string &path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && is_path_separator(trimmed.back())) trimmed.pop_back();
  return trimmed.substr(name_start(trimmed));
}

std::string join_path(const std::string &directory, const std::string &name) {
  if (directory.empty() || is_path_separator(directory.back())) return directory + name;
  return directory + PATH_SEPARATOR + name;
}

// ---- all-or-nothing output -----------------------------------------------------

namespace {

// Temporary files to remove when the user interrupts the tool. Fixed slots,
// so the cleanup touches no heap.
enum { MAX_PENDING = 8, MAX_PATH_BYTES = 4096 };
struct PendingFile {
  volatile int used;
  SystemFile file;
  char path[MAX_PATH_BYTES];
};
PendingFile pending[MAX_PENDING];

void remove_pending() {
  for (PendingFile &entry : pending) {
    if (!entry.used) continue;
    int code;
    system_close(entry.file, &code);
    system_remove(entry.path);
  }
}

void track(SystemFile file, const std::string &path) {
  static bool cleanup_set = false;
  if (!cleanup_set) system_on_interrupt(remove_pending);
  cleanup_set = true;
  for (PendingFile &entry : pending) {
    if (!entry.used && path.size() < MAX_PATH_BYTES) {
      entry.file = file;
      memcpy(entry.path, path.c_str(), path.size() + 1);
      entry.used = 1;
      return;
    }
  }
}

void untrack(const std::string &path) {
  for (PendingFile &entry : pending)
    if (entry.used && path == entry.path) entry.used = 0;
}

}  // namespace

OutputFile::~OutputFile() { abandon(); }

bool OutputFile::open(const std::string &path, std::string *error) {
  abandon();
  path_ = path;
  size_t cut = name_start(path);
  std::string directory = path.substr(0, cut), name = path.substr(cut);
  int code = 0;
  file_ = system_create_unique(directory + "." + name + ".partial-", &temp_path_, &code);
  if (file_ == NO_SYSTEM_FILE) {
    *error = path + ": cannot create: " + system_error_text(code);
    return false;
  }
  track(file_, temp_path_);
  return true;
}

bool OutputFile::commit(std::string *error) {
  if (file_ == NO_SYSTEM_FILE) {
    *error = path_ + ": not open";
    return false;
  }
  int code = 0;
  bool closed = system_close(file_, &code);
  file_ = NO_SYSTEM_FILE;
  if (!closed) {
    *error = path_ + ": write failed: " + system_error_text(code);
    abandon();
    return false;
  }
  if (!system_replace(temp_path_.c_str(), path_.c_str(), &code)) {
    *error = path_ + ": cannot rename into place: " + system_error_text(code);
    abandon();
    return false;
  }
  untrack(temp_path_);
  temp_path_.clear();
  return true;
}

bool write_whole_file(const std::string &path, const std::vector<uint8_t> &bytes, std::string *error) {
  OutputFile out;
  if (!out.open(path, error)) return false;
  if (!write_all(out.file(), bytes.data(), bytes.size(), error)) {
    *error = path + ": write failed: " + *error;
    return false;
  }
  return out.commit(error);
}

void OutputFile::abandon() {
  int code;
  if (file_ != NO_SYSTEM_FILE) system_close(file_, &code);
  file_ = NO_SYSTEM_FILE;
  if (!temp_path_.empty()) {
    untrack(temp_path_);
    system_remove(temp_path_.c_str());
    temp_path_.clear();
  }
}
