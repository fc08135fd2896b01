// An installer's report in words, the same for every face: the summary
// after a build, the verdict of verify, the listing of inspect. Lines
// without their line ends; the faces print or show them.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "format/seal.h"
#include "package/read.h"

// "integrity: sealed, record CRC-32 1a2b3c4d ok, payload 123456 bytes
// CRC-32 ... ok".
std::string describe_seal(const SealCheck &check);

// 1234567 -> "1,234,567".
std::string with_commas(uint64_t value);

// text as printable ASCII in double quotes: the code page's characters as
// UTF-8 when codepage is one the library knows (0: \xNN escapes instead).
std::string quoted(const std::string &text, int codepage);
// UTF-8 text in double quotes, escaped the same way.
std::string quoted_utf8(const std::string &text);

// What went into a freshly built installer, read back from its bytes: the
// installer, each file with its installed name and its size before and after
// packing, the payload as a whole. Columns stay aligned for long names.
std::vector<std::string> build_summary(const std::string &output, const PackageReport &report, int codepage);

// verify's line for a sound installer: "FILE: ok (compressed, 5 streams, ...)".
std::string verify_verdict(const std::string &file, const PackageReport &report);

// inspect's listing: the record field by field, the payload items, the seal
// and the problems.
std::vector<std::string> inspect_listing(const std::string &file, const PackageReport &report, int codepage);
