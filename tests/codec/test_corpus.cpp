// The benchmark's corpus through both parses and back: multi-megabyte
// streams of every kind of content, and the sizes the figures in
// bench/README.md rest on.
#include <gtest/gtest.h>

#include "bench/corpus.h"
#include "tests/support/memory_files.h"

namespace {

const size_t DEFAULT_TOTAL = 1501073;  // the greedy parse over the whole corpus

}  // namespace

TEST(CorpusRoundTrip, DefaultAndBest) {
  size_t totals[2] = {0, 0};
  for (const CorpusFile &file : generate_corpus())
    for (bool best : {false, true}) {
      int ok = 0;
      std::vector<uint8_t> packed = best ? encode_bytes_best(file.bytes, &ok) : encode_bytes(file.bytes, &ok);
      ASSERT_EQ(ok, 1) << file.name;
      DecodeResult r = decode_bytes(packed);
      ASSERT_EQ(r.ok, 1) << file.name << (best ? " best" : " default");
      ASSERT_EQ(static_cast<size_t>(r.consumed_length), packed.size()) << file.name;
      ASSERT_TRUE(r.output == file.bytes) << file.name << (best ? " best" : " default") << ": output differs";
      totals[best] += packed.size();
    }
  EXPECT_EQ(totals[0], DEFAULT_TOTAL);
  EXPECT_LE(totals[1], totals[0] - totals[0] * 45 / 1000) << "--best is less than 4.5% smaller";
}
