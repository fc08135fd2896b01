#include "package/io.h"

#include <string.h>

bool ByteSource::read_exactly(uint64_t offset, void *buffer, size_t count) {
  uint8_t *to = static_cast<uint8_t *>(buffer);
  while (count > 0) {
    const int64_t got = read_at(offset, to, count);
    if (got <= 0) return false;
    to += got;
    offset += static_cast<uint64_t>(got);
    count -= static_cast<size_t>(got);
  }
  return true;
}

int64_t MemorySource::read_at(uint64_t offset, void *buffer, size_t count) {
  if (offset >= size_) return 0;
  const size_t n = count < size_ - offset ? count : static_cast<size_t>(size_ - offset);
  if (n) memcpy(buffer, data_ + offset, n);
  return static_cast<int64_t>(n);
}

int64_t SliceSource::read_at(uint64_t offset, void *buffer, size_t count) {
  if (offset >= size_) return 0;
  if (count > size_ - offset) count = static_cast<size_t>(size_ - offset);
  return inner_->read_at(offset_ + offset, buffer, count);
}

bool VectorSink::write(const void *data, size_t count) {
  const uint8_t *bytes = static_cast<const uint8_t *>(data);
  bytes_->insert(bytes_->end(), bytes, bytes + count);
  return true;
}

bool VectorSink::write_at(uint64_t offset, const void *data, size_t count) {
  if (offset > bytes_->size() || count > bytes_->size() - offset) return false;
  if (count) memcpy(bytes_->data() + offset, data, count);
  return true;
}
