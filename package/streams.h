// Container streams in a source: decode and check the one at an offset and
// say in words what is wrong with it, walk a series of them, read a
// stream's declared size. Offsets and sizes read from the data are never
// trusted; nothing outside the source is read.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "package/codec.h"
#include "package/io.h"

struct StreamCheck {
  bool ok = false;               // decoded cleanly: every block sound, exactly declared_size produced
  bool size_block_ok = false;    // the 10-byte size block is intact
  uint32_t declared_size = 0;    // from the size block (when size_block_ok)
  uint64_t consumed_length = 0;  // the stream's length in the source (when ok)
  uint64_t produced = 0;         // bytes handed to the output
  uint64_t problem_offset = 0;   // where the fault lies (when !ok)
  std::string problem;           // what is wrong, e.g. "checksum mismatch in the block at offset 30"
  bool read_failed = false;      // the source failed: its error() says why
  bool write_failed = false;     // the output failed: its error() says why
  bool cancelled = false;
};

// The uncompressed size the stream at source[offset] declares, or 0 when its
// size block is not intact.
uint32_t declared_stream_size(ByteSource &source, uint64_t offset);

// Decodes the stream at source[offset] into output (nullptr: only count)
// and, when it fails, finds and words the first fault.
StreamCheck check_stream_at(StreamCodec &codec, ByteSource &source, uint64_t offset, ByteSink *output,
                            Progress *progress);

struct StreamListing {
  struct Entry {
    uint64_t offset;
    uint32_t size;
    uint64_t consumed_length;
  };
  std::vector<Entry> streams;  // consecutive streams from the start offset
  uint64_t end_offset = 0;     // the first byte after the last stream
  StreamCheck stopped_by;      // why the walk stopped (ok: the end of the source)
};

// The consecutive streams from offset on, up to the end of the source or the
// first bytes that are not a stream.
StreamListing list_streams(StreamCodec &codec, ByteSource &source, uint64_t offset);
