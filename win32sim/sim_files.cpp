// Simulated kernel file services over the in-memory drives: handles with a
// position and the access and sharing they were opened with, and the faults
// tests ask for: unopenable files, files held by another program's window
// until it is asked to quit, a disk that fills up, and any single call made
// to fail (sim_faults.cpp).
#include <cstring>
#include <map>
#include <utility>

#include "platform/win32.h"
#include "win32sim/sim.h"
#include "win32sim/sim_internal.h"

namespace {

const intptr_t FIRST_FILE_HANDLE = 0x1000;

struct OpenFile {
  bool is_search;
  std::string key;  // lower-cased drive path
  DWORD access;
  DWORD share;
  size_t position;
};

std::map<intptr_t, OpenFile> &open_files() {
  static std::map<intptr_t, OpenFile> files;
  return files;
}

intptr_t next_handle = FIRST_FILE_HANDLE;

HANDLE add_handle(const OpenFile &file) {
  intptr_t id = next_handle;
  next_handle += 4;
  open_files()[id] = file;
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

// The file a CreateFileA of path (whose drive key is key) may open: an
// existing file, or with CREATE_ALWAYS a new or emptied one in an existing
// folder. Null where the call fails.
SimFile *file_to_open(const std::string &path, const std::string &key, DWORD disposition) {
  SimFile *file = sim_find_file(key);
  if (disposition != CREATE_ALWAYS) return file;
  if (file) {
    file->bytes.clear();
    return file;
  }
  if (sim_dir_exists(key) || !sim_dir_exists(sim_parent_key(key))) return nullptr;
  SimFile &created = sim().files[key];
  created.path = sim_drive_path(path);
  return &created;
}

}  // namespace

void sim_close_all_files() { open_files().clear(); }

int sim_open_handles() { return static_cast<int>(open_files().size()); }

// ---- Files ---------------------------------------------------------------

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                          DWORD attributes, HANDLE) {
  SimCreateFile call = {name ? name : "", access, share, disposition, attributes, false};
  HANDLE result = INVALID_HANDLE_VALUE;
  if (!sim_fault_injected("CreateFileA") && !call.path.empty()) {
    std::string key = sim_drive_key(call.path);
    if (!sim().unopenable.count(key) && !held_by_window(key) && !sharing_violation(key, access, share) &&
        file_to_open(call.path, key, disposition))
      result = add_handle({false, std::move(key), access, share, 0});
  }
  call.ok = result != INVALID_HANDLE_VALUE;
  sim().create_files.push_back(std::move(call));
  return result;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read_count, LPOVERLAPPED) {
  if (read_count) *read_count = 0;
  sim().read_requests.push_back(count);
  if (sim_fault_injected("ReadFile")) return FALSE;
  OpenFile *f = find_file(file);
  SimFile *data = f ? sim_find_file(f->key) : nullptr;
  if (!data || !(f->access & GENERIC_READ)) return FALSE;
  size_t available = f->position < data->bytes.size() ? data->bytes.size() - f->position : 0;
  size_t n = count < available ? count : available;
  if (n) memcpy(buffer, data->bytes.data() + f->position, n);
  f->position += n;
  if (read_count) *read_count = static_cast<DWORD>(n);
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED) {
  if (written) *written = 0;
  if (sim_fault_injected("WriteFile")) return FALSE;
  OpenFile *f = find_file(file);
  SimFile *data = f ? sim_find_file(f->key) : nullptr;
  if (!data || !(f->access & GENERIC_WRITE)) return FALSE;
  DWORD allowed = count;
  int64_t &space = sim().disk_space;
  if (space >= 0 && static_cast<int64_t>(count) > space) allowed = static_cast<DWORD>(space);
  if (allowed) {
    // Writing past the end fills the gap with zeros, as seeking there allows.
    if (data->bytes.size() < f->position + allowed) data->bytes.resize(f->position + allowed);
    memcpy(data->bytes.data() + f->position, buffer, allowed);
    f->position += allowed;
  }
  if (space >= 0) space -= allowed;
  if (written) *written = allowed;
  return allowed == count;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method) {
  if (sim_fault_injected("SetFilePointer")) return INVALID_SET_FILE_POINTER;
  OpenFile *f = find_file(file);
  if (!f || distance_high || method != FILE_BEGIN || distance < 0) return INVALID_SET_FILE_POINTER;
  f->position = static_cast<size_t>(distance);
  return static_cast<DWORD>(distance);
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  auto it = open_files().find(reinterpret_cast<intptr_t>(handle));
  if (it == open_files().end() || it->second.is_search) return FALSE;
  open_files().erase(it);
  return TRUE;
}

// An open file cannot be deleted, as on the platform.
BOOL WINAPI DeleteFileA(LPCSTR name) {
  const std::string path = name ? name : "";
  const std::string key = sim_drive_key(path);
  if (path.empty() || !sim_find_file(key)) return FALSE;
  for (const auto &entry : open_files())
    if (!entry.second.is_search && entry.second.key == key) return FALSE;
  sim().files.erase(key);
  sim().deleted_files.push_back(path);
  return TRUE;
}

// ---- Directory search ----------------------------------------------------

HANDLE WINAPI FindFirstFileA(LPCSTR name, LPWIN32_FIND_DATAA data) {
  std::string path = name ? name : "";
  sim().find_first_files.push_back(path);
  if (path.empty()) return INVALID_HANDLE_VALUE;
  std::string key = sim_drive_key(path);
  const SimFile *file = sim_find_file(key);
  if (!file && !sim_dir_exists(key)) return INVALID_HANDLE_VALUE;
  memset(data, 0, sizeof(*data));
  data->nFileSizeLow = file ? static_cast<DWORD>(file->bytes.size()) : 0;
  std::string long_name = last_component(path);
  strncpy(data->cFileName, long_name.c_str(), sizeof(data->cFileName) - 1);
  auto alternate = sim().alternate_names.find(key);
  if (alternate != sim().alternate_names.end())
    strncpy(data->cAlternateFileName, alternate->second.c_str(), sizeof(data->cAlternateFileName) - 1);
  return add_handle({true, "", 0, 0, 0});
}

BOOL WINAPI FindClose(HANDLE find) {
  auto it = open_files().find(reinterpret_cast<intptr_t>(find));
  if (it == open_files().end() || !it->second.is_search) return FALSE;
  open_files().erase(it);
  ++sim().find_closes;
  return TRUE;
}
