#include "tests/support/install_harness.h"

#include <string.h>

#include "format/unfilled_record.h"
#include "installer/config.h"
#include "installer/install.h"
#include "installer/output_files.h"
#include "platform/win32.h"
#include "ui/progress_dialog.h"
#include "ui/pump.h"
#include "win32sim/sim.h"

const char OWN_FILE[] = "C:\\TEMP\\SETUP.EXE";

std::string in_windows(const std::string &name) { return "C:\\WINDOWS\\" + name; }

bool InstallOutcome::showed(const std::string &text) const {
  for (const std::string &t : texts)
    if (t == text) return true;
  return false;
}

void fresh_process(const uint8_t *scrambled_record) {
  // The installer's values, with the record image the package tool would
  // have written into the stub...
  install_config = scrambled_unfilled_record();
  if (scrambled_record) memcpy(&install_config, scrambled_record, CONFIG_SIZE);
  output_file = INVALID_HANDLE_VALUE;
  one_message_left = 1;
  installed = 0;
  // ... and the dialog's and the pump's.
  start_pending = 1;
  progress_dialog_state = {NULL, 0, PROGRESS_KIB_SHIFT};
  pump_counter = 0;
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
  return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos;
}

void collect_files(InstallOutcome *outcome) {
  const std::string own = sim_lower(OWN_FILE);
  for (const std::string &path : sim_list_files()) {
    const std::string lower = sim_lower(path);
    if (lower == own) continue;
    if (directly_in_windows_dir(path)) {
      const std::string name = lower.substr(lower.find_last_of('\\') + 1);
      if (name != "system.ini") outcome->windows_files[name] = sim_read_file(path);
    } else {
      outcome->outside_writes.push_back("file left outside: " + path);
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
  for (const SimSystemParameter &call : sim().system_parameters) outcome.registered |= call.ok;
  outcome.registered |= !sim_profile_string(sim().windows_dir + "\\system.ini", "boot", "SCRNSAVE.EXE").empty();
  collect_files(&outcome);
  return outcome;
}

InstallOutcome install_in_fresh_world(const TestPackage &package, int64_t disk_space) {
  return install_in_fresh_world(package.image, package.image.data() + package.record_offset, disk_space);
}
