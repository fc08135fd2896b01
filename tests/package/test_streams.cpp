// Streams in a source: round trips, walking back-to-back streams, and the
// wording of faults (file, offset, what is wrong) the faces rely on.
#include <gtest/gtest.h>

#include <random>

#include "codec/common/container.h"
#include "package/streams.h"

namespace {

std::vector<uint8_t> mixed_bytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i)
    bytes[i] = (i / 512) % 2 ? static_cast<uint8_t>(random()) : static_cast<uint8_t>("kestrel "[i % 8]);
  return bytes;
}

std::vector<uint8_t> compressed(const std::vector<uint8_t> &data) {
  std::vector<uint8_t> stream;
  MemorySource source(data);
  VectorSink sink(&stream);
  EXPECT_TRUE(package_codec().encode(source, 0, static_cast<uint32_t>(data.size()), sink, false, nullptr).ok);
  return stream;
}

StreamCheck check_at(const std::vector<uint8_t> &image, uint64_t offset, ByteSink *output) {
  MemorySource source(image);
  return check_stream_at(package_codec(), source, offset, output, nullptr);
}

// A sink whose every write fails.
class BrokenSink : public ByteSink {
 public:
  bool write(const void *, size_t) override { return false; }
  bool write_at(uint64_t, const void *, size_t) override { return false; }
};

TEST(MemoryStreams, RoundTripsAtBlockAndWindowBoundaries) {
  for (size_t size : {0u, 1u, 7u, 8u, 60u, 4097u, 10234u, 30000u, 200000u}) {
    std::vector<uint8_t> data = mixed_bytes(size, static_cast<uint32_t>(size));
    std::vector<uint8_t> stream = compressed(data);
    std::vector<uint8_t> decoded;
    VectorSink sink(&decoded);
    StreamCheck check = check_at(stream, 0, &sink);
    ASSERT_TRUE(check.ok) << "size " << size << ": " << check.problem;
    EXPECT_EQ(check.consumed_length, stream.size()) << "size " << size;
    EXPECT_EQ(check.declared_size, size);
    EXPECT_EQ(decoded, data) << "size " << size;
  }
}

TEST(MemoryStreams, ListsBackToBackStreamsAndStopsAtTrailingBytes) {
  std::vector<uint8_t> image = {9, 9, 9};  // bytes before the first stream
  std::vector<size_t> sizes = {5000, 0, 70000, 1};
  std::vector<uint64_t> offsets;
  for (size_t size : sizes) {
    offsets.push_back(image.size());
    std::vector<uint8_t> stream = compressed(mixed_bytes(size, 7));
    image.insert(image.end(), stream.begin(), stream.end());
  }
  uint64_t end = image.size();
  const char tail[] = "trailing bytes";
  image.insert(image.end(), tail, tail + sizeof tail - 1);

  MemorySource source(image);
  StreamListing listing = list_streams(package_codec(), source, 3);
  ASSERT_EQ(listing.streams.size(), sizes.size());
  for (size_t i = 0; i < sizes.size(); ++i) {
    EXPECT_EQ(listing.streams[i].offset, offsets[i]);
    EXPECT_EQ(listing.streams[i].size, sizes[i]);
  }
  EXPECT_EQ(listing.end_offset, end);
  EXPECT_FALSE(listing.stopped_by.ok);
  EXPECT_NE(listing.stopped_by.problem.find("no block signature at offset " + std::to_string(end)), std::string::npos)
      << listing.stopped_by.problem;

  image.resize(end);  // the last stream ends the file: a clean end
  MemorySource cut(image);
  listing = list_streams(package_codec(), cut, 3);
  EXPECT_EQ(listing.streams.size(), sizes.size());
  EXPECT_TRUE(listing.stopped_by.ok);
}

TEST(MemoryStreams, NamesTheFaultAndWhereItLies) {
  std::vector<uint8_t> data = mixed_bytes(40000, 3);
  const std::vector<uint8_t> good = compressed(data);
  ASSERT_GT(good.size(), static_cast<size_t>(SIZE_BLOCK_LENGTH + BLOCK_SIZE + 100));
  const uint64_t second_block = SIZE_BLOCK_LENGTH + BLOCK_SIZE;
  struct Case {
    const char *what;
    std::vector<uint8_t> image;
    uint64_t offset;
    const char *expected;
  };
  std::vector<Case> cases;
  auto damaged = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> copy = good;
    copy[at] = value;
    return copy;
  };
  cases.push_back({"data byte of the second data block", damaged(second_block + 50, good[second_block + 50] ^ 1), 0,
                   "checksum mismatch in the block at offset 10250"});
  cases.push_back(
      {"signature of the first data block", damaged(SIZE_BLOCK_LENGTH, 0), 0, "no block signature at offset 10"});
  cases.push_back({"size block length", damaged(4, 9), 0, "at offset 0"});
  cases.push_back({"cut inside the second data block",
                   std::vector<uint8_t>(good.begin(), good.begin() + second_block + 100), 0,
                   "file ends inside the block at offset 10250"});
  cases.push_back({"offset past the end", good, good.size() + 5, "beyond the end of the file"});
  cases.push_back({"not a stream at all", std::vector<uint8_t>(64, 'x'), 0, "no block signature at offset 0"});
  std::vector<uint8_t> huge = good;
  huge[9] = 0x80;  // declared size 0x80xxxxxx; fix the size block's checksum to match
  uint16_t sum = block_checksum(huge.data() + 6, 4);
  huge[2] = static_cast<uint8_t>(sum);
  huge[3] = static_cast<uint8_t>(sum >> 8);
  cases.push_back({"size above 0x7FFFFFFF", huge, 0, "impossible uncompressed size"});

  for (const Case &c : cases) {
    StreamCheck check = check_at(c.image, c.offset, nullptr);
    EXPECT_FALSE(check.ok) << c.what;
    EXPECT_NE(check.problem.find(c.expected), std::string::npos) << c.what << ": " << check.problem;
  }
}

// compress relies on this to refuse an input that shrank after its size was
// taken: the stream's size block would disagree with its data.
TEST(MemoryStreams, AnInputShorterThanItsCountIsAnError) {
  std::vector<uint8_t> data = mixed_bytes(100, 4), stream;
  MemorySource source(data);
  VectorSink sink(&stream);
  EXPECT_FALSE(package_codec().encode(source, 0, 1000, sink, false, nullptr).ok);
}

TEST(MemoryStreams, ReportsAFailedWriteAsSuch) {
  std::vector<uint8_t> stream = compressed(mixed_bytes(30000, 5));
  BrokenSink broken;
  StreamCheck check = check_at(stream, 0, &broken);
  EXPECT_FALSE(check.ok);
  EXPECT_TRUE(check.write_failed);
}

}  // namespace
