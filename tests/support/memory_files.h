// In-memory provider of the codec's file seam (codec/stream_io.h) for the
// tests, the benchmark and the fuzz targets. A file is a byte vector with a
// position; reads can come back in short pieces, writes can be capped to
// simulate a full disk, every call can be logged, and the UI heartbeat calls
// are counted.
//
// Nothing here allocates once a file's vectors have room: a program that
// times the codec turns off the call logs, reserves the output's capacity and
// reuses its files (clear + rewind) between runs.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "codec/common/stream_io.h"

struct MemoryFile {
  std::vector<uint8_t> data;
  size_t position = 0;
  // Bytes the file may still take before writes come back short
  // (-1 = unlimited).
  int64_t write_limit = -1;
  // Largest count a single read returns (-1 = as many as asked).
  int32_t read_chunk = -1;
  // Whether each read and write appends the count it was asked for to
  // read_sizes / write_sizes.
  bool log_calls = true;
  std::vector<int32_t> read_sizes;
  std::vector<int32_t> write_sizes;

  MemoryFile() = default;
  explicit MemoryFile(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}
  StreamFile handle() { return this; }
};

// The heartbeat calls of the whole program. progress records each count
// passed to report_progress, but only after reset_heartbeat: a program that
// never calls it (the benchmark, the fuzz targets) only counts pumps, so long
// runs neither allocate nor grow.
struct HeartbeatLog {
  int64_t pumps = 0;
  std::vector<int32_t> progress;
};
extern HeartbeatLog heartbeat;

// Clears the counters and starts recording progress.
void reset_heartbeat();

// ---- Convenience wrappers over the codec entry points ----------------------

// compress_stream over the whole of input; the result flag goes to *ok.
std::vector<uint8_t> encode_bytes(const std::vector<uint8_t> &input, int *ok = nullptr);

// The same through compress_stream_best.
std::vector<uint8_t> encode_bytes_best(const std::vector<uint8_t> &input, int *ok = nullptr);

// decompress_stream of the stream at `offset` of packed.
struct DecodeResult {
  int ok = 0;
  std::vector<uint8_t> output;
  int32_t consumed_length = 0;
};
DecodeResult decode_bytes(const std::vector<uint8_t> &packed, size_t offset = 0);

std::vector<uint8_t> bytes_of(const std::string &text);
