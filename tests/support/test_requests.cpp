#include <string.h>

#include <stdexcept>

#include "format/seal.h"
#include "tests/support/package_builder.h"

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
  memset(r.seal, 0, sizeof r.seal);
  set_record(r);
}

void TestPackage::reseal() {
  if (!seal_image(image.data(), image.size(), record_offset)) throw std::runtime_error("cannot seal the package");
}

// ---- Requests -------------------------------------------------------------------

PackageRequest TestRequest::request() const {
  sources_[0] = MemorySource(stub);
  sources_[1] = MemorySource(main_file);
  sources_[2] = MemorySource(second_file);
  sources_[3] = MemorySource(extra_file);
  PackageRequest r;
  r.stub = &sources_[0];
  r.main = {&sources_[1], main_name};
  r.second = {&sources_[2], second_name};
  if (has_extra) r.extra = {&sources_[3], extra_name};
  r.main_parts = main_parts;
  r.main_part_sizes = main_part_sizes;
  r.stored = stored;
  r.best = best;
  r.silent = silent;
  r.confirm = confirm_text;
  r.done = done_text;
  r.failure = failure_text;
  r.bad_header = bad_header_text;
  r.dialog = dialog_text;
  r.codepage = codepage;
  r.text_form = TEXT_CODEPAGE_BYTES;  // the tests write the record's bytes
  return r;
}

TestPackage package_from(const TestRequest &request, StreamCodec &codec) {
  TestPackage package;
  VectorSink sink(&package.image);
  BuildOutcome outcome = build_package(request.request(), codec, sink, nullptr);
  if (!outcome.result.ok()) throw std::runtime_error("build_package: " + outcome.result.message);
  package.record_offset = find_record(package.image.data(), package.image.size(), nullptr);
  return package;
}

TestRequest test_request(const Bytes &main, const Bytes &second, const Bytes *extra) {
  TestRequest request;
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

std::map<std::string, Bytes> expected_files(const TestRequest &request) {
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
