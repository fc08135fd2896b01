// Runs whole installers on the simulated Win32 layer and sums up what each
// run did, for the hardening tests, the corrupted-installer sweep and the
// install fuzz target.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Where the installer's own file lives in the simulation.
extern const char HARNESS_OWN_FILE[];

// Texts the harness's packages carry, so outcomes can be told apart.
extern const char HARNESS_DONE_TEXT[];
extern const char HARNESS_FAILURE_TEXT[];
extern const char HARNESS_BAD_HEADER_TEXT[];

// A stand-in for kestrune.exe: filler bytes around the stub's unfilled,
// scrambled record, so the package tool finds and fills it.
Bytes harness_stub(size_t before = 2048, size_t after = 512);

// Offset of the (scrambled) record in a stub or package; SIZE_MAX if none.
size_t harness_find_record(const Bytes &image);

struct InstallOutcome {
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

// Installs image as the own file, with scrambled_record (CONFIG_SIZE bytes)
// as the record in the stub's data: a fresh simulated world and process, then
// WinMain. disk_space limits the bytes the install may write (-1: no limit).
// The world is left as the run left it, for further inspection.
InstallOutcome harness_install(const Bytes &image, const uint8_t *scrambled_record, int64_t disk_space = -1);

// Same, taking the record from image at record_offset.
InstallOutcome harness_install(const Bytes &image, size_t record_offset);

// Test data: text-like runs mixed with noise, reproducible from seed.
Bytes harness_sample(size_t size, uint32_t seed);

// Reads / writes a whole host file; throws std::runtime_error on failure.
Bytes harness_read_host_file(const std::string &path);
void harness_write_host_file(const std::string &path, const Bytes &bytes);
