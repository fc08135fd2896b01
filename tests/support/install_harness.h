// Runs whole installers on the simulated Win32 layer through WinMain, and sums
// up what a run did, for the installer and hardening tests and the install
// fuzz target.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/package_builder.h"

// Where the installer's own file lives in the simulation.
extern const char OWN_FILE[];

// "C:\\WINDOWS\\" + name
std::string in_windows(const std::string &name);

// Puts back every process-wide value of the installer and its dialog as a new
// process finds them, the record image being the 640 scrambled bytes at
// scrambled_record (the unfilled record when null).
void fresh_process(const uint8_t *scrambled_record);

// In the current simulated world: writes image as the own file, forgets the
// world's records, starts a fresh process holding scrambled_record (the
// record in the stub's data) and runs WinMain. Returns WinMain's result.
int run_installer(const Bytes &image, const uint8_t *scrambled_record);
// The same for a package, whose record is the one in its image.
int run_installer(const TestPackage &package);

struct InstallOutcome {
  int exit_code = -1;
  int message_boxes = 0;
  std::vector<std::string> texts;  // every message box, in order
  bool registered = false;         // SCRNSAVE.EXE written or screen saving switched on
  // Files present in the Windows directory afterwards (lower-case names),
  // system.ini left out.
  std::map<std::string, Bytes> windows_files;
  // Writes the install made anywhere but directly in the Windows directory.
  std::vector<std::string> outside_writes;
  int open_handles = 0;  // handles the install left open

  bool showed(const std::string &text) const;
};

// A fresh simulated world in which the install may write at most disk_space
// bytes (-1: no limit), then run_installer. The world is left as the run left
// it, for further inspection.
InstallOutcome install_in_fresh_world(const Bytes &image, const uint8_t *scrambled_record, int64_t disk_space = -1);
InstallOutcome install_in_fresh_world(const TestPackage &package, int64_t disk_space = -1);
