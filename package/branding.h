// The author's icon and version information in the stub: the one call the
// package builder makes before it fills the record, and the reader inspect
// and verify use on a finished installer.
//
// The stub's resource section (its last section) is laid out anew: icon group
// 1020 (language 1033), which the progress dialog (RT_DIALOG 1010) shows, and
// the RT_ICON images it names are replaced by the author's; every RT_VERSION
// resource gives way to one VS_VERSIONINFO (id 1, language 1033). All other
// resources, the dialog among them, keep their bytes, and the sections before
// the resources (the record's .data among them) do not move. docs/resources.md
// describes the rewrite.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "package/icon.h"
#include "package/version_info.h"

enum : uint16_t {
  STUB_DIALOG_ID = 1010,      // IDD_PROGRESS
  STUB_ICON_GROUP_ID = 1020,  // IDI_PROGRESS
  VERSION_RESOURCE_ID = 1,
};

struct BrandingRequest {
  bool has_icon = false;
  std::vector<uint8_t> icon;  // the bytes of an .ico, .exe, .scr or .dll (icon.h)
  bool has_version = false;
  VersionFields version;  // in the record's code page (version_info.h)
};

struct Branding {
  bool ok = false;
  std::string problem;             // one line: "icon file: ...", "version information: ...", "stub: ..."
  std::vector<uint8_t> stub;       // the branded stub (when ok)
  std::vector<std::string> notes;  // for the caller to print: images left out
};

// The stub with the request's icon and version information. With neither, the
// stub itself, byte for byte. The new images take the lowest RT_ICON ids that
// no image left in the stub uses (1, 2, ... in the stub as built). The same
// stub and request give the same bytes on every platform. Refused, with the
// reason: an icon file or version field its reader refuses (icon.h,
// version_info.h), a stub the rewrite cannot take (pe_resources.h) or without
// icon group 1020, and new resources holding the install record's signature
// (the tool could no longer tell which record is the stub's).
Branding brand_stub(const std::vector<uint8_t> &stub, const BrandingRequest &request);

struct BrandingReport {
  bool ok = false;  // the tree is well-formed and inside its section, and what follows holds
  std::string problem;
  bool has_icon_group = false;
  std::vector<IconGroupEntry> icon_images;  // group 1020's (language 1033), each present with its size
  bool has_version = false;
  VersionRead version;  // the RT_VERSION resource's (id 1, language 1033 first)
};

// What an installer's image (its first payload_offset bytes, or the whole
// file) carries: the icon group 1020 and the version information.
BrandingReport read_branding(const uint8_t *image, size_t size);
