// Where payload files go: the path builder for the Windows directory, output
// creation with its one retry, and the one output file slot.
#pragma once
#include <stdint.h>

#include "platform/win32.h"

enum { PATH_BUFFER_SIZE = 260, DISPLAY_PROPERTIES_WAIT_MS = 1000 };

#define DISPLAY_PROPERTIES_TITLE "Display Properties"

// The output file being written; INVALID_HANDLE_VALUE when none is open. At
// most one is open at a time: whoever opens the next one closes it first.
extern HANDLE output_file;

// Builds the Windows directory, a backslash (unless the directory already
// ends in one) and name in the one shared path buffer, which each call
// overwrites. Falls back to "c:\win95" when the directory cannot be read.
// Returns the empty text when name is not a plain file name
// (format/file_name.h) or when the path would not fit; nothing is ever built
// outside the Windows directory.
char *windows_dir_path(const char *name);

// Creates or truncates path for writing. When that fails and a "Display
// Properties" window is open (it may hold the screen saver), asks it to quit,
// waits 1000 ms and tries once more. Returns the handle, or
// INVALID_HANDLE_VALUE (at once, without the retry, for an empty path).
HANDLE create_output_file(const char *path);

// Asks an open "Display Properties" window (it may hold the screen saver) to
// quit, posting it WM_QUIT. Returns 1 when there was one, else 0.
int ask_display_properties_to_quit(void);

// Closes output_file if one is open.
void close_output_file(void);

// Closes output_file, if one is open, and deletes the file it was writing. A
// file cut short must not stand under its final name: it may be the saver an
// earlier install registered.
void discard_output_file(void);
