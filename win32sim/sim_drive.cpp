// The simulated drives: every file and folder in memory, under the
// lower-cased full path, so a whole install runs without touching the host's
// file system. Tests set up and inspect files here without handles.
#include "platform/win32.h"
#include "win32sim/sim.h"
#include "win32sim/sim_internal.h"

namespace {

const size_t ROOT_LENGTH = 3;  // "C:\"

bool is_separator(char c) { return c == '\\' || c == '/'; }

// Appends the components of text from `from` on to out, which starts with a
// drive ("C:"), resolving "." and "..".
void append_components(std::string &out, const std::string &text, size_t from) {
  size_t at = from;
  while (at < text.size()) {
    size_t end = at;
    while (end < text.size() && !is_separator(text[end])) ++end;
    const size_t length = end - at;
    if (length == 2 && text[at] == '.' && text[at + 1] == '.') {
      size_t slash = out.find_last_of('\\');
      if (slash != std::string::npos && slash >= 2) out.resize(slash);  // never into "C:"
    } else if (length != 0 && !(length == 1 && text[at] == '.')) {
      out += '\\';
      out.append(text, at, length);
    }
    at = end + 1;
  }
}

}  // namespace

std::string sim_drive_path(const std::string &windows_path) {
  const bool relative = windows_path.size() < 2 || windows_path[1] != ':';
  const std::string &base = relative ? sim().current_dir : windows_path;
  std::string out = base.substr(0, 2);
  out.reserve(sim().current_dir.size() + windows_path.size() + 1);
  append_components(out, base, 2);
  if (relative) append_components(out, windows_path, 0);
  if (out.size() == 2) out += '\\';
  return out;
}

std::string sim_drive_key(const std::string &windows_path) { return sim_lower(sim_drive_path(windows_path)); }

std::string sim_parent_key(const std::string &key) {
  size_t slash = key.find_last_of('\\');
  if (slash == std::string::npos || slash + 1 <= ROOT_LENGTH) return key.substr(0, ROOT_LENGTH);
  return key.substr(0, slash);
}

SimFile *sim_find_file(const std::string &key) {
  auto it = sim().files.find(key);
  return it == sim().files.end() ? nullptr : &it->second;
}

bool sim_dir_exists(const std::string &key) { return sim().dirs.count(key) != 0; }

// ---- Test-side access ----------------------------------------------------

void sim_make_dir(const std::string &windows_path) {
  std::string key = sim_drive_key(windows_path);
  while (sim().dirs.insert(key).second && key.size() > ROOT_LENGTH) key = sim_parent_key(key);
}

void sim_write_file(const std::string &windows_path, const std::vector<uint8_t> &bytes) {
  const std::string path = sim_drive_path(windows_path);
  const std::string key = sim_lower(path);
  sim_make_dir(sim_parent_key(path));
  SimFile &file = sim().files[key];
  if (file.path.empty()) file.path = path;
  file.bytes = bytes;
}

std::vector<uint8_t> sim_read_file(const std::string &windows_path) {
  const SimFile *file = sim_find_file(sim_drive_key(windows_path));
  return file ? file->bytes : std::vector<uint8_t>();
}

bool sim_file_exists(const std::string &windows_path) { return sim_find_file(sim_drive_key(windows_path)) != nullptr; }

std::vector<std::string> sim_list_files() {
  std::vector<std::string> paths;
  for (const auto &entry : sim().files) paths.push_back(entry.second.path);
  return paths;
}
