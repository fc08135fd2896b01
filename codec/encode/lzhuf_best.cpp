// LZHUF encoder with a price-based optimal parse (compress_stream_best).
//
// The bit stream is the ordinary one; only the choice of items differs from
// the greedy parse of lzhuf_encode.cpp. The input is parsed in blocks:
//   1. A match finder gives, for every position, each match length 3..60
//      with the nearest position that reaches it.
//   2. Every symbol is priced at its code length in the adaptive tree as it
//      stands at the block's start; an offset at its prefix code plus 6 bits.
//   3. The cheapest sequence of items over the block (plus a margin, so the
//      block's end does not cut a good match short) is found by a shortest
//      path over the positions.
//   4. The block's items go through the real adaptive coder, which updates
//      the tree as usual, so the next block is priced with the new tree.
//
// The text is the input behind LEAD_SPACES spaces, as the decoder's window
// holds spaces in front of the first byte; a text position t is input byte
// t - LEAD_SPACES. Positions are 32-bit unsigned (an input is below 2^31).
#include <math.h>
#include <string.h>

#include "codec/common/huffman.h"
#include "codec/common/lzhuf.h"
#include "codec/common/position_tables.h"
#include "codec/common/stream_bytes.h"
#include "codec/encode/lzhuf_encoder.h"

namespace {

enum : int32_t {
  MAX_DISTANCE = WINDOW_SIZE,  // offset 4095: the byte 4096 positions back
  LEAD_SPACES = LOOKAHEAD_SIZE,
  MAX_PAIRS = LOOKAHEAD_SIZE - MATCH_THRESHOLD,  // one per length 3..60 at most
  // Parse blocks: items that start in the first PARSE_BLOCK positions are
  // coded; the path is planned PARSE_MARGIN positions further.
  PARSE_BLOCK = 1024,
  PARSE_MARGIN = 256,
  PARSE_SPAN = PARSE_BLOCK + PARSE_MARGIN,
  // Matches are kept per position in a ring that covers every position a
  // parse can still look at (a block starts at most 59 past PARSE_BLOCK).
  MATCH_RING = 2048,
  // Text buffer: history for the farthest match, plus the span being parsed,
  // plus a 60-byte look-ahead and a zeroed pad behind the end of the input.
  TEXT_SIZE = 1 << 16,
  TEXT_PAD = LOOKAHEAD_SIZE + 8,
  // Match finder: binary trees, newest position at the root, over the
  // positions of each 3-byte hash.
  HASH_BITS = 15,
  TREE_RING = 2 * WINDOW_SIZE,  // > MAX_DISTANCE: a live node's links are its own
  SEARCH_DEPTH = 256,
};
static_assert(MATCH_RING >= PARSE_SPAN + LOOKAHEAD_SIZE, "match ring too small");
static_assert(TEXT_SIZE >= 4 * (MAX_DISTANCE + PARSE_SPAN + TEXT_PAD), "text buffer too small");

const uint32_t NO_POSITION = 0xC0000000u;  // farther than MAX_DISTANCE from any position

struct MatchPair {
  uint8_t length;     // 3..60
  uint16_t distance;  // 1..4096
};

struct BestEncoder {
  // Text: text[i] is text position text_base + i; text_end is one past the
  // last input byte read so far.
  uint8_t text[TEXT_SIZE + TEXT_PAD];
  uint32_t text_base;
  uint32_t text_end;
  bool input_ended;

  // Match finder.
  uint32_t hash_head[1 << HASH_BITS];
  uint32_t tree[2 * TREE_RING];  // [2k] smaller, [2k + 1] larger subtree
  uint32_t next_insert;          // first text position not yet in the trees

  // Matches found per position, by position modulo MATCH_RING.
  MatchPair pairs[MATCH_RING][MAX_PAIRS];
  uint8_t pair_count[MATCH_RING];

  // Prices in bits.
  uint16_t symbol_bits[SYMBOL_COUNT];  // in 1/16 bits
  uint8_t node_depth[NODE_COUNT];

  // Shortest path over one span: cost to reach each position and the item
  // that reaches it (length 1 = literal).
  uint32_t cost[PARSE_SPAN + 1];
  uint8_t step_length[PARSE_SPAN + 1];
  uint16_t step_distance[PARSE_SPAN + 1];
  uint16_t path[PARSE_SPAN + 1];  // chosen end positions, last first

  // The plan the coder will code, the cheapest found for the span.
  struct KeptPlan {
    int32_t items;
    uint16_t path[PARSE_SPAN + 1];
    uint16_t distance[PARSE_SPAN + 1];  // by end position
  } kept;
  HuffmanModel saved_model;
};

BestEncoder best;

}  // namespace

int32_t best_plan_rounds = 1;

namespace {

inline const uint8_t *text_at(uint32_t position) { return best.text + (position - best.text_base); }

// ---- Text -------------------------------------------------------------------

// Makes text positions up to `wanted` (exclusive) readable, or all of the
// input when it ends before; keeps MAX_DISTANCE positions of history in
// front of `keep_from`. Behind the end of the input the pad reads as zeros.
void read_text(uint32_t wanted, uint32_t keep_from) {
  BestEncoder &e = best;
  if (e.input_ended || wanted <= e.text_end) return;
  if (wanted - e.text_base > TEXT_SIZE) {
    uint32_t new_base = keep_from - MAX_DISTANCE - 1;
    memmove(e.text, e.text + (new_base - e.text_base), e.text_end - new_base);
    e.text_base = new_base;
  }
  uint32_t limit = e.text_base + TEXT_SIZE;
  while (e.text_end < limit) {
    int32_t byte = stream_get_byte();
    if (byte < 0) {
      e.input_ended = true;
      memset(e.text + (e.text_end - e.text_base), 0, TEXT_PAD);
      return;
    }
    e.text[e.text_end - e.text_base] = static_cast<uint8_t>(byte);
    e.text_end++;
  }
}

// ---- Match finder -----------------------------------------------------------

inline uint32_t hash3(const uint8_t *p) {
  uint32_t v = static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
  return (v * 2654435761u) >> (32 - HASH_BITS);
}

// Inserts position t as the root of its hash's tree and records its matches:
// walking down from the newest position, each match longer than all before
// it is the nearest of its length. Reads 60 bytes from t (the pad stands in
// behind the input's end; such matches are cut when they are used).
void find_matches(uint32_t t) {
  BestEncoder &e = best;
  const uint8_t *key = text_at(t);
  uint32_t h = hash3(key);
  uint32_t candidate = e.hash_head[h];
  e.hash_head[h] = t;
  uint32_t *smaller = &e.tree[2 * (t % TREE_RING)];
  uint32_t *larger = smaller + 1;
  int32_t smaller_length = 0, larger_length = 0;
  int32_t longest = MATCH_THRESHOLD;
  MatchPair *out = e.pairs[t % MATCH_RING];
  int32_t count = 0;
  for (int32_t depth = SEARCH_DEPTH;; depth--) {
    uint32_t distance = t - candidate;
    if (distance > MAX_DISTANCE || depth == 0) {
      *smaller = *larger = NO_POSITION;
      break;
    }
    uint32_t *links = &e.tree[2 * (candidate % TREE_RING)];
    const uint8_t *other = text_at(candidate);
    int32_t length = smaller_length < larger_length ? smaller_length : larger_length;
    while (length < LOOKAHEAD_SIZE && other[length] == key[length]) length++;
    if (length > longest) {
      longest = length;
      out[count].length = static_cast<uint8_t>(length);
      out[count].distance = static_cast<uint16_t>(distance);
      count++;
    }
    if (length == LOOKAHEAD_SIZE) {  // same 60 bytes: t takes the node's place
      *smaller = links[0];
      *larger = links[1];
      break;
    }
    if (other[length] < key[length]) {
      *smaller = candidate;
      smaller = &links[1];
      candidate = links[1];
      smaller_length = length;
    } else {
      *larger = candidate;
      larger = &links[0];
      candidate = links[0];
      larger_length = length;
    }
  }
  e.pair_count[t % MATCH_RING] = static_cast<uint8_t>(count);
}

// ---- Prices -------------------------------------------------------------------

// Price of every symbol in the current tree, in 1/16 bits: its code length,
// or (fractional) the information its weight carries, log2(root / weight).
// A parent sits above its children in the node array, so depths fill in
// from the root down.
void measure_symbols(bool fractional) {
  BestEncoder &e = best;
  const HuffmanModel &m = huffman_model;
  e.node_depth[ROOT_NODE] = 0;
  for (int32_t x = ROOT_NODE - 1; x >= 0; x--) e.node_depth[x] = static_cast<uint8_t>(e.node_depth[m.parent[x]] + 1);
  for (int32_t s = 0; s < SYMBOL_COUNT; s++) {
    int32_t leaf = m.parent[NODE_COUNT + s];
    double bits = fractional ? log2(static_cast<double>(m.weight[ROOT_NODE]) / m.weight[leaf]) : e.node_depth[leaf];
    e.symbol_bits[s] = static_cast<uint16_t>(16 * bits + 0.5);
  }
}

inline uint32_t offset_bits(uint32_t distance) { return 16 * (POSITION_CODE_LENGTH[(distance - 1) >> 6] + 6u); }

// ---- Parse ----------------------------------------------------------------------

// Cheapest items from `start` over `span` positions; returns how many there
// are, their end positions (relative to start) in e.path from last to first.
int32_t plan(uint32_t start, int32_t span) {
  BestEncoder &e = best;
  const uint8_t *bytes = text_at(start);
  e.cost[0] = 0;
  for (int32_t i = 1; i <= span; i++) e.cost[i] = 0xFFFFFFFFu;
  for (int32_t i = 0; i < span; i++) {
    uint32_t here = e.cost[i];
    uint32_t literal = here + e.symbol_bits[bytes[i]];
    if (literal < e.cost[i + 1]) {
      e.cost[i + 1] = literal;
      e.step_length[i + 1] = 1;
    }
    const MatchPair *pair = e.pairs[(start + i) % MATCH_RING];
    int32_t count = e.pair_count[(start + i) % MATCH_RING];
    int32_t length = MATCH_THRESHOLD + 1;
    int32_t room = span - i;
    for (int32_t k = 0; k < count && length <= room; k++) {
      uint32_t base = here + offset_bits(pair[k].distance);
      int32_t last = pair[k].length < room ? pair[k].length : room;
      for (; length <= last; length++) {
        uint32_t price = base + e.symbol_bits[length + MATCH_SYMBOL_BASE];
        if (price < e.cost[i + length]) {
          e.cost[i + length] = price;
          e.step_length[i + length] = static_cast<uint8_t>(length);
          e.step_distance[i + length] = pair[k].distance;
        }
      }
    }
  }
  int32_t items = 0;
  for (int32_t at = span; at > 0; at -= e.step_length[at]) e.path[items++] = static_cast<uint16_t>(at);
  return items;
}

// The bits (in 1/16) the kept plan costs when coded item by item with the
// adaptive model as it stands; the model is put back. With measure_after,
// the prices the model would then have are left in symbol_bits.
uint32_t simulate_kept(uint32_t start, bool measure_after, bool fractional) {
  BestEncoder &e = best;
  HuffmanModel &m = huffman_model;
  const uint8_t *bytes = text_at(start);
  memcpy(&e.saved_model, &m, sizeof m);
  uint32_t bits = 0;
  int32_t at = 0;
  for (int32_t k = e.kept.items - 1; k >= 0; k--) {
    int32_t end = e.kept.path[k];
    int32_t symbol = end - at == 1 ? bytes[at] : end - at + MATCH_SYMBOL_BASE;
    if (end - at > 1) bits += offset_bits(e.kept.distance[end]);
    for (int32_t x = m.parent[NODE_COUNT + symbol]; x != ROOT_NODE; x = m.parent[x]) bits += 16;
    huffman_update(symbol);
    at = end;
  }
  if (measure_after) measure_symbols(fractional);
  memcpy(&m, &e.saved_model, sizeof m);
  return bits;
}

void keep_plan(int32_t items) {
  BestEncoder &e = best;
  e.kept.items = items;
  for (int32_t k = 0; k < items; k++) {
    e.kept.path[k] = e.path[k];
    e.kept.distance[e.path[k]] = e.step_distance[e.path[k]];
  }
}

// The plan priced with the code lengths the model has now. With more
// rounds, further plans are priced from the model as it stands (even
// rounds) or as it would stand after the kept plan (odd rounds), from the
// third round on by the weights' information rather than code lengths;
// the plan that really codes smallest is kept.
void plan_span(uint32_t start, int32_t span, int32_t rounds) {
  measure_symbols(false);
  keep_plan(plan(start, span));
  if (rounds == 1) return;
  BestEncoder &e = best;
  BestEncoder::KeptPlan saved;
  uint32_t kept_bits = simulate_kept(start, false, false);
  for (int32_t round = 1; round < rounds; round++) {
    bool fractional = round >= 2;
    if (round % 2 == 1)
      simulate_kept(start, true, fractional);
    else
      measure_symbols(fractional);
    memcpy(&saved, &e.kept, sizeof saved);
    keep_plan(plan(start, span));
    uint32_t bits = simulate_kept(start, false, false);
    if (bits < kept_bits)
      kept_bits = bits;
    else
      memcpy(&e.kept, &saved, sizeof saved);
  }
}

// Codes the kept items that start before `limit` (relative to start);
// returns the position after the last one coded.
uint32_t code_items(uint32_t start, int32_t limit) {
  BestEncoder &e = best;
  const uint8_t *bytes = text_at(start);
  int32_t at = 0;
  for (int32_t k = e.kept.items - 1; k >= 0 && at < limit; k--) {
    int32_t end = e.kept.path[k];
    int32_t length = end - at;
    if (length == 1) {
      encode_symbol(bytes[at]);
    } else {
      encode_symbol(length + MATCH_SYMBOL_BASE);
      encode_position(e.kept.distance[end] - 1u);
    }
    at = end;
  }
  return start + static_cast<uint32_t>(at);
}

}  // namespace

void lzhuf_encode_best(void) {
  BestEncoder &e = best;
  if (stream_write_size() == 0) return;
  huffman_init();
  for (uint32_t &head : e.hash_head) head = NO_POSITION;
  e.text_base = 0;
  memset(e.text, ' ', LEAD_SPACES);
  e.text_end = LEAD_SPACES;
  e.input_ended = false;
  e.next_insert = 0;
  uint32_t start = LEAD_SPACES;
  for (;;) {
    read_text(start + PARSE_SPAN + TEXT_PAD, start < e.next_insert ? start : e.next_insert);
    if (start >= e.text_end) break;
    uint32_t left = e.text_end - start;
    bool last = e.input_ended && left <= static_cast<uint32_t>(PARSE_SPAN);
    int32_t span = last ? static_cast<int32_t>(left) : PARSE_SPAN;
    for (; e.next_insert < start + static_cast<uint32_t>(span); e.next_insert++) find_matches(e.next_insert);
    plan_span(start, span, best_plan_rounds);
    start = code_items(start, last ? span : PARSE_BLOCK);
  }
  flush_bits();
}
