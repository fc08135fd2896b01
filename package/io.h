// What the package library reads from and writes to: byte sources and sinks
// that a face provides (files on disk, a browser's Blob, memory), and the
// progress of long work. The library never opens a file itself, so every
// call streams: nothing is held whole in memory.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// Bytes to read, from any offset.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The number of bytes the source holds.
  virtual uint64_t size() const = 0;
  // Reads up to count bytes at offset into buffer: the number read (less
  // only at the end), or -1 when reading failed (error() says why).
  virtual int64_t read_at(uint64_t offset, void *buffer, size_t count) = 0;
  virtual std::string error() const { return "read failed"; }

  // Reads exactly count bytes at offset; false when they are not all there
  // or reading failed.
  bool read_exactly(uint64_t offset, void *buffer, size_t count);
};

// Bytes to write: appended in order, with earlier ones patched in place.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Appends count bytes; false when writing failed (error() says why).
  virtual bool write(const void *data, size_t count) = 0;
  // Overwrites count bytes at offset, all of which were written before.
  virtual bool write_at(uint64_t offset, const void *data, size_t count) = 0;
  virtual std::string error() const { return "write failed"; }
};

// Progress of one long step (building, checking, extracting). advance is
// called now and then with the bytes done of the step's total; returning
// false cancels the work, which then ends with PACKAGE_CANCELLED.
class Progress {
 public:
  virtual ~Progress() = default;
  virtual bool advance(uint64_t done, uint64_t total) = 0;
};

// One part of a longer piece of work: the part's bytes done count from base
// within the whole's total.
class ProgressSpan : public Progress {
 public:
  ProgressSpan(Progress *whole, uint64_t base, uint64_t total) : whole_(whole), base_(base), total_(total) {}
  bool advance(uint64_t done, uint64_t) override { return !whole_ || whole_->advance(base_ + done, total_); }

 private:
  Progress *whole_;
  uint64_t base_, total_;
};

// ---- in memory ------------------------------------------------------------------

// A view of bytes someone else owns.
class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t *data, size_t size) : data_(data), size_(size) {}
  explicit MemorySource(const std::vector<uint8_t> &bytes) : MemorySource(bytes.data(), bytes.size()) {}
  uint64_t size() const override { return size_; }
  int64_t read_at(uint64_t offset, void *buffer, size_t count) override;

 private:
  const uint8_t *data_;
  size_t size_;
};

// Bytes [offset, offset + size) of another source, as a source of their own.
class SliceSource : public ByteSource {
 public:
  SliceSource(ByteSource *inner, uint64_t offset, uint64_t size) : inner_(inner), offset_(offset), size_(size) {}
  uint64_t size() const override { return size_; }
  int64_t read_at(uint64_t offset, void *buffer, size_t count) override;
  std::string error() const override { return inner_->error(); }

 private:
  ByteSource *inner_;
  uint64_t offset_, size_;
};

// Collects what is written in a byte vector.
class VectorSink : public ByteSink {
 public:
  explicit VectorSink(std::vector<uint8_t> *bytes) : bytes_(bytes) {}
  bool write(const void *data, size_t count) override;
  bool write_at(uint64_t offset, const void *data, size_t count) override;

 private:
  std::vector<uint8_t> *bytes_;
};

// Counts what is written and keeps nothing.
class CountingSink : public ByteSink {
 public:
  bool write(const void *, size_t count) override {
    written += count;
    return true;
  }
  bool write_at(uint64_t, const void *, size_t) override { return true; }
  uint64_t written = 0;
};

// ---- results ----------------------------------------------------------------------

// What became of a call: its status and, unless PACKAGE_OK, one line that
// names what is wrong and where ("--main-name \"a:b\": the name contains a
// colon", "second at offset 20650: checksum mismatch in the block at offset
// 30890").
enum PackageStatus {
  PACKAGE_OK = 0,
  PACKAGE_DAMAGED = 1,    // damaged or unusable data, a failed read or write
  PACKAGE_REFUSED = 2,    // a request that cannot be packaged
  PACKAGE_CANCELLED = 3,  // Progress::advance said stop
};

struct PackageResult {
  PackageStatus status = PACKAGE_OK;
  std::string message;

  bool ok() const { return status == PACKAGE_OK; }
  static PackageResult fail(PackageStatus status, const std::string &message) { return {status, message}; }
};

// Chunk size for copying between a source and a sink.
enum { COPY_CHUNK = 65536 };
