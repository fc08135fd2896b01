// Installer packages for the tests: built by the package library's own
// builder (package/build.h) around a stand-in stub, and then changed as a
// test needs: record fields, payload bytes, the seal. The installer's tests
// encode through the simulated Win32 files; the package library's through
// its own codec provider.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "format/record.h"
#include "package/build.h"
#include "tests/support/sample_data.h"

// Texts and names every test package carries unless a test sets its own.
extern const char FAILURE_TEXT[];     // "Install failed."
extern const char BAD_HEADER_TEXT[];  // "This installer is damaged."
extern const char MAIN_NAME[];        // "SAVER.SCR"
extern const char SECOND_NAME[];      // "SAVER.DAT"
extern const char EXTRA_NAME[];       // "EXTRA.TXT"

// An installer image: the stand-in stub with its scrambled record at
// record_offset, then the payload.
struct TestPackage {
  Bytes image;
  size_t record_offset = 0;

  InstallConfig record() const;  // unscrambled
  // Writes record back into the image, scrambled. The seal is left as it is.
  void set_record(const InstallConfig &record);

  uint32_t word(int32_t offset) const;
  void set_word(int32_t offset, uint32_t value);
  // Writes text into a slot; 64 non-zero bytes make a slot without its
  // terminating zero.
  void set_text(int32_t offset, const std::string &text);
  // Makes header_check hold again after a covered word changed.
  void fix_header_check();

  size_t payload_offset() const;
  // Clears the seal area: a package from a tool that knows nothing of the seal.
  void unseal();
  // Seals the image afresh, as the tool would have sealed it.
  void reseal();
};

// A package request that owns its files' bytes and states every text (""
// for none), as the tests write them. request() views it as the library's
// request; the view lives as long as the TestRequest and sees later changes.
struct TestRequest {
  Bytes stub = stand_in_stub();
  Bytes main_file, second_file, extra_file;
  bool has_extra = false;
  std::string main_name, second_name, extra_name;
  int main_parts = 1;
  std::vector<uint64_t> main_part_sizes;
  bool stored = false, best = false, silent = false;
  std::string confirm_text, done_text, failure_text, bad_header_text, dialog_text;
  int codepage = DEFAULT_CODEPAGE;

  PackageRequest request() const;

 private:
  mutable MemorySource sources_[4] = {{nullptr, 0}, {nullptr, 0}, {nullptr, 0}, {nullptr, 0}};
};

// The request behind every test package: main and second (and extra) under
// MAIN_NAME, SECOND_NAME (and EXTRA_NAME), with FAILURE_TEXT and
// BAD_HEADER_TEXT, compressed, no done text.
TestRequest test_request(const Bytes &main, const Bytes &second, const Bytes *extra = nullptr);

// build_package of the request with the codec given.
TestPackage package_from(const TestRequest &request, StreamCodec &codec);
// build_package of the request, encoding through the simulated files of the
// current world. Throws std::runtime_error when the library refuses it.
TestPackage build_test_package(const TestRequest &request);
// The same with the library's own codec (for programs that link
// kestrune_package_codec instead of the installer).
TestPackage build_library_package(const TestRequest &request);

// What a correct install of request leaves in the Windows directory
// (lower-case names).
std::map<std::string, Bytes> expected_files(const TestRequest &request);

// Unsealed packages of test_request's shape, so tests may change record and
// payload freely. compressed_package takes the main file's parts as they are;
// an empty part 2 or 3 is left out (part 3 may follow part 1 directly).
TestPackage stored_package(const Bytes &main, const Bytes &second, const Bytes *extra = nullptr);
TestPackage compressed_package(const std::vector<Bytes> &main_parts, const Bytes &second, const Bytes *extra = nullptr);

// One container stream of data, encoded through the simulated files (with the
// stronger parse when best is set).
Bytes compress(const Bytes &data, bool best = false);
