// Brands a stub through the package library, for the tests that check the
// result with other readers (check_branding.py, and Windows' own calls under
// Wine):
//
//   brand_stub STUB OUT [--icon FILE] [--product-name TEXT] [--product-version N.N.N.N]
//              [--company TEXT] [--copyright TEXT] [--description TEXT]
//              [--original-name TEXT] [--codepage N]
//
// Texts are UTF-8 and reach the library in the code page (1252 unless given).
// Prints the notes and the sizes; exit 1 with the problem when refused.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "package/branding.h"
#include "tests/support/pe_samples.h"

namespace {

bool write_file(const char *path, const Bytes &bytes) {
  FILE *out = fopen(path, "wb");
  if (!out) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return fclose(out) == 0 && ok;
}

int usage() {
  fprintf(stderr, "usage: brand_stub STUB OUT [--icon FILE] [--product-name TEXT] ... [--codepage N]\n");
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3 || (argc - 3) % 2) return usage();
  BrandingRequest request;
  std::string utf8[6];
  const char *const options[6] = {"--product-name", "--product-version", "--company",
                                  "--copyright",    "--description",     "--original-name"};
  for (int i = 3; i < argc; i += 2) {
    const char *value = argv[i + 1];
    if (!strcmp(argv[i], "--icon")) {
      request.has_icon = true;
      request.icon = file_bytes(value);
      continue;
    }
    if (!strcmp(argv[i], "--codepage")) {
      request.version.codepage = atoi(value);
      continue;
    }
    int which = 0;
    while (which < 6 && strcmp(argv[i], options[which])) ++which;
    if (which == 6) return usage();
    request.has_version = true;
    utf8[which] = value;
  }
  std::string *fields[6] = {&request.version.product_name, &request.version.product_version,
                            &request.version.company,      &request.version.copyright,
                            &request.version.description,  &request.version.original_file_name};
  for (int k = 0; k < 6; ++k) {
    uint32_t bad = 0;
    if (!utf8_to_codepage(utf8[k], request.version.codepage, fields[k], &bad)) {
      fprintf(stderr, "brand_stub: %s: %s is not in code page %d\n", options[k], describe_character(bad).c_str(),
              request.version.codepage);
      return 1;
    }
  }
  const Bytes stub = file_bytes(argv[1]);
  const Branding branded = brand_stub(stub, request);
  for (const std::string &note : branded.notes) printf("note: %s\n", note.c_str());
  if (!branded.ok) {
    fprintf(stderr, "brand_stub: %s\n", branded.problem.c_str());
    return 1;
  }
  if (!write_file(argv[2], branded.stub)) {
    fprintf(stderr, "brand_stub: cannot write %s\n", argv[2]);
    return 1;
  }
  printf("%s: %zu bytes (the stub: %zu, %+ld)\n", argv[2], branded.stub.size(), stub.size(),
         static_cast<long>(branded.stub.size()) - static_cast<long>(stub.size()));
  return 0;
}
