// Names and texts as a record holds them: why a name is not a plain file
// name, whether two names are one file, the texts a package gets when its
// author gives none, and converting what a face was given into the record's
// code page.
#pragma once
#include <stdint.h>

#include <string>

#include "format/record.h"

// The texts a package gets unless its author gives others.
extern const char DEFAULT_FAILURE_TEXT[];     // "The screen saver could not be installed."
extern const char DEFAULT_BAD_HEADER_TEXT[];  // "This installer is damaged."

// The saver's name as the texts call it: the main file's installed name
// without its extension, written as a word when it is all capitals or all
// small letters (STARFIELD.SCR and starfield.scr give "Starfield"), kept as
// it is when it mixes both. In the record's code page.
std::string display_name(const std::string &main_name);

// "<Name> is now your screen saver.", cut so that the text fits its slot.
std::string default_done_text(const std::string &main_name);

// nullptr when name is a plain file name (format/file_name.h); otherwise why
// it is not, in words.
const char *file_name_problem(const std::string &name);

// Whether Windows would take a and b (in the code page) for one file: the
// installer's own rule, and letters folded by the code page as well.
bool names_are_one_file(const std::string &a, const std::string &b, int codepage);

// The installer registers the main file by its 8.3 alternate name unless
// the name has the 8.3 shape itself (format/file_name.h). The file system
// makes that name; the likely one, as Windows forms the first of them
// ("Kestrune Night Sky.scr" -> "KESTRU~1.SCR"), or "" when the name needs none.
std::string likely_short_name(const std::string &name);

// The text slot's text up to its zero (all 64 bytes when it has none).
std::string text_slot_value(const InstallConfig &record, int32_t offset);

// What the face gave (UTF-8, or bytes already in the code page) as the
// record's bytes. False with *error ("--done: 'Ω' (U+03A9) has no place in
// code page 1252") when a character does not fit the code page.
enum TextForm { TEXT_UTF8, TEXT_CODEPAGE_BYTES };
bool text_in_codepage(const std::string &given, TextForm form, int codepage, const char *option, std::string *out,
                      std::string *error);
