// Writes seed inputs for the fuzz targets, made by the project's own codec and
// package builder, into DIR/<target>/:
//   make_fuzz_seeds DIR
// fuzz_decode: streams alone and back to back; fuzz_package: whole packages,
// stored and compressed, sealed, with bytes appended; fuzz_install: packages
// whose stub is the bare record, so the input's first 640 bytes are the
// record (unscrambled, as the install target expects) and the payload follows.
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "format/seal.h"
#include "package/codec.h"
#include "tests/support/package_builder.h"

namespace fs = std::filesystem;

namespace {

void save(const fs::path &dir, const std::string &name, const Bytes &bytes) {
  fs::create_directories(dir);
  FILE *f = fopen((dir / name).c_str(), "wb");
  if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
    fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", (dir / name).c_str());
    exit(1);
  }
}

Bytes build(const Bytes &stub, bool stored, int parts, bool extra, size_t main_size, bool dialog) {
  TestRequest request;
  request.stub = stub;
  request.main_file = sample_bytes(main_size, 1);
  request.second_file = sample_bytes(700, 2);
  request.main_name = "SAVER.SCR";
  request.second_name = "SAVER.DAT";
  request.has_extra = extra;
  if (extra) {
    request.extra_file = sample_bytes(300, 3);
    request.extra_name = "README.TXT";
  }
  request.main_parts = parts;
  request.stored = stored;
  request.done_text = "Done.";
  request.failure_text = "Failed.";
  request.bad_header_text = "Damaged.";
  if (dialog) request.dialog_text = "Installing...";
  return build_library_package(request).image;
}

Bytes compressed(const Bytes &data) {
  Bytes stream;
  MemorySource source(data);
  VectorSink sink(&stream);
  package_codec().encode(source, 0, static_cast<uint32_t>(data.size()), sink, false, nullptr);
  return stream;
}

// The install target's input: the plain record first, then the payload,
// which payload_offset 640 points at; sealed again when the package was.
Bytes record_first(const Bytes &package, bool sealed) {
  const size_t at = find_record(package.data(), package.size(), nullptr);
  InstallConfig record;
  read_stored_record(package.data() + at, &record);
  const size_t payload = static_cast<size_t>(record.payload_offset);
  record.payload_offset = CONFIG_SIZE;
  record.header_check = expected_header_check(&record);
  Bytes image(CONFIG_SIZE);
  write_stored_record(&record, image.data());
  image.insert(image.end(), package.begin() + static_cast<std::ptrdiff_t>(payload), package.end());
  if (sealed)
    seal_image(image.data(), image.size(), 0);
  else
    memset(image.data() + SEAL_AREA_OFFSET, CONFIG_KEY, SEAL_AREA_SIZE);  // scrambled zeros
  xor_buffer(image.data(), CONFIG_SIZE, CONFIG_KEY);
  return image;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
    return 2;
  }
  const fs::path root = argv[1];

  // ---- streams ----
  const fs::path decode = root / "fuzz_decode";
  const size_t sizes[] = {0, 1, 5, 100, 4000, 25000};
  Bytes chain;
  for (size_t size : sizes) {
    Bytes stream = compressed(sample_bytes(size, static_cast<uint32_t>(size)));
    save(decode, "stream_" + std::to_string(size), stream);
    chain.insert(chain.end(), stream.begin(), stream.end());
  }
  save(decode, "chain", chain);

  // ---- packages ----
  Bytes stub = stand_in_stub(1024, 256);
  const fs::path package = root / "fuzz_package";
  save(package, "stored", build(stub, true, 1, true, 3000, false));
  save(package, "compressed", build(stub, false, 3, true, 30000, true));
  Bytes signed_like = build(stub, false, 1, false, 2000, false);
  signed_like.insert(signed_like.end(), 300, 0x30);
  save(package, "appended", signed_like);

  // ---- installs: the record first, unscrambled ----
  const fs::path install = root / "fuzz_install";
  struct Shape {
    const char *name;
    bool stored;
    int parts;
    bool extra;
    bool dialog;
    bool sealed;
  } shapes[] = {{"stored_sealed", true, 1, true, false, true},
                {"stored_plain", true, 1, false, false, false},
                {"compressed_sealed", false, 3, true, true, true},
                {"compressed_plain", false, 2, false, false, false}};
  for (const Shape &shape : shapes) {
    Bytes image =
        record_first(build(stand_in_stub(), shape.stored, shape.parts, shape.extra, 6000, shape.dialog), shape.sealed);
    save(install, shape.name, image);
    if (shape.sealed) {
      image[56] |= 1;  // the install target seals its mutations afresh
      save(install, std::string(shape.name) + "_resealed", image);
    }
  }
  printf("make_fuzz_seeds: seeds in %s\n", root.c_str());
  return 0;
}
