#include "tests/support/package_builder.h"

#include <string.h>

#include <stdexcept>

#include "codec/common/stream.h"
#include "format/seal.h"
#include "platform/win32.h"
#include "win32sim/sim.h"

const char FAILURE_TEXT[] = "Install failed.";
const char BAD_HEADER_TEXT[] = "This installer is damaged.";
const char MAIN_NAME[] = "SAVER.SCR";
const char SECOND_NAME[] = "SAVER.DAT";
const char EXTRA_NAME[] = "EXTRA.TXT";

// ---- TestPackage -----------------------------------------------------------------

InstallConfig TestPackage::record() const {
  InstallConfig result;
  read_stored_record(image.data() + record_offset, &result);
  return result;
}

void TestPackage::set_record(const InstallConfig &record) {
  write_stored_record(&record, image.data() + record_offset);
}

uint32_t TestPackage::word(int32_t offset) const {
  InstallConfig r = record();
  uint32_t value;
  memcpy(&value, reinterpret_cast<const uint8_t *>(&r) + offset, sizeof value);
  return value;
}

void TestPackage::set_word(int32_t offset, uint32_t value) {
  InstallConfig r = record();
  memcpy(reinterpret_cast<uint8_t *>(&r) + offset, &value, sizeof value);
  set_record(r);
}

void TestPackage::set_text(int32_t offset, const std::string &text) {
  if (text.size() > TEXT_SLOT_SIZE) throw std::invalid_argument("text longer than its slot");
  InstallConfig r = record();
  memset(record_text(&r, offset), 0, TEXT_SLOT_SIZE);
  memcpy(record_text(&r, offset), text.data(), text.size());
  set_record(r);
}

void TestPackage::fix_header_check() {
  InstallConfig r = record();
  r.header_check = expected_header_check(&r);
  set_record(r);
}

size_t TestPackage::payload_offset() const { return static_cast<size_t>(record().payload_offset); }

void TestPackage::unseal() {
  InstallConfig r = record();
  memset(r.reserved_40, 0, sizeof r.reserved_40);
  set_record(r);
}

void TestPackage::reseal() {
  if (!seal_image(image.data(), image.size(), record_offset)) throw std::runtime_error("cannot seal the package");
}

// ---- Building --------------------------------------------------------------------

namespace {

bool encode_through_simulated_files(const uint8_t *data, size_t size, std::vector<uint8_t> *out, bool best) {
  Bytes packed = compress(Bytes(data, data + size), best);
  out->insert(out->end(), packed.begin(), packed.end());
  return true;
}

}  // namespace

Bytes compress(const Bytes &data, bool best) {
  sim_make_dir("C:\\BUILD");
  sim_write_file("C:\\BUILD\\PLAIN", data);
  HANDLE in = CreateFileA("C:\\BUILD\\PLAIN", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE out = CreateFileA("C:\\BUILD\\PACKED", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  int ok = (best ? compress_stream_best : compress_stream)(in, out, static_cast<int32_t>(data.size()));
  CloseHandle(in);
  CloseHandle(out);
  if (!ok) throw std::runtime_error("compress_stream failed");
  return sim_read_file("C:\\BUILD\\PACKED");
}

PackageRequest test_request(const Bytes &main, const Bytes &second, const Bytes *extra) {
  PackageRequest request;
  request.stub = stand_in_stub();
  request.main_file = main;
  request.second_file = second;
  request.main_name = MAIN_NAME;
  request.second_name = SECOND_NAME;
  if (extra) {
    request.has_extra = true;
    request.extra_file = *extra;
    request.extra_name = EXTRA_NAME;
  }
  request.failure_text = FAILURE_TEXT;
  request.bad_header_text = BAD_HEADER_TEXT;
  return request;
}

TestPackage build_test_package(const PackageRequest &request) {
  TestPackage package;
  std::string error;
  if (build_package(request, &package.image, &error, encode_through_simulated_files) != BUILD_OK)
    throw std::runtime_error("build_package: " + error);
  package.record_offset = find_record(package.image.data(), package.image.size(), nullptr);
  return package;
}

std::map<std::string, Bytes> expected_files(const PackageRequest &request) {
  auto lower = [](std::string text) {
    for (char &c : text)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
  };
  std::map<std::string, Bytes> files;
  files[lower(request.main_name)] = request.main_file;
  files[lower(request.second_name)] = request.second_file;
  if (request.has_extra) files[lower(request.extra_name)] = request.extra_file;
  return files;
}

TestPackage stored_package(const Bytes &main, const Bytes &second, const Bytes *extra) {
  PackageRequest request = test_request(main, second, extra);
  request.stored = true;
  TestPackage package = build_test_package(request);
  package.unseal();
  return package;
}

TestPackage compressed_package(const std::vector<Bytes> &main_parts, const Bytes &second, const Bytes *extra) {
  Bytes main;
  std::vector<size_t> sizes;
  for (size_t i = 0; i < main_parts.size(); ++i) {
    if (i > 0 && main_parts[i].empty()) continue;
    main.insert(main.end(), main_parts[i].begin(), main_parts[i].end());
    sizes.push_back(main_parts[i].size());
  }
  PackageRequest request = test_request(main, second, extra);
  request.main_parts = static_cast<int>(sizes.size());
  request.main_part_sizes = sizes;
  TestPackage package = build_test_package(request);
  package.unseal();
  // Without part 2, part 3's stream follows part 1 directly: the same layout
  // with its size in the part-3 word.
  if (main_parts.size() == 3 && main_parts[1].empty() && !main_parts[2].empty()) {
    package.set_word(OFFSET_MAIN_PART3_SIZE, package.word(OFFSET_MAIN_PART2_SIZE));
    package.set_word(OFFSET_MAIN_PART2_SIZE, 0);
  }
  return package;
}
