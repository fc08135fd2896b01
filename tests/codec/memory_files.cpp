#include "tests/codec/memory_files.h"

#include <string.h>

#include "codec/stream.h"

HeartbeatLog heartbeat;

void reset_heartbeat() { heartbeat = HeartbeatLog(); }

int32_t stream_file_read(StreamFile file, void *buffer, int32_t count) {
  MemoryFile *f = static_cast<MemoryFile *>(file);
  f->read_sizes.push_back(count);
  size_t available = f->position < f->data.size() ? f->data.size() - f->position : 0;
  size_t n = count < 0 ? 0 : (size_t)count;
  if (f->read_chunk >= 0 && n > (size_t)f->read_chunk) n = (size_t)f->read_chunk;
  if (n > available) n = available;
  if (n > 0) memcpy(buffer, f->data.data() + f->position, n);
  f->position += n;
  return (int32_t)n;
}

int32_t stream_file_write(StreamFile file, const void *buffer, int32_t count) {
  MemoryFile *f = static_cast<MemoryFile *>(file);
  f->write_sizes.push_back(count);
  size_t n = count < 0 ? 0 : (size_t)count;
  if (f->write_limit >= 0 && (int64_t)n > f->write_limit) n = (size_t)f->write_limit;
  if (f->write_limit >= 0) f->write_limit -= (int64_t)n;
  if (f->position + n > f->data.size()) f->data.resize(f->position + n);
  if (n > 0) memcpy(f->data.data() + f->position, buffer, n);
  f->position += n;
  return (int32_t)n;
}

void pump_messages(void) { heartbeat.pumps++; }

void report_progress(int32_t count) { heartbeat.progress.push_back(count); }

std::vector<uint8_t> compress_bytes(const std::vector<uint8_t> &input, int *ok) {
  MemoryFile in(input), out;
  int result = compress_stream(in.handle(), out.handle(), (int32_t)input.size());
  if (ok) *ok = result;
  return out.data;
}

DecodeResult decompress_bytes(const std::vector<uint8_t> &packed, size_t offset) {
  MemoryFile in(packed), out;
  in.position = offset;
  DecodeResult result;
  result.ok = decompress_stream(in.handle(), out.handle());
  result.output = out.data;
  result.consumed_length = stream_state.consumed_length;
  return result;
}

std::vector<uint8_t> bytes_of(const std::string &text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}
