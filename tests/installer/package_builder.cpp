#include "tests/installer/package_builder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <gtest/gtest.h>

#include "codec/stream.h"
#include "installer/test_hooks.h"
#include "platform/win32.h"
#include "win32sim/sim.h"

void Package::set_word(int offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Package::word(int offset) const {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(record[offset + i]) << (8 * i);
  return value;
}

void Package::set_text(int offset, const std::string &text) {
  if (text.size() > TEXT_SLOT_SIZE) throw std::invalid_argument("text longer than its slot");
  memset(record + offset, 0, TEXT_SLOT_SIZE);
  memcpy(record + offset, text.data(), text.size());
}

Bytes sample_bytes(size_t size, uint32_t seed) {
  static const char words[] = "the quick screen saver jumps over the lazy desktop ";
  Bytes out(size);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    out[i] = (state >> 28) < 3 ? static_cast<uint8_t>(state >> 16)
                               : static_cast<uint8_t>(words[(i + seed) % (sizeof(words) - 1)]);
  }
  return out;
}

Bytes compress(const Bytes &data) {
  sim_make_dir("C:\\BUILD");
  sim_write_file("C:\\BUILD\\PLAIN", data);
  HANDLE in = CreateFileA("C:\\BUILD\\PLAIN", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE out = CreateFileA("C:\\BUILD\\PACKED", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  int ok = compress_stream(in, out, static_cast<int32_t>(data.size()));
  CloseHandle(in);
  CloseHandle(out);
  if (!ok) throw std::runtime_error("compress_stream failed");
  return sim_read_file("C:\\BUILD\\PACKED");
}

namespace {

Package named_package() {
  Package p;
  p.set_text(OFFSET_MAIN_FILE_NAME, "SAVER.SCR");
  p.set_text(OFFSET_SECOND_FILE_NAME, "SAVER.DAT");
  p.set_text(OFFSET_EXTRA_FILE_NAME, "EXTRA.TXT");
  p.set_text(OFFSET_FAILURE_TEXT, "Install failed.");
  return p;
}

void append_scrambled(Bytes &out, const Bytes &data, uint8_t key) {
  for (uint8_t b : data) out.push_back(b ^ key);
}

void append(Bytes &out, const Bytes &data) { out.insert(out.end(), data.begin(), data.end()); }

}  // namespace

Package stored_package(const Bytes &main, const Bytes &second, const Bytes *extra) {
  Package p = named_package();
  if (extra) {
    p.set_word(OFFSET_EXTRA_SIZE, static_cast<uint32_t>(extra->size()));
    append_scrambled(p.payload, *extra, KEY_EXTRA);
  }
  p.set_word(OFFSET_MAIN_SIZE, static_cast<uint32_t>(main.size()));
  p.set_word(OFFSET_SECOND_SIZE, static_cast<uint32_t>(second.size()));
  append_scrambled(p.payload, main, KEY_MAIN);
  append_scrambled(p.payload, second, KEY_SECOND);
  return p;
}

Package compressed_package(const std::vector<Bytes> &main_parts, const Bytes &second,
                           const Bytes *extra) {
  Package p = named_package();
  p.set_word(OFFSET_FLAGS, FLAG_COMPRESSED);
  if (extra) {
    p.set_word(OFFSET_EXTRA_SIZE, static_cast<uint32_t>(extra->size()));
    append(p.payload, compress(*extra));
  }
  const int part_offsets[] = {OFFSET_MAIN_SIZE, OFFSET_MAIN_PART2_SIZE, OFFSET_MAIN_PART3_SIZE};
  for (size_t i = 0; i < main_parts.size() && i < 3; ++i) {
    if (i > 0 && main_parts[i].empty()) continue;
    p.set_word(part_offsets[i], static_cast<uint32_t>(main_parts[i].size()));
    append(p.payload, compress(main_parts[i]));
  }
  p.set_word(OFFSET_SECOND_SIZE, static_cast<uint32_t>(second.size()));
  append(p.payload, compress(second));
  return p;
}

void load_package(Package &package) {
  package.set_word(OFFSET_PAYLOAD_OFFSET, IMAGE_SIZE);
  memcpy(package.record + OFFSET_RECORD_SIGNATURE, RECORD_SIGNATURE, RECORD_SIGNATURE_SIZE);
  if (package.fix_header_check)
    package.set_word(OFFSET_HEADER_CHECK,
                     package.word(OFFSET_PAYLOAD_OFFSET) ^ package.word(OFFSET_MAIN_SIZE) ^
                         package.word(OFFSET_SECOND_SIZE) ^ package.word(OFFSET_RESERVED_16));
  Bytes own(IMAGE_SIZE + package.payload.size(), 0x90);
  std::copy(package.payload.begin(), package.payload.end(), own.begin() + IMAGE_SIZE);
  sim_write_file(OWN_FILE, own);

  uint8_t scrambled[CONFIG_SIZE];
  for (int i = 0; i < CONFIG_SIZE; ++i) scrambled[i] = package.record[i] ^ CONFIG_KEY;
  sim_clear_records();
  installer_reset_for_tests(scrambled);
}

int run_installer(Package &package) {
  load_package(package);
  const int exit_code = WinMain(nullptr, nullptr, const_cast<LPSTR>(""), 1);
  EXPECT_EQ(exit_code, 0) << "the exit code is 0 in every case";
  return exit_code;
}

std::string in_windows(const std::string &name) { return "C:\\WINDOWS\\" + name; }
