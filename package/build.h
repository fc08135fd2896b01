// Building an installer: the stub's bytes with its record filled in, the
// payload appended and the whole sealed (docs/package-format.md). Every
// input is a source and the installer goes to a sink, so any size streams
// through in bounded memory.
#pragma once
#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "package/codec.h"
#include "package/codepage.h"
#include "package/io.h"
#include "package/names.h"

// One payload file: where its bytes come from and the name it installs under.
struct PackageFile {
  ByteSource *source = nullptr;  // nullptr: not given (only the extra file may be left out)
  std::string name;              // in text_form, like the texts
};

struct PackageRequest {
  ByteSource *stub = nullptr;  // the unfilled stub
  PackageFile main, second, extra;
  int main_parts = 1;  // compressed only: 1, 2 or 3 streams for the main file
  // The main file's part sizes; empty: as equal as possible (split_main_file).
  std::vector<uint64_t> main_part_sizes;
  bool stored = false;  // store the files (scrambled) instead of compressing
  bool best = false;    // compressed only: the stronger, slower parse
  bool silent = false;
  // Texts. Not given: the default (the done text from the main file's name,
  // DEFAULT_FAILURE_TEXT, DEFAULT_BAD_HEADER_TEXT, none for the others);
  // given as "": none.
  std::optional<std::string> confirm, done, failure, bad_header, dialog;
  // The code page the record's names and texts are written in, and how the
  // request holds them.
  int codepage = DEFAULT_CODEPAGE;
  TextForm text_form = TEXT_UTF8;
  // What Explorer shows of the installer: an icon (an .ico file, or a
  // program whose first icon group is taken) and version information,
  // written only when one of these is given (FileDescription "<Name> Setup"
  // unless described, OriginalFilename the output's name). Texts as the
  // others; the product version is N[.N[.N[.N]]].
  ByteSource *icon = nullptr;
  std::optional<std::string> product_name, product_version, company, copyright, description;
  std::string output_name;  // the installer's file name, for OriginalFilename
};

struct BuildOutcome {
  PackageResult result;
  std::vector<std::string> notes;  // things the author may want to know ("--dialog is kept but unused")
  uint64_t size = 0;               // bytes written
};

// Builds the installer for request into out. Nothing is written when the
// request is refused (PACKAGE_REFUSED: the message names the option); a
// failure after writing began (a source or the sink failing, the package
// growing past 2 GiB) leaves out with partial bytes the caller discards.
// The same request gives the same bytes.
BuildOutcome build_package(const PackageRequest &request, StreamCodec &codec, ByteSink &out, Progress *progress);

// The bytes of the request's payload files together, for a progress total.
uint64_t request_payload_size(const PackageRequest &request);

// Why a package cannot split its main file into that many streams, or
// nullptr when it can (1, 2 or 3).
const char *main_parts_problem(int parts);

// Sizes of the main file's parts when split into parts streams: as equal as
// possible, the first parts taking the remainder.
std::vector<uint64_t> split_main_file(uint64_t size, int parts);

// The largest file a package can carry, and the largest package: sizes and
// offsets are signed 32-bit in the stub. An icon is taken from a file of at
// most MAX_ICON_SOURCE bytes, read whole.
enum : uint64_t { MAX_PACKAGE_SIZE = 0x7FFFFFFF, MAX_ICON_SOURCE = 16u << 20 };
