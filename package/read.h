// Reading finished installers, however damaged: the stub's image, the
// record, the seal and every payload item, decoded and checked without
// running anything; and writing an intact item's content out.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "format/payload.h"
#include "format/record.h"
#include "format/seal.h"
#include "package/branding.h"
#include "package/codec.h"
#include "package/io.h"
#include "package/stub_image.h"

const char *payload_role_name(PayloadRole role);

// One payload item as an installer holds it, and what checking it found.
struct ItemCheck {
  PayloadItem item = {};  // the record's item: role, size word, key, name
  bool compressed = false;
  bool reached = false;          // the walk got to this item (earlier items intact)
  bool ok = false;               // reached, intact and of its configured size
  uint64_t offset = 0;           // where it starts in the installer
  uint64_t consumed_length = 0;  // bytes it occupies (when ok, or a stored item that fits)
  uint32_t decoded_size = 0;     // compressed: the stream's declared size
  std::string problem;           // why not ok
};

enum PackageKind {
  KIND_NOT_A_STUB,     // no Kestrune stub at the start: nothing else is read
  KIND_UNFILLED_STUB,  // the bare stub, which holds no screen saver
  KIND_PACKAGE,        // a stub with its record filled in: an installer
};

struct PackageReport {
  PackageKind kind = KIND_NOT_A_STUB;
  uint64_t file_size = 0;
  int codepage = 0;           // the one names were compared in
  StubImage image;            // where the stub's image ends and its record lies
  InstallConfig record = {};  // unscrambled (unless KIND_NOT_A_STUB)
  bool header_check_holds = false;
  bool compressed = false;
  bool silent = false;
  uint64_t payload_offset = 0;
  std::vector<ItemCheck> items;  // in payload order
  uint64_t payload_end = 0;      // first byte after the last item (when all ok)
  SealCheck seal = {};           // the whole-installer check
  bool names_distinct = true;    // no two files the record creates are one file
  BrandingReport branding;       // the icon and version information the image carries
  // One line for each reason the installer would not install exactly as its
  // record says: the header check, texts without their zero, names, the
  // seal, where the payload starts, the resources, items.
  std::vector<std::string> problems;

  bool sound() const { return kind == KIND_PACKAGE && problems.empty(); }
};

// Reads the installer in source: the stub's image (read_stub_image), its
// record and seal, and every payload item, decoding every stream. Never fails
// and never reads outside the source, however damaged it is; a failing read
// is one more problem. Names are compared in codepage. Progress counts the
// payload's bytes.
PackageReport read_package(ByteSource &source, StreamCodec &codec, int codepage, Progress *progress);

// Writes one intact item's content (unscrambled or decoded) to out.
PackageResult write_payload_item(StreamCodec &codec, ByteSource &source, const ItemCheck &item, ByteSink &out,
                                 Progress *progress);

// One file an installer holds, as extract writes it: its name (in the
// record's code page), the items it is made of, and its size.
struct ExtractFile {
  std::string name;
  std::vector<size_t> items;  // indices into report.items
  uint64_t size = 0;
};

// The files to extract. PACKAGE_DAMAGED, with the first problem, when the
// report has any that makes the installer untrustworthy (a broken seal, a
// failed header check, names that are one file or not plain, items that do
// not check out), unless force: then every file whose items are intact and
// whose name is plain and distinct, with a warning for each problem.
PackageResult plan_extraction(const PackageReport &report, bool force, std::vector<ExtractFile> *files,
                              std::vector<std::string> *warnings);
