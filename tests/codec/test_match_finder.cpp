// The encoder's parse and match trees against a plain match finder: the
// same greedy parse, written the slow and obvious way (byte-by-byte
// comparisons, branches everywhere). The fast search must take exactly the
// same decisions and leave exactly the same trees, stale window bytes
// between streams included.
#include <gtest/gtest.h>
#include <string.h>

#include "codec/common/lzhuf.h"
#include "codec/encode/lzhuf_encoder.h"
#include "tests/codec/item_codec.h"
#include "tests/codec/test_data.h"
#include "tests/support/memory_files.h"

namespace {

const int NIL = 4096;

struct PlainMatchFinder {
  uint8_t win[WINDOW_SIZE + WINDOW_MIRROR];
  uint16_t left[WINDOW_SIZE + 1], right[WINDOW_SIZE + 1 + 256], parent[WINDOW_SIZE + 1];
  int match_length = 0, match_offset = 0;

  void insert(int r) {
    int cmp = 1;
    int p = WINDOW_SIZE + 1 + win[r];
    left[r] = right[r] = NIL;
    match_length = 0;
    for (;;) {
      uint16_t *link = cmp >= 0 ? right : left;
      if (link[p] == NIL) {
        link[p] = static_cast<uint16_t>(r);
        parent[r] = static_cast<uint16_t>(p);
        return;
      }
      p = link[p];
      int i;
      for (i = 1; i < LOOKAHEAD_SIZE; i++)
        if ((cmp = win[r + i] - win[p + i]) != 0) break;
      if (i > MATCH_THRESHOLD) {
        int distance = ((r - p) & WINDOW_MASK) - 1;
        if (i > match_length) {
          match_offset = distance;
          match_length = i;
          if (i >= LOOKAHEAD_SIZE) break;
        } else if (i == match_length && distance < match_offset) {
          match_offset = distance;
        }
      }
    }
    parent[r] = parent[p];
    left[r] = left[p];
    right[r] = right[p];
    parent[left[p]] = static_cast<uint16_t>(r);
    parent[right[p]] = static_cast<uint16_t>(r);
    if (right[parent[p]] == p)
      right[parent[p]] = static_cast<uint16_t>(r);
    else
      left[parent[p]] = static_cast<uint16_t>(r);
    parent[p] = NIL;
  }

  void remove(int p) {
    if (parent[p] == NIL) return;
    int q;
    if (right[p] == NIL) {
      q = left[p];
    } else if (left[p] == NIL) {
      q = right[p];
    } else {
      q = left[p];
      if (right[q] != NIL) {
        while (right[q] != NIL) q = right[q];
        right[parent[q]] = left[q];
        parent[left[q]] = parent[q];
        left[q] = left[p];
        parent[left[p]] = static_cast<uint16_t>(q);
      }
      right[q] = right[p];
      parent[right[p]] = static_cast<uint16_t>(q);
    }
    parent[q] = parent[p];
    if (right[parent[p]] == p)
      right[parent[p]] = static_cast<uint16_t>(q);
    else
      left[parent[p]] = static_cast<uint16_t>(q);
    parent[p] = NIL;
  }

  // Starts from the window the codec holds now, as the encoder does.
  std::vector<Item> parse(const std::vector<uint8_t> &in) {
    std::vector<Item> items;
    if (in.empty()) return items;
    memcpy(win, window, sizeof win);
    for (int i = WINDOW_SIZE + 1; i < WINDOW_SIZE + 1 + 256; i++) right[i] = NIL;
    for (int i = 0; i < WINDOW_SIZE; i++) parent[i] = NIL;
    size_t next = 0;
    int s = 0, r = FIRST_POSITION, count = 0;
    memset(win, ' ', FIRST_POSITION);
    while (count < LOOKAHEAD_SIZE && next < in.size()) win[r + count++] = in[next++];
    for (int i = 1; i <= LOOKAHEAD_SIZE; i++) insert(r - i);
    insert(r);
    while (count > 0) {
      if (match_length > count) match_length = count;
      if (match_length <= MATCH_THRESHOLD) {
        match_length = 1;
        items.push_back(Item::literal(win[r]));
      } else {
        items.push_back(Item::match(match_length, match_offset));
      }
      int advance = match_length, done = 0;
      for (; done < advance && next < in.size(); done++) {
        remove(s);
        win[s] = in[next];
        if (s < WINDOW_MIRROR) win[s + WINDOW_SIZE] = in[next];
        next++;
        s = (s + 1) & WINDOW_MASK;
        r = (r + 1) & WINDOW_MASK;
        insert(r);
      }
      for (; done < advance; done++) {
        remove(s);
        s = (s + 1) & WINDOW_MASK;
        r = (r + 1) & WINDOW_MASK;
        if (--count) insert(r);
      }
    }
    return items;
  }
};

PlainMatchFinder plain;

// Compresses input with the codec and with the plain finder; the items and
// the trees left behind must agree.
void expect_same_parse(const std::vector<uint8_t> &input, const std::string &what) {
  std::vector<Item> expected = plain.parse(input);
  std::vector<uint8_t> packed = encode_bytes(input);
  std::vector<Item> got = parse_items(unwrap_container(packed), static_cast<uint32_t>(input.size()));
  ASSERT_EQ(got.size(), expected.size()) << what;
  for (size_t i = 0; i < got.size(); i++)
    ASSERT_TRUE(got[i] == expected[i]) << what << ": item " << i << " is symbol " << got[i].symbol << " offset "
                                       << got[i].offset << ", expected symbol " << expected[i].symbol << " offset "
                                       << expected[i].offset;
  if (input.empty()) return;
  const LzhufDictionary &d = lzhuf_dictionary;
  for (int p = 0; p < WINDOW_SIZE; p++) {
    ASSERT_EQ(d.tree_parent[p], plain.parent[p]) << what << ": parent of " << p;
    if (plain.parent[p] == NIL) continue;
    ASSERT_EQ(d.tree_left[p], plain.left[p]) << what << ": left of " << p;
    ASSERT_EQ(d.tree_right[p], plain.right[p]) << what << ": right of " << p;
  }
  for (int c = 0; c < 256; c++)
    ASSERT_EQ(d.tree_right[TREE_ROOTS + c], plain.right[TREE_ROOTS + c]) << what << ": root " << c;
}

}  // namespace

// Streams of every kind and many sizes, back to back (each starts on the
// window bytes the previous one left), with decodes in between that rewrite
// the window the way an installer's extraction does.
TEST(MatchFinder, SameParseAndTreesAsPlainSearch) {
  const DataKind kinds[] = {DataKind::random, DataKind::runs, DataKind::text, DataKind::executable, DataKind::mixed};
  const size_t sizes[] = {1, 7, 59, 60, 61, 200, 4036, 4097, 9000, 70000};
  uint32_t seed = 1;
  for (size_t size : sizes)
    for (DataKind kind : kinds) {
      std::vector<uint8_t> input = make_data(kind, size, seed++);
      expect_same_parse(input, std::string(data_kind_name(kind)) + " size " + std::to_string(size));
      if (seed % 3 == 0) decode_bytes(encode_bytes(make_data(kind, 5000, seed)));
    }
}

// Strings that stress the tie-breaks and the replacement of equal strings:
// long runs, a short period, and near-repeats that differ only past byte 8.
TEST(MatchFinder, SameParseOnLongAndNearMatches) {
  std::vector<uint8_t> runs(20000, 'x');
  for (size_t i = 0; i < runs.size(); i += 777) runs[i] = 'y';
  expect_same_parse(runs, "runs with markers");

  std::vector<uint8_t> period;
  for (int i = 0; i < 30000; i++) period.push_back(static_cast<uint8_t>("abcab"[i % 5]));
  expect_same_parse(period, "period 5");

  std::vector<uint8_t> near;
  std::vector<uint8_t> line = bytes_of("0123456789abcdefghijklmnopqrstuvwxyz-0123456789ABCDEFGHIJKLMNOP");
  for (int i = 0; i < 600; i++) {
    std::vector<uint8_t> copy = line;
    copy[9 + (i * 7) % 50] = static_cast<uint8_t>('!' + i % 60);
    near.insert(near.end(), copy.begin(), copy.end());
  }
  expect_same_parse(near, "near repeats");
}
