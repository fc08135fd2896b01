// Registering the main file as the system's screen saver in system.ini.
#include "installer/registration.h"

#include "installer/config.h"
#include "installer/output_files.h"
#include "platform/win32.h"

namespace {

enum { NAME_BUDGET = 8, EXTENSION_BUDGET = 4 };

int is_name_character(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// 1 when name is at most 8 name characters, optionally followed by one
// separator (any other character from '.' to 0x7F: the dot, but also '/',
// ':', '~' and the like) and at most 3 more name characters.
int has_short_shape(const char *name) {
  int budget = NAME_BUDGET;
  int separator_seen = 0;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p != 0; ++p) {
    if (!is_name_character(*p)) {
      if (*p < 0x2E || *p > 0x7F || separator_seen) return 0;
      separator_seen = 1;
      budget = EXTENSION_BUDGET;
    }
    if (budget == 0) return 0;
    --budget;
  }
  return 1;
}

}  // namespace

const char *short_install_path(const char *name) {
  if (has_short_shape(name)) return windows_dir_path(name);
  const char *long_path = windows_dir_path(name);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(long_path, &found);
  if (search == INVALID_HANDLE_VALUE) return long_path;
  FindClose(search);
  found.cAlternateFileName[sizeof(found.cAlternateFileName) - 1] = 0;
  if (found.cAlternateFileName[0] == 0) return long_path;
  return windows_dir_path(found.cAlternateFileName);
}

int register_screen_saver(void) {
  const char *path = short_install_path(install_config.main_file_name);
  // A saver that system.ini does not name, or screen saving left off, is not
  // an installed screen saver: the install fails instead of saying done.
  if (!WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", path, "system.ini")) return 0;
  if (!SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, NULL, SPIF_UPDATEINIFILE)) return 0;
  HWND display_properties = FindWindowA(NULL, DISPLAY_PROPERTIES_TITLE);
  if (display_properties != NULL) PostMessageA(display_properties, WM_QUIT, 0, 0);
  return 1;
}
