// "0x1F4" for the package library's messages.
#pragma once
#include <stdint.h>

#include <string>

inline std::string hex_text(uint64_t value) {
  const char digits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), digits[value & 0xF]);
    value >>= 4;
  } while (value);
  return "0x" + text;
}
