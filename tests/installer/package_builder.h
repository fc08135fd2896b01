// Builds real installer packages inside the simulated world and runs them
// through WinMain: a filled, scrambled record plus an own file made of a
// stand-in image and the payload (stored files XOR-ed with their keys, or
// container streams from the real encoder).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "installer/install_config.h"

using Bytes = std::vector<uint8_t>;

const char OWN_FILE[] = "C:\\TEMP\\SETUP.EXE";
const int32_t IMAGE_SIZE = 1536;  // stand-in for the stub's image

struct Package {
  uint8_t record[CONFIG_SIZE] = {};  // plain
  Bytes payload;
  bool fix_header_check = true;  // compute header_check when installed

  void set_word(int offset, uint32_t value);
  uint32_t word(int offset) const;
  // Writes text into a slot; exactly 64 non-zero bytes are allowed, to make
  // a slot without its terminating zero.
  void set_text(int offset, const std::string &text);
};

// Deterministic test data: a mix of text-like runs and noise.
Bytes sample_bytes(size_t size, uint32_t seed);

// One container stream of data, made by the real encoder.
Bytes compress(const Bytes &data);

// Stored payload: extra (when has_extra), main and second, names
// EXTRA.TXT, SAVER.SCR and SAVER.DAT.
Package stored_package(const Bytes &main, const Bytes &second, const Bytes *extra = nullptr);

// Compressed payload: optional extra, main from one to three parts (an empty
// part 2 or 3 is left out), second. Sizes are the decoded sizes.
Package compressed_package(const std::vector<Bytes> &main_parts, const Bytes &second,
                           const Bytes *extra = nullptr);

// Scrambles the record, writes the own file (image + payload) at OWN_FILE,
// clears the simulation's records and gives the installer a fresh process
// holding this record.
void load_package(Package &package);

// load_package + WinMain. Returns WinMain's result.
int run_installer(Package &package);

// "C:\\WINDOWS\\" + name
std::string in_windows(const std::string &name);
