// The Windows ANSI code pages a record's names and texts are written in. The
// record holds 8-bit text; the faces take Unicode (UTF-8 on Linux and in the
// browser) or the system's own code page (Windows), and convert here, from
// tables in the source: 874 and 1250 to 1258.
#pragma once
#include <stdint.h>

#include <string>

enum { DEFAULT_CODEPAGE = 1252 };

// Whether the code page has a table here.
bool codepage_known(int codepage);
// "874, 1250, 1251, ..., 1258", for messages.
std::string known_codepages();

// UTF-8 text in the code page. False when the text is not UTF-8 or holds a
// character the code page has no byte for; *bad is then that character
// (U+FFFD for bytes that are not UTF-8). ASCII passes through unchanged.
bool utf8_to_codepage(const std::string &utf8, int codepage, std::string *out, uint32_t *bad);
// UTF-16 text in the code page, with the same rule.
bool utf16_to_codepage(const std::u16string &utf16, int codepage, std::string *out, uint32_t *bad);

// The code page's text as UTF-8 or UTF-16; a byte the code page leaves
// undefined becomes U+FFFD.
std::string codepage_to_utf8(const std::string &text, int codepage);
std::u16string codepage_to_utf16(const std::string &text, int codepage);

// UTF-8 and UTF-16 into each other; what is not well-formed becomes U+FFFD.
std::u16string utf8_to_utf16(const std::string &utf8);
std::string utf16_to_utf8(const std::u16string &utf16);

// The byte of c's upper-case form in the code page (c itself when it has
// none): file names compare as Windows compares them.
uint8_t codepage_upper(uint8_t c, int codepage);

// "'É' (U+00C9)", for messages about a character.
std::string describe_character(uint32_t character);
