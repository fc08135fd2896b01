// The names a package may give its files. The installer writes every payload
// file into the Windows directory under a name from the record, and the tools
// write them into a folder of the user's choosing, so a name must be a plain
// file name there on Windows and on POSIX systems: nothing that leads out of
// the folder or that the file systems refuse.
#pragma once
#include <stdint.h>

enum FileNameFault {
  FILE_NAME_PLAIN = 0,
  FILE_NAME_EMPTY,
  FILE_NAME_DIRECTORY,  // "." or ".."
  FILE_NAME_TOO_LONG,   // more than 63 characters: no room in a text slot
  FILE_NAME_SEPARATOR,  // '\' or '/'
  FILE_NAME_COLON,      // a drive or an alternate data stream
  FILE_NAME_CONTROL,    // a character below 0x20, or 0x7F
  FILE_NAME_FORBIDDEN,  // one of < > " | ? *
  FILE_NAME_DEVICE,     // CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, CLOCK$, CONIN$
                        // or CONOUT$, in any case, with or without an extension:
                        // Windows opens the device, not a file
  FILE_NAME_TRAILING,   // ends in a dot or a space, which Windows drops: the file
                        // it creates has another name
};

// FILE_NAME_PLAIN when name (zero-terminated) is a plain file name, otherwise
// the first fault found.
FileNameFault file_name_fault(const char *name);

// 1 when Windows would take a and b for one file: equal once letters are
// folded and trailing dots and spaces dropped. Letters are ASCII and the
// 0xC0..0xFF block, where the Windows code pages keep their capitals 0x20
// below the small letters; folding that whole block may take two names for
// one that are not (a refusal, never a file written over). The package tool,
// which knows the code page, also folds the letters elsewhere in it.
int file_names_clash(const char *a, const char *b);

// 1 when a and b hold the same text with letters folded as file_names_clash
// folds them: the one case-folded comparison of the installer and the tools.
int text_equal_folded(const char *a, const char *b);

// 1 when name has the 8.3 shape the installer registers as it is: at most 8
// name characters (letters, digits, '_'), optionally one separator (any
// other character from '.' to 0x7F: the dot, but also '/', ':', '~' and the
// like) and at most 3 more. Any other name is registered by its 8.3
// alternate name, which the file system makes.
int file_name_has_short_shape(const char *name);
