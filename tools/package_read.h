// Reading finished packages, however damaged: the record, the seal and every
// payload item, decoded and checked without running anything.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "codec/common/stream_io.h"
#include "format/payload.h"
#include "format/record.h"
#include "format/seal.h"

const char *payload_role_name(PayloadRole role);

// One payload item as a package holds it, and what checking it found.
struct ItemCheck {
  PayloadItem item = {};  // the record's item: role, size word, key, name
  bool compressed = false;
  bool reached = false;          // the walk got to this item (earlier items intact)
  bool ok = false;               // reached, intact and of its configured size
  uint64_t offset = 0;           // where it starts in the package
  uint64_t consumed_length = 0;  // bytes it occupies in the package (when ok,
                                 // or a stored item that fits)
  uint32_t decoded_size = 0;     // compressed: the stream's declared size
  std::string problem;           // why not ok
};

struct PackageReport {
  uint64_t file_size = 0;
  size_t signature_hits = 0;
  bool record_found = false;
  uint64_t record_offset = 0;
  InstallConfig record = {};  // unscrambled, when record_found
  bool header_check_holds = false;
  bool compressed = false;
  bool silent = false;
  uint64_t payload_offset = 0;
  std::vector<ItemCheck> items;  // in payload order
  uint64_t payload_end = 0;      // first byte after the last item (when all ok)
  SealCheck seal = {};           // the whole-installer check (when record_found)
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
bool write_payload_item(const uint8_t *image, size_t size, const ItemCheck &item, StreamFile output);
