// In-memory provider of the codec's file seam (codec/stream_io.h) for tests
// and fuzzers: files are byte vectors with a position, writes can be capped
// to simulate a full disk, and the UI heartbeat calls are counted.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "codec/stream_io.h"

struct MemoryFile {
  std::vector<uint8_t> data;
  size_t position = 0;
  // Bytes the file may still take before writes come back short
  // (-1 = unlimited).
  int64_t write_limit = -1;
  // Largest count a single read returns (-1 = as many as asked).
  int32_t read_chunk = -1;
  std::vector<int32_t> read_sizes;   // count asked by each read
  std::vector<int32_t> write_sizes;  // count asked by each write

  MemoryFile() = default;
  explicit MemoryFile(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}
  StreamFile handle() { return this; }
};

struct HeartbeatLog {
  int64_t pumps = 0;
  std::vector<int32_t> progress;  // counts passed to report_progress
};

// Counters of the current test; reset_heartbeat clears them.
extern HeartbeatLog heartbeat;
void reset_heartbeat();

// ---- Convenience wrappers over the codec entry points ----------------------

// compress_stream over the whole of input; the result flag goes to *ok.
std::vector<uint8_t> compress_bytes(const std::vector<uint8_t> &input, int *ok = nullptr);

// decompress_stream of the stream at `offset` of packed.
struct DecodeResult {
  int ok = 0;
  std::vector<uint8_t> output;
  int32_t consumed_length = 0;
};
DecodeResult decompress_bytes(const std::vector<uint8_t> &packed, size_t offset = 0);

std::vector<uint8_t> bytes_of(const std::string &text);
