// Building and reading installer packages, without the command line.
//
// A package is the stub (a Windows executable holding one scrambled install
// record) with the record filled in and the payload appended:
//
//   [ stub bytes ... record (640 bytes, XOR CONFIG_KEY) ... ][ payload ]
//                                                             ^ payload_offset
//
// Stored payload: the extra, main and second file back to back, each XOR-ed
// with its own key. Compressed payload: one container stream per file or file
// part, back to back: extra (if any), main part 1, main part 2 and 3 (if any),
// second. See docs/package-format.md.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>
#include "codec/stream_io.h"
#include "tools/integrity.h"

// ---- building ------------------------------------------------------------------

struct PackageRequest {
  std::vector<uint8_t> stub;
  std::vector<uint8_t> main_file;
  std::vector<uint8_t> second_file;
  bool has_extra = false;
  std::vector<uint8_t> extra_file;
  std::string main_name, second_name, extra_name;
  int main_parts = 1;  // compressed only: 1, 2 or 3 streams for the main file
  bool stored = false;
  bool silent = false;
  std::string confirm_text, done_text, failure_text, bad_header_text, dialog_text;
};

enum BuildStatus {
  BUILD_OK = 0,
  BUILD_FAILED = 1,   // the codec failed (never expected)
  BUILD_REFUSED = 2,  // the request cannot be represented; see the message
};

// Builds the package for request into *package (replaced). Same request, same
// bytes. On BUILD_REFUSED *error says why in one line and *package is empty.
BuildStatus build_package(const PackageRequest &request, std::vector<uint8_t> *package, std::string *error);

// Sizes of the main file's parts when split into parts streams: as equal as
// possible, the first parts taking the remainder.
std::vector<size_t> split_main_file(size_t size, int parts);

// ---- reading -------------------------------------------------------------------

enum PayloadRole { ROLE_EXTRA, ROLE_MAIN, ROLE_MAIN_PART2, ROLE_MAIN_PART3, ROLE_SECOND };
const char *payload_role_name(PayloadRole role);

struct PayloadItem {
  PayloadRole role;
  bool compressed = false;
  bool reached = false;          // the walk got to this item (earlier items intact)
  bool ok = false;               // reached, intact and of its configured size
  uint64_t offset = 0;           // where it starts in the package
  uint32_t configured_size = 0;  // the record's size word for it
  uint64_t stored_length = 0;    // bytes it occupies in the package (when ok,
                                 // or a stored item that fits)
  uint32_t decoded_size = 0;     // compressed: the stream's declared size
  std::string problem;           // why not ok
};

struct PackageReport {
  uint64_t file_size = 0;
  size_t signature_hits = 0;
  bool record_found = false;
  uint64_t record_offset = 0;
  uint8_t plain_record[640] = {};  // unscrambled, when record_found
  bool header_check_holds = false;
  bool compressed = false;
  bool silent = false;
  uint64_t payload_offset = 0;
  std::vector<PayloadItem> items;  // in payload order
  uint64_t payload_end = 0;        // first byte after the last item (when all ok)
  kestrune::SealReport seal;       // the whole-installer check (when record_found)
  // One line for each reason the package would not install exactly as its
  // record says: header check, unterminated texts, unsafe names, bad items.
  std::vector<std::string> problems;
};

// Reads the package in image[0 .. size): finds the record (the first
// signature hit: a package's stub comes before its payload), unscrambles it,
// and walks and checks the whole payload, decoding every stream. Never fails
// and never reads outside the image, however damaged it is.
PackageReport read_package(const uint8_t *image, size_t size);

// Writes one intact item's content (unscrambled or decoded) to output, a
// ToolFile*. Returns false if the item does not check out or a write fails.
bool write_payload_item(const uint8_t *image, size_t size, const PayloadItem &item, StreamFile output);

// The record field the item's file name is taken from.
int name_offset_for(PayloadRole role);
