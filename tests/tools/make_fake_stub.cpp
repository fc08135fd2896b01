// Writes a stand-in stub (tests/support/sample_data.h) for the command-line
// tests:
//   make_fake_stub OUT [RECORDS]   RECORDS = 0, 1 (default) or 2 records
#include <stdio.h>
#include <stdlib.h>

#include "tests/support/sample_data.h"

int main(int argc, char **argv) {
  if (argc < 2) return 2;
  int records = argc > 2 ? atoi(argv[2]) : 1;
  Bytes stub = stand_in_stub(2048, 700);
  if (records == 0) stub.assign(4096, 0x55);
  if (records == 2) {
    Bytes second = stand_in_stub(16, 16);
    stub.insert(stub.end(), second.begin(), second.end());
  }
  FILE *out = fopen(argv[1], "wb");
  if (!out || fwrite(stub.data(), 1, stub.size(), out) != stub.size() || fclose(out) != 0) return 1;
  return 0;
}
