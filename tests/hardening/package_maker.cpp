#include "tests/hardening/package_maker.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// One scratch folder per test process, removed when the process ends.
struct ScratchDir {
  fs::path path;
  ScratchDir() : path(fs::temp_directory_path() / ("kestrune-hardening-" + std::to_string(getpid()))) {
    fs::create_directories(path);
  }
  ~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

const fs::path &work_dir() {
  static const ScratchDir dir;
  return dir.path;
}

std::string shell_quoted(const std::string &text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string lower(std::string text) {
  for (char &c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

int run(const std::string &command, std::string *output) {
  std::string log = (work_dir() / "pack.log").string();
  int status = system((command + " >" + shell_quoted(log) + " 2>&1").c_str());
  if (output) {
    Bytes text = harness_read_host_file(log);
    output->assign(text.begin(), text.end());
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::map<std::string, Bytes> PackageFiles::expected_files() const {
  std::map<std::string, Bytes> files;
  files[lower(main_name)] = main;
  files[lower(second_name)] = second;
  if (!extra.empty()) files[lower(extra_name)] = extra;
  return files;
}

BuiltPackage make_package(const PackageFiles &files, const std::vector<std::string> &options) {
  const fs::path dir = work_dir();
  harness_write_host_file((dir / "stub.exe").string(), harness_stub());
  harness_write_host_file((dir / "main.bin").string(), files.main);
  harness_write_host_file((dir / "second.bin").string(), files.second);
  std::string command = std::string(KESTRUNE_PACK_PATH) + " build --stub " + shell_quoted((dir / "stub.exe").string()) +
                        " --main " + shell_quoted((dir / "main.bin").string()) + " --main-name " +
                        shell_quoted(files.main_name) + " --second " + shell_quoted((dir / "second.bin").string()) +
                        " --second-name " + shell_quoted(files.second_name) + " --done " +
                        shell_quoted(HARNESS_DONE_TEXT) + " --failure " + shell_quoted(HARNESS_FAILURE_TEXT) +
                        " --bad-header " + shell_quoted(HARNESS_BAD_HEADER_TEXT);
  if (!files.extra.empty()) {
    harness_write_host_file((dir / "extra.bin").string(), files.extra);
    command += " --extra " + shell_quoted((dir / "extra.bin").string()) + " --extra-name " + shell_quoted(files.extra_name);
  }
  for (const std::string &option : options) command += " " + shell_quoted(option);
  fs::path out = dir / "package.exe";
  fs::remove(out);
  command += " -o " + shell_quoted(out.string());
  std::string output;
  if (run(command, &output) != 0) throw std::runtime_error("kestrune-pack build failed: " + output);

  BuiltPackage package;
  package.image = harness_read_host_file(out.string());
  package.record_offset = harness_find_record(package.image);
  if (package.record_offset == SIZE_MAX) throw std::runtime_error("no record in the built package");
  return package;
}

int run_pack_on(const std::vector<std::string> &args, const Bytes &image, std::string *output) {
  fs::path file = work_dir() / "inspected.exe";
  harness_write_host_file(file.string(), image);
  std::string command = KESTRUNE_PACK_PATH;
  for (const std::string &arg : args) command += " " + shell_quoted(arg);
  return run(command + " " + shell_quoted(file.string()), output);
}

Bytes plain_record_of(const BuiltPackage &package) {
  Bytes plain(package.image.begin() + static_cast<std::ptrdiff_t>(package.record_offset),
              package.image.begin() + static_cast<std::ptrdiff_t>(package.record_offset + CONFIG_SIZE));
  for (uint8_t &b : plain) b ^= CONFIG_KEY;
  return plain;
}

void store_plain_record(BuiltPackage *package, const Bytes &plain) {
  for (size_t i = 0; i < CONFIG_SIZE; ++i)
    package->image[package->record_offset + i] = static_cast<uint8_t>(plain[i] ^ CONFIG_KEY);
}

uint32_t record_word(const Bytes &plain, int offset) {
  return static_cast<uint32_t>(plain[offset]) | static_cast<uint32_t>(plain[offset + 1]) << 8 |
         static_cast<uint32_t>(plain[offset + 2]) << 16 | static_cast<uint32_t>(plain[offset + 3]) << 24;
}

void set_record_word(Bytes *plain, int offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*plain)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
