// The code pages' tables (generated: package/codepage_tables.cpp).
#pragma once
#include <stdint.h>

enum { CODEPAGE_TABLE_COUNT = 10 };

struct CodepageTable {
  int codepage;
  uint16_t characters[128];  // the character of bytes 0x80..0xFF; 0 = none
  uint8_t upper[128];        // the byte of each one's upper-case form
};

extern const CodepageTable CODEPAGE_TABLES[CODEPAGE_TABLE_COUNT];
