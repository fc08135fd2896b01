#include "tests/support/install_harness.h"

#include <filesystem>

#include "installer/config.h"
#include "platform/win32.h"
#include "ui/progress_dialog.h"
#include "win32sim/sim.h"

namespace fs = std::filesystem;

const char OWN_FILE[] = "C:\\TEMP\\SETUP.EXE";

std::string in_windows(const std::string &name) { return "C:\\WINDOWS\\" + name; }

bool InstallOutcome::showed(const std::string &text) const {
  for (const std::string &t : texts)
    if (t == text) return true;
  return false;
}

void fresh_process(const uint8_t *scrambled_record) {
  installer_reset_for_tests(scrambled_record);
  ui_reset_for_tests();
}

int run_installer(const Bytes &image, const uint8_t *scrambled_record) {
  sim_write_file(OWN_FILE, image);
  sim_clear_records();
  fresh_process(scrambled_record);
  return WinMain(nullptr, nullptr, const_cast<LPSTR>(""), 1);
}

int run_installer(const TestPackage &package) {
  return run_installer(package.image, package.image.data() + package.record_offset);
}

namespace {

// "c:\windows\name" with no further separator below the Windows directory.
bool directly_in_windows_dir(const std::string &path) {
  std::string dir = sim_lower(sim().windows_dir) + "\\";
  std::string lower = sim_lower(path);
  if (lower.compare(0, dir.size(), dir) != 0) return false;
  std::string name = lower.substr(dir.size());
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/:") == std::string::npos;
}

void collect_files(InstallOutcome *outcome) {
  fs::path root = sim().root;
  fs::path windows = sim_host_path(sim().windows_dir);
  fs::path own = sim_host_path(OWN_FILE);
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error); it != fs::recursive_directory_iterator();
       it.increment(error)) {
    if (error) break;
    if (!it->is_regular_file()) continue;
    fs::path path = it->path();
    if (fs::equivalent(path, own, error)) continue;
    if (path.parent_path() == windows) {
      std::string name = path.filename().string();
      if (name == "system.ini") continue;
      outcome->windows_files[name] = sim_read_file(in_windows(name));
    } else {
      outcome->outside_writes.push_back("file left outside: " + path.string());
    }
  }
}

}  // namespace

InstallOutcome install_in_fresh_world(const Bytes &image, const uint8_t *scrambled_record, int64_t disk_space) {
  sim_reset();
  sim().disk_space = disk_space;
  InstallOutcome outcome;
  outcome.exit_code = run_installer(image, scrambled_record);
  outcome.open_handles = sim_open_handles();
  for (const SimMessageBox &box : sim().message_boxes) outcome.texts.push_back(box.text);
  outcome.message_boxes = static_cast<int>(outcome.texts.size());
  for (const SimCreateFile &call : sim().create_files)
    if ((call.access & GENERIC_WRITE) != 0 && !directly_in_windows_dir(call.path))
      outcome.outside_writes.push_back("opened for writing: " + call.path);
  outcome.registered =
      !sim().system_parameters.empty() ||
      !sim_profile_string(sim().windows_dir + "\\system.ini", "boot", "SCRNSAVE.EXE").empty();
  collect_files(&outcome);
  return outcome;
}

InstallOutcome install_in_fresh_world(const TestPackage &package, int64_t disk_space) {
  return install_in_fresh_world(package.image, package.image.data() + package.record_offset, disk_space);
}
