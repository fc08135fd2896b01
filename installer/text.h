// Tiny zero-terminated text helpers for code that links no runtime library.
#pragma once
#include <stdint.h>

// Length of text, counting at most limit characters.
inline int32_t text_length(const char *text, int32_t limit) {
  int32_t n = 0;
  while (n < limit && text[n] != 0) ++n;
  return n;
}

// Copies text with its terminating zero into out at offset at, when it fits
// in out_size bytes. Returns the new end offset (the terminating zero's
// index), or -1 when it does not fit (out is then left unterminated past at).
inline int32_t text_append(char *out, int32_t at, int32_t out_size, const char *text) {
  for (int32_t i = 0;; ++i) {
    if (at + i >= out_size) return -1;
    out[at + i] = text[i];
    if (text[i] == 0) return at + i;
  }
}

// 1 when a and b hold the same text, case-sensitively.
inline int text_equal(const char *a, const char *b) {
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}
