// Packages made by the real package tool (kestrune-pack build, run as a
// program) around a stand-in stub, for installs on the simulation.
#pragma once
#include <stddef.h>

#include <map>
#include <string>
#include <vector>

#include "installer/install_config.h"
#include "tests/hardening/install_harness.h"

struct PackageFiles {
  Bytes main;
  Bytes second;
  Bytes extra;  // empty: no extra file
  std::string main_name = "SAVER.SCR";
  std::string second_name = "SAVER.DAT";
  std::string extra_name = "README.TXT";

  // What a correct install leaves in the Windows directory (lower-case names).
  std::map<std::string, Bytes> expected_files() const;
};

struct BuiltPackage {
  Bytes image;
  size_t record_offset = 0;
};

// Runs kestrune-pack build with the harness's texts (done, failure, bad
// header) and the extra options (e.g. {"--stored"} or {"--main-parts", "3"}).
// Throws std::runtime_error when the tool fails.
BuiltPackage make_package(const PackageFiles &files, const std::vector<std::string> &options = {});

// Runs kestrune-pack with args on image (written to a temporary file, given
// as the last argument); returns the exit status and fills *output with what
// it printed (stdout and stderr).
int run_pack_on(const std::vector<std::string> &args, const Bytes &image, std::string *output);

// The package's record, unscrambled.
Bytes plain_record_of(const BuiltPackage &package);
// Scrambles plain (CONFIG_SIZE bytes) back into the package's record.
void store_plain_record(BuiltPackage *package, const Bytes &plain);
uint32_t record_word(const Bytes &plain, int offset);
void set_record_word(Bytes *plain, int offset, uint32_t value);
