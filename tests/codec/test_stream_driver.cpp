// Stream driver: where streams end, what follows them, damaged and missing
// input, failing output, and the UI heartbeat.
#include <gtest/gtest.h>

#include "codec/common/stream.h"
#include "tests/codec/item_codec.h"
#include "tests/codec/test_data.h"
#include "tests/support/memory_files.h"

namespace {

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto &p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Decodes every stream of `file` one after another, as the installer does.
void expect_streams(const std::vector<uint8_t> &file, const std::vector<std::vector<uint8_t>> &contents,
                    const std::vector<size_t> &lengths) {
  size_t at = 0;
  for (size_t i = 0; i < contents.size(); i++) {
    SCOPED_TRACE("stream " + std::to_string(i));
    DecodeResult r = decode_bytes(file, at);
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(r.output, contents[i]);
    EXPECT_EQ(static_cast<size_t>(r.consumed_length), lengths[i]);
    at += static_cast<size_t>(r.consumed_length);
  }
}

}  // namespace

// Streams of every end shape, each decoded at the end of its file, followed
// by another stream and followed by trailing bytes.
TEST(StreamEnds, EveryShapeDecodesExactlyWhateverFollows) {
  std::vector<std::vector<uint8_t>> inputs;
  for (int n = 0; n <= 9; n++) inputs.push_back(std::vector<uint8_t>(n, static_cast<uint8_t>('a' + n)));
  inputs.push_back(bytes_of("Q"));
  inputs.push_back(bytes_of("xyz"));
  inputs.push_back(bytes_of("0123456"));
  // Final items producing more than 8 bytes.
  inputs.push_back(concat({bytes_of("header"), std::vector<uint8_t>(70, 'z')}));
  inputs.push_back(make_data(DataKind::text, 30000, 3));
  // Last block holding only 1..3 data bytes after a full block, and a bit
  // stream filling its last block exactly.
  inputs.push_back(input_with_bit_length(BLOCK_DATA_SIZE + 1));
  inputs.push_back(input_with_bit_length(BLOCK_DATA_SIZE + 3));
  inputs.push_back(input_with_bit_length(BLOCK_DATA_SIZE));
  inputs.push_back(input_with_bit_length(2 * BLOCK_DATA_SIZE + 2));

  std::vector<uint8_t> next = encode_bytes(bytes_of("the next stream"));
  const std::vector<uint8_t> trailing = {0x52, 0x43, 0x00, 0x11, 0xFF, 0xFF, 0xFF, 0xFF, 9, 9, 9};
  for (size_t i = 0; i < inputs.size(); i++) {
    SCOPED_TRACE("input " + std::to_string(i) + ", " + std::to_string(inputs[i].size()) + " bytes");
    std::vector<uint8_t> packed = encode_bytes(inputs[i]);
    expect_streams(packed, {inputs[i]}, {packed.size()});
    expect_streams(concat({packed, next}), {inputs[i], bytes_of("the next stream")}, {packed.size(), next.size()});
    expect_streams(concat({packed, trailing}), {inputs[i]}, {packed.size()});
  }
}

TEST(StreamEnds, FullLastBlockIsNotFollowedByAnEmptyOne) {
  std::vector<uint8_t> input = input_with_bit_length(BLOCK_DATA_SIZE);
  std::vector<uint8_t> packed = encode_bytes(input);
  EXPECT_EQ(packed.size(), static_cast<size_t>(SIZE_BLOCK_LENGTH + BLOCK_SIZE));
}

// Streams closed by a header-only block: the block belongs to the stream,
// and the next stream is found behind it.
TEST(StreamEnds, HeaderOnlyTailBlockIsCounted) {
  std::vector<uint8_t> input = input_with_bit_length(BLOCK_DATA_SIZE);
  std::vector<uint8_t> bits = unwrap_container(encode_bytes(input));
  std::vector<uint8_t> full = wrap_container(static_cast<uint32_t>(input.size()), bits, true);
  std::vector<uint8_t> empty = wrap_container(0, {}, true);
  ASSERT_EQ(empty.size(), 16u);
  std::vector<uint8_t> next = encode_bytes(bytes_of("after"));
  expect_streams(concat({empty, full, next}), {{}, input, bytes_of("after")}, {16, full.size(), next.size()});
  expect_streams(full, {input}, {full.size()});
}

TEST(StreamEnds, BackToBackStreamsOfVariedKinds) {
  std::vector<std::vector<uint8_t>> contents;
  std::vector<size_t> lengths;
  std::vector<uint8_t> file;
  const DataKind kinds[] = {DataKind::mixed, DataKind::runs, DataKind::executable, DataKind::random};
  for (int i = 0; i < 8; i++) {
    contents.push_back(make_data(kinds[i % 4], 1000 + 13000 * i, 100 + i));
    std::vector<uint8_t> packed = encode_bytes(contents.back());
    lengths.push_back(packed.size());
    file.insert(file.end(), packed.begin(), packed.end());
  }
  expect_streams(file, contents, lengths);
}

// ---- Damaged and missing input ----------------------------------------------

TEST(StreamInput, FileAtItsEndFailsAndWritesNothing) {
  DecodeResult r = decode_bytes({});
  EXPECT_EQ(r.ok, 0);
  EXPECT_TRUE(r.output.empty());
  std::vector<uint8_t> packed = encode_bytes(bytes_of("abc"));
  r = decode_bytes(packed, packed.size());
  EXPECT_EQ(r.ok, 0);
  EXPECT_TRUE(r.output.empty());
}

TEST(StreamInput, RejectedSizeBlockDecodesNothing) {
  std::vector<uint8_t> packed = encode_bytes(bytes_of("some bytes to pack"));
  struct Damage {
    size_t at;
    uint8_t value;
    const char *what;
  } damages[] = {
      {0, 0x53, "signature"}, {2, 0x00, "checksum"},  {4, 0x0B, "length 11"},
      {4, 0x06, "length 6"},  {7, 0x01, "size byte"},
  };
  for (const Damage &d : damages) {
    std::vector<uint8_t> bad = packed;
    bad[d.at] = d.value;
    DecodeResult r = decode_bytes(bad);
    EXPECT_EQ(r.ok, 0) << d.what;
    EXPECT_TRUE(r.output.empty()) << d.what;
  }
}

TEST(StreamInput, SizeAbove0x7FFFFFFFIsRejected) {
  std::vector<uint8_t> bits = write_items({Item::literal('A')});
  DecodeResult r = decode_bytes(wrap_container(0x80000000u, bits));
  EXPECT_EQ(r.ok, 0);
  EXPECT_TRUE(r.output.empty());
  r = decode_bytes(wrap_container(0xFFFFFFFFu, bits));
  EXPECT_EQ(r.ok, 0);
}

TEST(StreamInput, DamagedSecondDataBlockStopsTheDecode) {
  std::vector<uint8_t> input = make_data(DataKind::random, 30000, 21);
  std::vector<uint8_t> packed = encode_bytes(input);
  ASSERT_GT(packed.size(), static_cast<size_t>(SIZE_BLOCK_LENGTH + 2 * BLOCK_SIZE));
  packed[SIZE_BLOCK_LENGTH + BLOCK_SIZE + 100] ^= 0x40;
  MemoryFile in(packed), out;
  EXPECT_EQ(decompress_stream(in.handle(), out.handle()), 0);
  // What the first block held reaches the output, nothing wrong after it.
  EXPECT_GT(out.data.size(), 5000u);
  EXPECT_LT(out.data.size(), input.size());
  EXPECT_TRUE(std::equal(out.data.begin(), out.data.end(), input.begin()));
  EXPECT_EQ(in.read_sizes.size(), 3u);  // size block, block 1, damaged block 2
}

TEST(StreamInput, CutFilesFail) {
  std::vector<uint8_t> input = make_data(DataKind::mixed, 40000, 5);
  std::vector<uint8_t> packed = encode_bytes(input);
  const size_t cuts[] = {3, 9, 10, 11, 16, 10250, 10251, packed.size() - 1};
  for (size_t cut : cuts) {
    std::vector<uint8_t> part(packed.begin(), packed.begin() + cut);
    EXPECT_EQ(decode_bytes(part).ok, 0) << "cut at " << cut;
  }
  // A whole last block missing: the bits never arrive, nothing stands in.
  std::vector<uint8_t> full = unwrap_container(packed);
  ASSERT_GT(full.size(), static_cast<size_t>(BLOCK_DATA_SIZE));
  std::vector<uint8_t> first_block(packed.begin(), packed.begin() + SIZE_BLOCK_LENGTH + BLOCK_SIZE);
  EXPECT_EQ(decode_bytes(first_block).ok, 0);
}

// A short block ends its stream; a stream that needs more bits there fails
// rather than reading on into whatever follows.
TEST(StreamInput, BitsMissingAfterShortBlockFail) {
  std::vector<uint8_t> bits = write_items({Item::literal('a'), Item::literal('b'), Item::literal('c')});
  bits.pop_back();
  std::vector<uint8_t> packed = wrap_container(3, bits);
  std::vector<uint8_t> next = encode_bytes(bytes_of("zzzzzzzz"));
  EXPECT_EQ(decode_bytes(packed).ok, 0);
  EXPECT_EQ(decode_bytes(concat({packed, next})).ok, 0);
}

// A final match that runs past the declared size is corrupt data, not a
// stream to cut short; one that ends exactly at the size is sound.
TEST(StreamInput, FinalMatchPastTheDeclaredSizeFails) {
  std::vector<uint8_t> bits = write_items({Item::literal('A'), Item::match(60, 0)});
  DecodeResult r = decode_bytes(wrap_container(60, bits));
  EXPECT_EQ(r.ok, 0);
  EXPECT_EQ(r.output, bytes_of("A"));
  r = decode_bytes(wrap_container(61, bits));
  EXPECT_EQ(r.ok, 1);
  EXPECT_EQ(r.output, std::vector<uint8_t>(61, 'A'));
}

// ---- Output failures --------------------------------------------------------

TEST(StreamOutput, FullDiskFailsTheDecode) {
  std::vector<uint8_t> input = make_data(DataKind::text, 25000, 8);
  std::vector<uint8_t> packed = encode_bytes(input);
  const int64_t limits[] = {0, 100, 10240, 20480, 24999};
  for (int64_t limit : limits) {
    MemoryFile in(packed), out;
    out.write_limit = limit;
    EXPECT_EQ(decompress_stream(in.handle(), out.handle()), 0) << "limit " << limit;
  }
  MemoryFile in(packed), out;
  out.write_limit = 25000;
  EXPECT_EQ(decompress_stream(in.handle(), out.handle()), 1);
  EXPECT_EQ(out.data, input);
}

TEST(StreamOutput, FullDiskFailsTheEncode) {
  std::vector<uint8_t> input = make_data(DataKind::random, 25000, 9);
  std::vector<uint8_t> packed = encode_bytes(input);
  for (int64_t limit : {static_cast<int64_t>(0), static_cast<int64_t>(9), static_cast<int64_t>(10),
                        static_cast<int64_t>(15000), static_cast<int64_t>(packed.size() - 1)}) {
    MemoryFile in(input), out;
    out.write_limit = limit;
    EXPECT_EQ(compress_stream(in.handle(), out.handle(), static_cast<int32_t>(input.size())), 0) << limit;
  }
}

TEST(StreamOutput, EncodeOfMissingInputFails) {
  std::vector<uint8_t> input = make_data(DataKind::text, 3000, 10);
  for (int32_t count : {3001, 20000}) {
    MemoryFile in(input), out;
    EXPECT_EQ(compress_stream(in.handle(), out.handle(), count), 0) << count;
  }
  MemoryFile in(input), out;
  EXPECT_EQ(compress_stream(in.handle(), out.handle(), -1), 0);
}

TEST(StreamOutput, EncodeTakesOnlyTheCount) {
  std::vector<uint8_t> input = make_data(DataKind::text, 30000, 11);
  MemoryFile in(input), out;
  EXPECT_EQ(compress_stream(in.handle(), out.handle(), 5), 1);
  EXPECT_EQ(in.read_sizes, std::vector<int32_t>{BLOCK_SIZE});
  DecodeResult r = decode_bytes(out.data);
  EXPECT_EQ(r.ok, 1);
  EXPECT_EQ(r.output, std::vector<uint8_t>(input.begin(), input.begin() + 5));
}

// Input that arrives in short reads codes to the same stream, and the count
// still ends it inside a read.
TEST(StreamOutput, EncodeOfInputInShortReads) {
  std::vector<uint8_t> input = make_data(DataKind::text, 30000, 13);
  for (int32_t chunk : {1, 777})
    for (int32_t count : {30000, 5000}) {
      MemoryFile in(input), out;
      in.read_chunk = chunk;
      EXPECT_EQ(compress_stream(in.handle(), out.handle(), count), 1) << chunk << " " << count;
      EXPECT_EQ(out.data, encode_bytes(std::vector<uint8_t>(input.begin(), input.begin() + count)))
          << chunk << " " << count;
    }
}

// ---- Heartbeat --------------------------------------------------------------

TEST(StreamHeartbeat, DecodeWritesAndReportsWholeBuffers) {
  std::vector<uint8_t> packed = encode_bytes(std::vector<uint8_t>(49152, 'x'));
  MemoryFile in(packed), out;
  reset_heartbeat();
  ASSERT_EQ(decompress_stream(in.handle(), out.handle()), 1);
  std::vector<int32_t> pieces = {10240, 10240, 10240, 10240, 8192};
  EXPECT_EQ(out.write_sizes, pieces);
  EXPECT_EQ(heartbeat.progress, pieces);
}

// One pump per 1024 counted byte operations, per read and per write; a byte
// request that reads and a byte that fills the buffer are not counted.
TEST(StreamHeartbeat, PumpCadence) {
  std::vector<uint8_t> input = make_data(DataKind::mixed, 70000, 12);
  std::vector<uint8_t> packed = encode_bytes(input);
  size_t bits = unwrap_container(packed).size();
  MemoryFile in(packed), out;
  reset_heartbeat();
  ASSERT_EQ(decompress_stream(in.handle(), out.handle()), 1);
  size_t reads = in.read_sizes.size(), writes = out.write_sizes.size();
  size_t counted = (4 + bits - reads) + (input.size() - (writes - 1));
  EXPECT_EQ(static_cast<size_t>(heartbeat.pumps), counted / 1024 + reads + writes);

  MemoryFile in2(input), out2;
  reset_heartbeat();
  ASSERT_EQ(compress_stream(in2.handle(), out2.handle(), static_cast<int32_t>(input.size())), 1);
  reads = in2.read_sizes.size();  // the last one finds the end of the input
  writes = out2.write_sizes.size();
  counted = (input.size() - (reads - 1)) + (bits + 4 - (writes - 1));
  EXPECT_EQ(static_cast<size_t>(heartbeat.pumps), counted / 1024 + reads + writes);
}
