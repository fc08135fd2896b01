// Simulated kernel file services over real files in the temporary drive,
// with the faults tests ask for: unopenable files, files held by another
// program's window until it is asked to quit, a disk that fills up, and a
// Windows directory that cannot be reported.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/win32.h"
#include "win32sim/sim.h"
#include "win32sim/sim_internal.h"

namespace {

const intptr_t FIRST_FILE_HANDLE = 0x1000;

struct OpenFile {
  int fd;
  bool is_search;
  std::string key;  // lower-cased full path
  DWORD access;
  DWORD share;
};

std::map<intptr_t, OpenFile> &open_files() {
  static std::map<intptr_t, OpenFile> files;
  return files;
}

intptr_t next_handle = FIRST_FILE_HANDLE;

HANDLE add_handle(int fd, bool is_search, const std::string &key = "", DWORD access = 0, DWORD share = 0) {
  intptr_t id = next_handle;
  next_handle += 4;
  open_files()[id] = {fd, is_search, key, access, share};
  return reinterpret_cast<HANDLE>(id);
}

OpenFile *find_file(HANDLE handle) {
  auto it = open_files().find(reinterpret_cast<intptr_t>(handle));
  return it == open_files().end() || it->second.is_search ? nullptr : &it->second;
}

bool held_by_window(const std::string &key) {
  auto it = sim().locked.find(key);
  if (it == sim().locked.end()) return false;
  SimWindow *holder = sim_window(it->second);
  return holder && !holder->quit_received;
}

std::string last_component(const std::string &path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A second open must allow what the open handles do, and they must allow it.
bool sharing_violation(const std::string &key, DWORD access, DWORD share) {
  for (const auto &entry : open_files()) {
    const OpenFile &f = entry.second;
    if (f.is_search || f.key != key) continue;
    if (((access & GENERIC_READ) && !(f.share & FILE_SHARE_READ)) ||
        ((access & GENERIC_WRITE) && !(f.share & FILE_SHARE_WRITE)) ||
        ((f.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
        ((f.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)))
      return true;
  }
  return false;
}

}  // namespace

void sim_close_all_files() {
  for (auto &entry : open_files())
    if (entry.second.fd >= 0) close(entry.second.fd);
  open_files().clear();
}

int sim_open_handles() { return static_cast<int>(open_files().size()); }

// ---- Files ---------------------------------------------------------------

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                          DWORD disposition, DWORD attributes, HANDLE) {
  std::string path = name ? name : "";
  SimCreateFile call = {path, access, share, disposition, attributes, false};
  std::string key = sim_lower(sim_full_path(path));
  HANDLE result = INVALID_HANDLE_VALUE;
  if (!path.empty() && !sim().unopenable.count(key) && !held_by_window(key) &&
      !sharing_violation(key, access, share)) {
    int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (disposition == CREATE_ALWAYS) flags |= O_CREAT | O_TRUNC;
    int fd = open(sim_host_path(path).c_str(), flags, 0644);
    struct stat info;
    if (fd >= 0 && fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
      close(fd);
      fd = -1;
    }
    if (fd >= 0) result = add_handle(fd, false, key, access, share);
  }
  call.ok = result != INVALID_HANDLE_VALUE;
  sim().create_files.push_back(call);
  return result;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read_count, LPOVERLAPPED) {
  if (read_count) *read_count = 0;
  sim().read_requests.push_back(count);
  OpenFile *f = find_file(file);
  if (!f) return FALSE;
  ssize_t n = read(f->fd, buffer, count);
  if (n < 0) return FALSE;
  if (read_count) *read_count = static_cast<DWORD>(n);
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED) {
  if (written) *written = 0;
  OpenFile *f = find_file(file);
  if (!f) return FALSE;
  DWORD allowed = count;
  int64_t &space = sim().disk_space;
  if (space >= 0 && static_cast<int64_t>(count) > space) allowed = static_cast<DWORD>(space);
  ssize_t n = allowed ? write(f->fd, buffer, allowed) : 0;
  if (n < 0) return FALSE;
  if (space >= 0) space -= n;
  if (written) *written = static_cast<DWORD>(n);
  return static_cast<DWORD>(n) == count;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method) {
  OpenFile *f = find_file(file);
  if (!f || distance_high || method != FILE_BEGIN || distance < 0) return INVALID_SET_FILE_POINTER;
  off_t at = lseek(f->fd, distance, SEEK_SET);
  return at < 0 ? INVALID_SET_FILE_POINTER : static_cast<DWORD>(at);
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  auto it = open_files().find(reinterpret_cast<intptr_t>(handle));
  if (it == open_files().end() || it->second.is_search) return FALSE;
  close(it->second.fd);
  open_files().erase(it);
  return TRUE;
}

// ---- Directory search ----------------------------------------------------

HANDLE WINAPI FindFirstFileA(LPCSTR name, LPWIN32_FIND_DATAA data) {
  std::string path = name ? name : "";
  sim().find_first_files.push_back(path);
  struct stat info;
  if (path.empty() || stat(sim_host_path(path).c_str(), &info) != 0) return INVALID_HANDLE_VALUE;
  memset(data, 0, sizeof(*data));
  data->nFileSizeLow = static_cast<DWORD>(info.st_size);
  std::string long_name = last_component(path);
  strncpy(data->cFileName, long_name.c_str(), sizeof(data->cFileName) - 1);
  auto alternate = sim().alternate_names.find(sim_lower(sim_full_path(path)));
  if (alternate != sim().alternate_names.end())
    strncpy(data->cAlternateFileName, alternate->second.c_str(), sizeof(data->cAlternateFileName) - 1);
  return add_handle(-1, true);
}

BOOL WINAPI FindClose(HANDLE find) {
  auto it = open_files().find(reinterpret_cast<intptr_t>(find));
  if (it == open_files().end() || !it->second.is_search) return FALSE;
  open_files().erase(it);
  ++sim().find_closes;
  return TRUE;
}

// ---- Windows directory and profile ---------------------------------------

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  if (sim().windows_dir_fails) return 0;
  const std::string &dir = sim().windows_dir;
  if (dir.size() + 1 > size) return static_cast<UINT>(dir.size() + 1);
  memcpy(buffer, dir.c_str(), dir.size() + 1);
  return static_cast<UINT>(dir.size());
}

namespace {

std::string profile_path(const std::string &file) {
  if (file.find('\\') != std::string::npos || file.find(':') != std::string::npos) return file;
  std::string dir = sim().windows_dir;
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  return dir + file;
}

std::vector<std::string> read_lines(const std::string &host_path) {
  std::vector<std::string> lines;
  std::ifstream in(host_path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool is_section(const std::string &line, const std::string &section) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']' &&
         sim_lower(line.substr(1, line.size() - 2)) == sim_lower(section);
}

bool is_key(const std::string &line, const std::string &key) {
  size_t eq = line.find('=');
  return eq != std::string::npos && sim_lower(line.substr(0, eq)) == sim_lower(key);
}

}  // namespace

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  if (!section || !key || !value || !file) return FALSE;
  std::string host = sim_host_path(profile_path(file));
  std::vector<std::string> lines = read_lines(host);
  std::string entry = std::string(key) + "=" + value;
  size_t header = 0;
  while (header < lines.size() && !is_section(lines[header], section)) ++header;
  if (header == lines.size()) {
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(entry);
  } else {
    size_t insert_at = header + 1;
    bool replaced = false;
    for (size_t i = header + 1; i < lines.size() && !(lines[i].size() && lines[i][0] == '['); ++i) {
      if (is_key(lines[i], key)) {
        lines[i] = entry;
        replaced = true;
        break;
      }
      if (!lines[i].empty()) insert_at = i + 1;
    }
    if (!replaced) lines.insert(lines.begin() + static_cast<long>(insert_at), entry);
  }
  std::ofstream out(host, std::ios::binary | std::ios::trunc);
  for (const std::string &line : lines) out << line << "\r\n";
  return out.good() ? TRUE : FALSE;
}

std::string sim_profile_string(const std::string &windows_path, const std::string &section,
                               const std::string &key) {
  bool in_section = false;
  for (const std::string &line : read_lines(sim_host_path(windows_path))) {
    if (!line.empty() && line[0] == '[') in_section = is_section(line, section);
    else if (in_section && is_key(line, key)) return line.substr(line.find('=') + 1);
  }
  return "";
}
