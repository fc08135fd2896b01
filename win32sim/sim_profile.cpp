// The Windows directory and the profile (.ini) files kept on the in-memory
// drive: sections in brackets, "key=value" lines ending in CR LF.
#include <cstring>

#include "platform/win32.h"
#include "win32sim/sim.h"
#include "win32sim/sim_internal.h"

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  if (sim().windows_dir_fails) return 0;
  const std::string &dir = sim().windows_dir;
  if (dir.size() + 1 > size) return static_cast<UINT>(dir.size() + 1);
  memcpy(buffer, dir.c_str(), dir.size() + 1);
  return static_cast<UINT>(dir.size());
}

namespace {

// A profile named without a folder lives in the Windows directory.
std::string profile_path(const std::string &file) {
  if (file.find('\\') != std::string::npos || file.find(':') != std::string::npos) return file;
  std::string dir = sim().windows_dir;
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  return dir + file;
}

std::vector<std::string> split_lines(const std::vector<uint8_t> &bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (uint8_t b : bytes) {
    if (b != '\n') {
      line += static_cast<char>(b);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    line.clear();
  }
  if (!line.empty()) lines.push_back(line);
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

// Sets key in section, adding the section at the end or the key after the
// section's last non-empty line when they are missing.
void set_entry(std::vector<std::string> &lines, const std::string &section, const std::string &key,
               const std::string &value) {
  const std::string entry = key + "=" + value;
  size_t header = 0;
  while (header < lines.size() && !is_section(lines[header], section)) ++header;
  if (header == lines.size()) {
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
    return;
  }
  size_t insert_at = header + 1;
  for (size_t i = header + 1; i < lines.size() && !(lines[i].size() && lines[i][0] == '['); ++i) {
    if (is_key(lines[i], key)) {
      lines[i] = entry;
      return;
    }
    if (!lines[i].empty()) insert_at = i + 1;
  }
  lines.insert(lines.begin() + static_cast<long>(insert_at), entry);
}

}  // namespace

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  if (sim_fault_injected("WritePrivateProfileStringA")) return FALSE;
  if (!section || !key || !value || !file) return FALSE;
  const std::string path = sim_drive_path(profile_path(file));
  const std::string file_key = sim_lower(path);
  if (!sim_dir_exists(sim_parent_key(file_key)) || sim_dir_exists(file_key)) return FALSE;
  std::vector<std::string> lines = split_lines(sim_read_file(path));
  set_entry(lines, section, key, value);
  std::vector<uint8_t> bytes;
  for (const std::string &line : lines) {
    bytes.insert(bytes.end(), line.begin(), line.end());
    bytes.push_back('\r');
    bytes.push_back('\n');
  }
  sim_write_file(path, bytes);
  return TRUE;
}

std::string sim_profile_string(const std::string &windows_path, const std::string &section, const std::string &key) {
  bool in_section = false;
  for (const std::string &line : split_lines(sim_read_file(windows_path))) {
    if (!line.empty() && line[0] == '[')
      in_section = is_section(line, section);
    else if (in_section && is_key(line, key))
      return line.substr(line.find('=') + 1);
  }
  return "";
}
