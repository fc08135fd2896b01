// A build request checked and put in the record's terms, before anything is
// written: its names and texts in the record's code page, the main file's
// parts, the notes for its author, and the icon and version information
// (internal to the package library's builder).
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "package/branding.h"
#include "package/build.h"

struct RecordTexts {
  std::string names[3];  // main, second, extra
  std::string confirm, done, failure, bad_header, dialog;
};

// The checks of the options that belong together, each made here once, and
// the main file's part sizes.
PackageResult check_shape(const PackageRequest &request, std::vector<uint64_t> *parts);
// The names and texts in the record's code page, with their defaults.
PackageResult convert_names(const PackageRequest &request, RecordTexts *texts);
PackageResult convert_texts(const PackageRequest &request, RecordTexts *texts);
// What the author may want to know: options that are kept but unused.
std::vector<std::string> notes_for(const PackageRequest &request);
// The author's icon and version information; main_name is in the code page.
PackageResult branding_request(const PackageRequest &request, const std::string &main_name, BrandingRequest *brand);
