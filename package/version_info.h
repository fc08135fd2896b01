// The installer's version information: one VS_VERSIONINFO resource (RT_VERSION
// 16, id 1, language 1033) made from the author's fields, and read back for
// inspect.
//
// Its layout: VS_VERSIONINFO with the fixed part (VS_FIXEDFILEINFO: the
// version number as both file and product version, VOS__WINDOWS32, VFT_APP),
// then StringFileInfo with one StringTable, keyed by language 0409 and the
// record's code page ("040904E4" for 1252), holding ProductName,
// ProductVersion, FileVersion, CompanyName, LegalCopyright, FileDescription
// and OriginalFilename in UTF-16, then VarFileInfo\Translation naming the same
// language and code page. Every block starts on a 32-bit boundary from the
// start of the resource; a block's wLength leaves out the padding after it;
// a string's wValueLength counts its characters with the terminating zero.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "package/codepage.h"

struct VersionFields {
  // Text in the code page (the record's); an empty field is left out.
  std::string product_name;
  std::string product_version;  // "N[.N[.N[.N]]]"; empty: version 0.0.0.0, no version strings
  std::string company;
  std::string copyright;
  std::string description;
  std::string original_file_name;
  int codepage = DEFAULT_CODEPAGE;
};

struct VersionNumber {
  bool ok = false;
  std::string problem;               // "part 2 (70000) is over 65535"
  uint16_t parts[4] = {0, 0, 0, 0};  // missing parts are 0
};

// Reads "N[.N[.N[.N]]]": one to four parts of decimal digits, each 0 to 65535.
VersionNumber parse_version_number(const std::string &text);

// "1.2.0.0"
std::string version_number_text(const uint16_t parts[4]);

struct VersionResource {
  bool ok = false;
  std::string problem;  // one line, "version information: ..."
  std::vector<uint8_t> data;
};

// The resource for these fields. Refused: a product version that does not
// read, a field holding a zero byte, a code page without a table, and a
// resource past the format's 64 KiB.
VersionResource make_version_resource(const VersionFields &fields);

struct VersionString {
  std::string key;    // "ProductName"
  std::string value;  // UTF-8
};

struct VersionRead {
  bool ok = false;
  std::string problem;
  uint16_t file_version[4] = {0, 0, 0, 0};
  uint16_t product_version[4] = {0, 0, 0, 0};
  uint32_t file_os = 0;
  uint32_t file_type = 0;
  std::string table_key;               // the first StringTable's, "040904E4"
  std::vector<VersionString> strings;  // that table's, in order
  // VarFileInfo\Translation: language | code page << 16, in order.
  std::vector<uint32_t> translations;
};

// Reads a VS_VERSIONINFO resource; every block must lie inside its parent.
VersionRead read_version_resource(const uint8_t *data, size_t size);
