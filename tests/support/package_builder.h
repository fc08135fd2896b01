// Installer packages for the tests that install them on the Win32 simulation:
// built by the package tool's own builder (tools/package.h) around a stand-in
// stub, encoding through the simulated files, and then changed as a test
// needs: record fields, payload bytes, the seal.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "format/record.h"
#include "tests/support/sample_data.h"
#include "tools/package.h"

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

// The request behind every test package: main and second (and extra) under
// MAIN_NAME, SECOND_NAME (and EXTRA_NAME), with FAILURE_TEXT and
// BAD_HEADER_TEXT, compressed, no done text.
PackageRequest test_request(const Bytes &main, const Bytes &second, const Bytes *extra = nullptr);

// build_package of the request, encoding through the simulated files of the
// current world. Throws std::runtime_error when the tool refuses it.
TestPackage build_test_package(const PackageRequest &request);

// What a correct install of request leaves in the Windows directory
// (lower-case names).
std::map<std::string, Bytes> expected_files(const PackageRequest &request);

// Unsealed packages of test_request's shape, so tests may change record and
// payload freely. compressed_package takes the main file's parts as they are;
// an empty part 2 or 3 is left out (part 3 may follow part 1 directly).
TestPackage stored_package(const Bytes &main, const Bytes &second, const Bytes *extra = nullptr);
TestPackage compressed_package(const std::vector<Bytes> &main_parts, const Bytes &second, const Bytes *extra = nullptr);

// One container stream of data, encoded through the simulated files (with the
// stronger parse when best is set).
Bytes compress(const Bytes &data, bool best = false);
