// Writes a fake stub (see fake_stub.h) for the command-line tests:
//   make_fake_stub OUT [RECORDS]   RECORDS = 0, 1 (default) or 2 records
#include <stdio.h>
#include <stdlib.h>

#include "tests/tools/fake_stub.h"

int main(int argc, char **argv) {
  if (argc < 2) return 2;
  int records = argc > 2 ? atoi(argv[2]) : 1;
  std::vector<uint8_t> stub = make_fake_stub();
  if (records == 0) stub.assign(4096, 0x55);
  if (records == 2) {
    std::vector<uint8_t> second = make_fake_stub(16, 16);
    stub.insert(stub.end(), second.begin(), second.end());
  }
  FILE *out = fopen(argv[1], "wb");
  if (!out || fwrite(stub.data(), 1, stub.size(), out) != stub.size() || fclose(out) != 0) return 1;
  return 0;
}
