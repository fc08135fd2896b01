// A fuzz target's own promise about the code under test. When one does not
// hold, the target says which and aborts, so libFuzzer keeps the input as a
// finding (scripts/fuzz.sh prints the line).
#pragma once
#include <stdio.h>
#include <stdlib.h>

inline void fuzz_check(bool condition, const char *what) {
  if (condition) return;
  fprintf(stderr, "fuzz_check: %s\n", what);
  abort();
}
