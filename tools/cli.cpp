#include "tools/cli.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

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
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    if (result > (UINT64_MAX - digit) / base) return false;
    result = result * base + digit;
  }
  *value = result;
  return true;
}

bool read_whole_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error) {
  bytes->clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = path + ": " + strerror(errno);
    return false;
  }
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    *error = path + ": is a directory";
    return false;
  }
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) bytes->reserve(static_cast<size_t>(info.st_size));
  uint8_t chunk[65536];
  while (true) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = path + ": " + strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    if (bytes->size() + static_cast<size_t>(n) > MAX_INPUT_BYTES) {
      *error = path + ": larger than 4 GiB, which no installer or stream can be";
      ::close(fd);
      return false;
    }
    bytes->insert(bytes->end(), chunk, chunk + n);
  }
  ::close(fd);
  return true;
}

bool write_all(int fd, const uint8_t *bytes, size_t size, std::string *error) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? strerror(errno) : "nothing written";
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string base_name(const std::string &path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  size_t slash = trimmed.rfind('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

// ---- all-or-nothing output -----------------------------------------------------

namespace {

// Temporary files to remove when a signal ends the process. Fixed slots, so
// the handler touches no heap.
enum { MAX_PENDING = 8, MAX_PATH_BYTES = 4096 };
char pending_paths[MAX_PENDING][MAX_PATH_BYTES];
volatile sig_atomic_t pending_used[MAX_PENDING];

void remove_pending_and_exit(int signal_number) {
  for (int i = 0; i < MAX_PENDING; ++i)
    if (pending_used[i]) unlink(pending_paths[i]);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void install_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) signal(s, remove_pending_and_exit);
}

void track(const std::string &path, bool add) {
  for (int i = 0; i < MAX_PENDING; ++i) {
    if (add && !pending_used[i] && path.size() < MAX_PATH_BYTES) {
      memcpy(pending_paths[i], path.c_str(), path.size() + 1);
      pending_used[i] = 1;
      return;
    }
    if (!add && pending_used[i] && path == pending_paths[i]) {
      pending_used[i] = 0;
      return;
    }
  }
}

}  // namespace

OutputFile::~OutputFile() { abandon(); }

bool OutputFile::open(const std::string &path, std::string *error) {
  abandon();
  install_handlers();
  path_ = path;
  size_t slash = path.rfind('/');
  std::string directory = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string pattern = directory + "." + name + ".partial-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  fd_ = mkstemp(buffer.data());
  if (fd_ < 0) {
    *error = path + ": cannot create: " + strerror(errno);
    return false;
  }
  temp_path_ = buffer.data();
  track(temp_path_, true);
  // mkstemp creates 0600; give the result the permissions a new file gets.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd_, 0666 & ~mask);
  return true;
}

bool OutputFile::commit(std::string *error) {
  if (fd_ < 0) {
    *error = path_ + ": not open";
    return false;
  }
  int result = ::close(fd_);
  fd_ = -1;
  if (result != 0) {
    *error = path_ + ": write failed: " + strerror(errno);
    abandon();
    return false;
  }
  if (rename(temp_path_.c_str(), path_.c_str()) != 0) {
    *error = path_ + ": cannot rename into place: " + strerror(errno);
    abandon();
    return false;
  }
  track(temp_path_, false);
  temp_path_.clear();
  return true;
}

bool write_whole_file(const std::string &path, const std::vector<uint8_t> &bytes, std::string *error) {
  OutputFile out;
  if (!out.open(path, error)) return false;
  if (!write_all(out.fd(), bytes.data(), bytes.size(), error)) {
    *error = path + ": write failed: " + *error;
    return false;
  }
  return out.commit(error);
}

void OutputFile::abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_path_.empty()) {
    unlink(temp_path_.c_str());
    track(temp_path_, false);
    temp_path_.clear();
  }
}
