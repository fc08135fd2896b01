// Writes a stand-in stub (tests/support/sample_data.h) for the command-line
// tests:
//   make_fake_stub OUT [RECORDS]   RECORDS = 0, 1 (default) or 2 records
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tests/support/sample_data.h"

int main(int argc, char **argv) {
  if (argc < 2) return 2;
  int records = argc > 2 ? atoi(argv[2]) : 1;
  Bytes stub = stand_in_stub(2048, 700);
  if (records == 0) memset(stub.data() + 2048, 0x55, 640);
  if (records == 2) memcpy(stub.data() + 1024, stub.data() + 2048, 640);
  FILE *out = fopen(argv[1], "wb");
  if (!out || fwrite(stub.data(), 1, stub.size(), out) != stub.size() || fclose(out) != 0) return 1;
  return 0;
}
