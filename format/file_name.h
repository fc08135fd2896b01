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
  FILE_NAME_DEVICE,     // CON, PRN, AUX, NUL, COM1-COM9 or LPT1-LPT9, in any
                        // case, with or without an extension: Windows opens
                        // the device, not a file
};

// FILE_NAME_PLAIN when name (zero-terminated) is a plain file name, otherwise
// the first fault found.
FileNameFault file_name_fault(const char *name);
