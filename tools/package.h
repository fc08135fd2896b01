// Building and reading installer packages, without the command line.
//
// A package is the stub (a Windows executable holding one scrambled install
// record) with the record filled in and the payload appended, then sealed:
//
//   [ stub bytes ... record (640 bytes, XOR CONFIG_KEY) ... ][ payload ]
//                                                             ^ payload_offset
//
// The record's layout is format/record.h, the payload's order format/payload.h,
// the seal format/seal.h; docs/package-format.md describes the whole file.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "tools/memory_streams.h"

// ---- building ------------------------------------------------------------------

struct PackageRequest {
  std::vector<uint8_t> stub;
  std::vector<uint8_t> main_file;
  std::vector<uint8_t> second_file;
  bool has_extra = false;
  std::vector<uint8_t> extra_file;
  std::string main_name, second_name, extra_name;
  int main_parts = 1;  // compressed only: 1, 2 or 3 streams for the main file
  bool best = false;   // compressed only: the stronger, slower parse
  // Sizes of those parts; empty: as equal as possible (split_main_file).
  std::vector<size_t> main_part_sizes;
  bool stored = false;
  bool silent = false;
  std::string confirm_text, done_text, failure_text, bad_header_text, dialog_text;
};

enum BuildStatus {
  BUILD_OK = 0,
  BUILD_FAILED = 1,   // the codec failed (never expected)
  BUILD_REFUSED = 2,  // the request cannot be represented; see the message
};

// Appends the container stream of data[0 .. size) to *out, with the stronger
// parse when best is set; false when the codec fails. The tool encodes in
// memory (encode_stream); a program whose codec works on other files (the
// installer's tests, over the simulated Win32 files) passes its own.
typedef bool (*StreamEncoder)(const uint8_t *data, size_t size, std::vector<uint8_t> *out, bool best);

// Builds the package for request into *package (replaced). Same request, same
// bytes. On BUILD_REFUSED *error says why in one line and *package is empty.
BuildStatus build_package(const PackageRequest &request, std::vector<uint8_t> *package, std::string *error,
                          StreamEncoder encode = encode_stream);

// Sizes of the main file's parts when split into parts streams: as equal as
// possible, the first parts taking the remainder.
std::vector<size_t> split_main_file(size_t size, int parts);
