// The benchmark's provider of the codec's I/O seam: files in memory, with the
// output buffer allocated once up front so timing measures the codec only.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "codec/stream_io.h"

struct BenchFile {
  const uint8_t *data = nullptr;  // input: bytes to read
  size_t size = 0;
  size_t position = 0;
  uint8_t *output = nullptr;  // output: preallocated buffer
  size_t capacity = 0;
  size_t written = 0;
  bool overflowed = false;  // a write did not fit
};

inline StreamFile bench_stream(BenchFile *file) { return file; }
