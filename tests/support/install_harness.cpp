#include "tests/hardening/install_harness.h"

#include <string.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "installer/config.h"
#include "installer/test_hooks.h"
#include "platform/win32.h"
#include "win32sim/sim.h"

namespace fs = std::filesystem;

const char HARNESS_OWN_FILE[] = "C:\\TEMP\\SETUP.EXE";
const char HARNESS_DONE_TEXT[] = "Installed.";
const char HARNESS_FAILURE_TEXT[] = "Installation failed.";
const char HARNESS_BAD_HEADER_TEXT[] = "This installer is damaged.";

bool InstallOutcome::showed(const std::string &text) const {
  for (const std::string &t : texts)
    if (t == text) return true;
  return false;
}

Bytes harness_stub(size_t before, size_t after) {
  // The stub's record image as compiled: a fresh process holds it unchanged.
  installer_reset_for_tests(nullptr);
  const uint8_t *record = reinterpret_cast<const uint8_t *>(&install_config);
  Bytes stub;
  for (size_t i = 0; i < before; ++i) stub.push_back(static_cast<uint8_t>(i * 7 + 3));
  stub.insert(stub.end(), record, record + CONFIG_SIZE);
  for (size_t i = 0; i < after; ++i) stub.push_back(static_cast<uint8_t>(i * 13 + 5));
  return stub;
}

size_t harness_find_record(const Bytes &image) {
  uint8_t scrambled[RECORD_SIGNATURE_SIZE];
  for (int i = 0; i < RECORD_SIGNATURE_SIZE; ++i)
    scrambled[i] = static_cast<uint8_t>(RECORD_SIGNATURE[i] ^ CONFIG_KEY);
  for (size_t at = OFFSET_RECORD_SIGNATURE; at + CONFIG_SIZE - OFFSET_RECORD_SIGNATURE <= image.size(); ++at)
    if (memcmp(image.data() + at, scrambled, RECORD_SIGNATURE_SIZE) == 0)
      return at - OFFSET_RECORD_SIGNATURE;
  return SIZE_MAX;
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
  fs::path own = sim_host_path(HARNESS_OWN_FILE);
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
      outcome->windows_files[name] = harness_read_host_file(path.string());
    } else {
      outcome->outside_writes.push_back("file left outside: " + path.string());
    }
  }
}

}  // namespace

InstallOutcome harness_install(const Bytes &image, const uint8_t *scrambled_record, int64_t disk_space) {
  sim_reset();
  sim().argv0 = HARNESS_OWN_FILE;
  sim_write_file(HARNESS_OWN_FILE, image);
  sim_clear_records();
  sim().disk_space = disk_space;
  installer_reset_for_tests(scrambled_record);
  WinMain(nullptr, nullptr, const_cast<LPSTR>(""), 1);

  InstallOutcome outcome;
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

InstallOutcome harness_install(const Bytes &image, size_t record_offset) {
  if (record_offset == SIZE_MAX || record_offset + CONFIG_SIZE > image.size())
    throw std::runtime_error("harness: no record in the image");
  return harness_install(image, image.data() + record_offset);
}

Bytes harness_sample(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  static const char *const WORDS[] = {"screen ", "saver ", "kestrune ", "window ", "the ", "of ",
                                      "\r\n", "0123 ", "WinMain", "\x00\x00\x00\x00"};
  Bytes out;
  while (out.size() < size) {
    if (random() % 4 == 0) {
      size_t noise = random() % 64;
      for (size_t i = 0; i < noise; ++i) out.push_back(static_cast<uint8_t>(random()));
    } else {
      const char *word = WORDS[random() % 10];
      size_t length = word[0] == 0 ? 4 : strlen(word);
      out.insert(out.end(), word, word + length);
    }
  }
  out.resize(size);
  return out;
}

Bytes harness_read_host_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void harness_write_host_file(const std::string &path, const Bytes &bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}
