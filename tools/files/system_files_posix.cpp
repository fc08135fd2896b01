// tools/files/system_files.h on POSIX systems: descriptors and errno.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/files/system_files.h"

const int SYSTEM_ERROR_DISK_FULL = ENOSPC;
const int SYSTEM_ERROR_IO = EIO;
const int SYSTEM_ERROR_INTERRUPTED = EINTR;
const char PATH_SEPARATOR = '/';

namespace {

volatile sig_atomic_t interrupted_by = 0;

void on_signal(int signal_number) { interrupted_by = signal_number; }

void fill_info(const struct stat &st, SystemFileInfo *info) {
  info->type = S_ISREG(st.st_mode)   ? SYSTEM_FILE_REGULAR
               : S_ISDIR(st.st_mode) ? SYSTEM_FILE_DIRECTORY
                                     : SYSTEM_FILE_OTHER;
  info->size = info->type == SYSTEM_FILE_REGULAR ? static_cast<uint64_t>(st.st_size) : 0;
  info->identity.known = true;
  info->identity.volume = static_cast<uint64_t>(st.st_dev);
  info->identity.index = static_cast<uint64_t>(st.st_ino);
  info->read_only = false;
}

bool fail_with(int *error_code) {
  *error_code = errno;
  return false;
}

}  // namespace

std::string system_error_text(int error_code) {
  if (error_code == 0) return "unknown error";
  return strerror(error_code);
}

bool is_path_separator(char c) { return c == '/'; }

bool system_path_info(const std::string &path, SystemFileInfo *info, int *error_code) {
  *info = SystemFileInfo();
  struct stat st;
  if (stat(path.c_str(), &st) == 0) {
    fill_info(st, info);
    return true;
  }
  if (errno == ENOENT) return true;  // missing (or a link to nothing, handled by system_write_target)
  return fail_with(error_code);
}

bool system_write_target(const std::string &path, std::string *target, int *error_code) {
  *target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(target->c_str(), &st) != 0) return errno == ENOENT ? true : fail_with(error_code);
    if (!S_ISLNK(st.st_mode)) return true;
    char link[PATH_MAX];
    const ssize_t n = readlink(target->c_str(), link, sizeof link - 1);
    if (n < 0) return fail_with(error_code);
    link[n] = 0;
    if (link[0] == '/') {
      *target = link;
    } else {
      const size_t slash = target->rfind('/');
      *target = (slash == std::string::npos ? std::string() : target->substr(0, slash + 1)) + link;
    }
  }
  *error_code = ELOOP;
  return false;
}

SystemFile system_open_read(const std::string &path, int *error_code) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) *error_code = errno;
  return fd < 0 ? NO_SYSTEM_FILE : fd;
}

SystemFile system_create_unique(const std::string &prefix, std::string *path, int *error_code) {
  std::vector<char> name(prefix.begin(), prefix.end());
  static const char UNIQUE[] = "XXXXXX";
  name.insert(name.end(), UNIQUE, UNIQUE + sizeof UNIQUE);
  int fd = mkostemp(name.data(), O_CLOEXEC);
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

bool system_file_info(SystemFile file, SystemFileInfo *info, int *error_code) {
  struct stat st;
  if (fstat(static_cast<int>(file), &st) != 0) return fail_with(error_code);
  fill_info(st, info);
  return true;
}

int64_t system_read(SystemFile file, void *buffer, size_t count, int *error_code) {
  for (;;) {
    if (interrupted_by) break;
    ssize_t n = read(static_cast<int>(file), buffer, count);
    if (n >= 0) return n;
    if (errno != EINTR) {
      *error_code = errno;
      return -1;
    }
  }
  *error_code = EINTR;
  return -1;
}

int64_t system_read_at(SystemFile file, uint64_t offset, void *buffer, size_t count, int *error_code) {
  for (;;) {
    if (interrupted_by) break;
    ssize_t n = pread(static_cast<int>(file), buffer, count, static_cast<off_t>(offset));
    if (n >= 0) return n;
    if (errno != EINTR) {
      *error_code = errno;
      return -1;
    }
  }
  *error_code = EINTR;
  return -1;
}

bool system_write(SystemFile file, const void *buffer, size_t count, int *error_code) {
  const uint8_t *bytes = static_cast<const uint8_t *>(buffer);
  while (count > 0) {
    if (interrupted_by) {
      *error_code = EINTR;
      return false;
    }
    ssize_t n = write(static_cast<int>(file), bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail_with(error_code);
    if (n == 0) {
      *error_code = ENOSPC;
      return false;
    }
    bytes += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

bool system_write_at(SystemFile file, uint64_t offset, const void *buffer, size_t count, int *error_code) {
  const uint8_t *bytes = static_cast<const uint8_t *>(buffer);
  while (count > 0) {
    ssize_t n = pwrite(static_cast<int>(file), bytes, count, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail_with(error_code);
    if (n == 0) {
      *error_code = ENOSPC;
      return false;
    }
    bytes += n;
    offset += static_cast<uint64_t>(n);
    count -= static_cast<size_t>(n);
  }
  return true;
}

bool system_flush(SystemFile file, int *error_code) {
  return fsync(static_cast<int>(file)) == 0 || fail_with(error_code);
}

bool system_close(SystemFile file, int *error_code) {
  return close(static_cast<int>(file)) == 0 || fail_with(error_code);
}

bool system_replace(const std::string &from, const std::string &to, int *error_code) {
  return rename(from.c_str(), to.c_str()) == 0 || fail_with(error_code);
}

void system_flush_directory(const std::string &directory) {
  int fd = open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

bool system_remove(const std::string &path) { return unlink(path.c_str()) == 0; }

bool system_make_directory(const std::string &path, int *error_code) {
  struct stat st;
  if (mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
    return true;
  *error_code = errno == EEXIST ? ENOTDIR : errno;
  return false;
}

bool system_remove_directory(const std::string &path) { return rmdir(path.c_str()) == 0; }

std::string system_temp_directory() {
  const char *dir = getenv("TMPDIR");
  return dir && dir[0] ? dir : "/tmp";
}

std::vector<std::string> system_arguments(int argc, char **argv) { return std::vector<std::string>(argv, argv + argc); }
int system_text_codepage() { return 0; }
std::string system_text_to_utf8(const std::string &text) { return text; }
std::string system_text_for_console(const std::string &utf8) { return utf8; }

bool system_stderr_is_terminal() { return isatty(STDERR_FILENO); }

void system_watch_interrupt() {
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = on_signal;  // no SA_RESTART: a blocked read returns and sees the flag
  sigemptyset(&action.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

bool system_interrupted() { return interrupted_by != 0; }

int system_interrupted_exit_code() { return 128 + (interrupted_by ? interrupted_by : SIGINT); }
