#include "tests/codec/test_data.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/codec/item_codec.h"
#include "tests/support/memory_files.h"

namespace {

const char *const WORDS[] = {"the ", "screen ", "saver ",  "window ", "install ",  "file ",
                             "of ",  "and ",    "to ",     "system ", "display ",  "bytes ",
                             "a ",   "block ",  "stream ", "\r\n",    "Kestrune ", "is "};

void append_random(std::vector<uint8_t> &out, size_t n, std::mt19937 &rng) {
  for (size_t i = 0; i < n; i++) out.push_back(static_cast<uint8_t>(rng()));
}

void append_runs(std::vector<uint8_t> &out, size_t n, std::mt19937 &rng) {
  while (n > 0) {
    size_t run = 1 + rng() % 300;
    if (run > n) run = n;
    out.insert(out.end(), run, static_cast<uint8_t>(rng() % 4));
    n -= run;
  }
}

void append_text(std::vector<uint8_t> &out, size_t n, std::mt19937 &rng) {
  size_t end = out.size() + n;
  while (out.size() < end) {
    const char *w = WORDS[rng() % (sizeof WORDS / sizeof WORDS[0])];
    for (; *w && out.size() < end; w++) out.push_back(static_cast<uint8_t>(*w));
  }
}

// Code-like bytes: a few frequent opcodes, little-endian addresses that drift
// slowly, zero padding and embedded strings.
void append_executable(std::vector<uint8_t> &out, size_t n, std::mt19937 &rng) {
  static const uint8_t OPCODES[] = {0x8B, 0x89, 0xE8, 0x55, 0x5D, 0xC3, 0x83, 0xFF, 0x50, 0x6A};
  size_t end = out.size() + n;
  uint32_t address = 0x00401000;
  while (out.size() < end) {
    switch (rng() % 6) {
      case 0: out.insert(out.end(), 4 + rng() % 28, 0); break;
      case 1: append_text(out, 8 + rng() % 24, rng); break;
      default:
        out.push_back(OPCODES[rng() % sizeof OPCODES]);
        address += rng() % 64;
        for (int i = 0; i < 4; i++) out.push_back(static_cast<uint8_t>(address >> (8 * i)));
    }
  }
  out.resize(end);
}

}  // namespace

std::vector<uint8_t> make_data(DataKind kind, size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out;
  out.reserve(size + 64);
  switch (kind) {
    case DataKind::random: append_random(out, size, rng); break;
    case DataKind::runs: append_runs(out, size, rng); break;
    case DataKind::text: append_text(out, size, rng); break;
    case DataKind::executable: append_executable(out, size, rng); break;
    case DataKind::mixed:
      while (out.size() < size) {
        size_t piece = 1 + rng() % 20000;
        if (piece > size - out.size()) piece = size - out.size();
        switch (rng() % 4) {
          case 0: append_random(out, piece, rng); break;
          case 1: append_runs(out, piece, rng); break;
          case 2: append_text(out, piece, rng); break;
          default: append_executable(out, piece, rng); break;
        }
      }
      break;
  }
  out.resize(size);
  return out;
}

const char *data_kind_name(DataKind kind) {
  switch (kind) {
    case DataKind::random: return "random";
    case DataKind::runs: return "runs";
    case DataKind::text: return "text";
    case DataKind::executable: return "executable";
    case DataKind::mixed: return "mixed";
  }
  return "?";
}

// Random bytes barely compress and prefixes of them code as prefixes of the
// bit stream (about 1.1 bytes per byte), so the prefix length is walked
// towards the target; a walk that jumps over it tries the next seed.
std::vector<uint8_t> input_with_bit_length(size_t target) {
  for (uint32_t seed = 1; seed < 10; seed++) {
    std::vector<uint8_t> base = make_data(DataKind::random, target + 4000, seed);
    long size = static_cast<long>(target * 8 / 9), last_step = 0;
    for (int tries = 0; tries < 80; tries++) {
      std::vector<uint8_t> input(base.begin(), base.begin() + size);
      long diff = static_cast<long>(target) - static_cast<long>(unwrap_container(encode_bytes(input)).size());
      if (diff == 0) return input;
      long step = diff > 8 || diff < -8 ? diff * 7 / 8 : (diff > 0 ? 1 : -1);
      if (step == -last_step && (step == 1 || step == -1)) break;
      last_step = step;
      size += step;
    }
  }
  ADD_FAILURE() << "no input found for bit stream length " << target;
  return {};
}
