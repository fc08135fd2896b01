// Whether bytes are a whole Kestrune stub: a 32-bit Windows GUI program
// (PE32, i386) whose sections lie inside the file, holding exactly one
// install record in its image. The payload of an installer starts where the
// image ends.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "package/io.h"

// The largest image taken for a stub (a stub is some KiB; a branded one
// carries icons too).
enum : uint64_t { MAX_STUB_IMAGE = 16u << 20 };

struct StubImage {
  uint64_t image_end = 0;     // where the executable image ends
  size_t record_offset = 0;   // where its record starts
  size_t signature_hits = 0;  // whole records in the image (by their scrambled signature)
};

// Reads the image at the start of source (the whole file for a stub, the
// part before the payload for an installer) into *image_bytes and checks it.
// PACKAGE_DAMAGED with "not a Kestrune stub: ..." when it is not one.
PackageResult read_stub_image(ByteSource &source, std::vector<uint8_t> *image_bytes, StubImage *image);
