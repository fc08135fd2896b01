// tools/system_files.h on POSIX systems: descriptors and errno.
#include "tools/system_files.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

const int SYSTEM_ERROR_DISK_FULL = ENOSPC;
const int SYSTEM_ERROR_NOT_WRITABLE = EBADF;
const int SYSTEM_ERROR_IO = EIO;
const char PATH_SEPARATOR = '/';

std::string system_error_text(int error_code) { return strerror(error_code); }

bool is_path_separator(char c) { return c == '/'; }

SystemFile system_open_read(const char *path, int *error_code) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) *error_code = errno;
  return fd < 0 ? NO_SYSTEM_FILE : fd;
}

SystemFile system_create_unique(const std::string &prefix, std::string *path, int *error_code) {
  std::vector<char> name(prefix.begin(), prefix.end());
  static const char UNIQUE[] = "XXXXXX";
  name.insert(name.end(), UNIQUE, UNIQUE + sizeof UNIQUE);
  int fd = mkstemp(name.data());
  if (fd < 0) {
    *error_code = errno;
    return NO_SYSTEM_FILE;
  }
  // mkstemp creates 0600; give the file the permissions a new file gets.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  *path = name.data();
  return fd;
}

bool system_file_type(SystemFile file, SystemFileType *type, uint64_t *size, int *error_code) {
  struct stat info;
  if (fstat(static_cast<int>(file), &info) != 0) {
    *error_code = errno;
    return false;
  }
  *type = S_ISREG(info.st_mode)   ? SYSTEM_FILE_REGULAR
          : S_ISDIR(info.st_mode) ? SYSTEM_FILE_DIRECTORY
                                  : SYSTEM_FILE_OTHER;
  *size = *type == SYSTEM_FILE_REGULAR ? static_cast<uint64_t>(info.st_size) : 0;
  return true;
}

int32_t system_read(SystemFile file, void *buffer, int32_t count, int *error_code) {
  while (true) {
    ssize_t n = read(static_cast<int>(file), buffer, static_cast<size_t>(count));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) *error_code = errno;
    return n < 0 ? -1 : static_cast<int32_t>(n);
  }
}

int32_t system_write(SystemFile file, const void *buffer, int32_t count, int *error_code) {
  while (true) {
    ssize_t n = write(static_cast<int>(file), buffer, static_cast<size_t>(count));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) *error_code = errno;
    return n < 0 ? -1 : static_cast<int32_t>(n);
  }
}

bool system_close(SystemFile file, int *error_code) {
  if (close(static_cast<int>(file)) == 0) return true;
  *error_code = errno;
  return false;
}

bool system_replace(const char *from, const char *to, int *error_code) {
  if (rename(from, to) == 0) return true;
  *error_code = errno;
  return false;
}

bool system_remove(const char *path) { return unlink(path) == 0; }

bool system_make_directory(const char *path, int *error_code) {
  struct stat info;
  if (mkdir(path, 0777) == 0 || (errno == EEXIST && stat(path, &info) == 0 && S_ISDIR(info.st_mode))) return true;
  *error_code = errno == EEXIST ? ENOTDIR : errno;
  return false;
}

bool system_stderr_is_terminal() { return isatty(STDERR_FILENO); }

namespace {

void (*interrupt_cleanup)() = nullptr;

void on_signal(int signal_number) {
  interrupt_cleanup();
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

}  // namespace

void system_on_interrupt(void (*cleanup)()) {
  interrupt_cleanup = cleanup;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) signal(s, on_signal);
}
