// Icons and small Windows images for the package library's tests: built here
// field by field, so a test states only what it changes.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "package/pe_resources.h"
#include "tests/support/sample_data.h"

// An icon image in the bitmap format: BITMAPINFOHEADER (height doubled for
// the mask), a full palette below 16 bits per pixel, colour and mask bits
// from sample_bytes.
Bytes icon_bitmap(uint32_t side, uint16_t bits);
// The start of a PNG image of side x side: signature and IHDR chunk, which is
// all the icon reader looks at.
Bytes icon_png(uint32_t side);
// An .ico file holding the images in order, its entries taken from their
// headers.
Bytes ico_file(const std::vector<Bytes> &images);

Resource numbered_resource(uint16_t type, uint16_t name, uint16_t language, const Bytes &data);

// A PE32 i386 GUI image of headers and one resource section holding
// resources; with a section after it when resources_last is false. pe_offset
// is e_lfanew (any multiple of 4; below 0x40 the headers overlap the DOS
// header). CheckSum 0.
Bytes sample_pe(const std::vector<Resource> &resources, bool resources_last = true, uint32_t pe_offset = 0x40);

// The whole file, or empty when it cannot be read.
Bytes file_bytes(const std::string &path);
