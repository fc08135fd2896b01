// Registering the main file as the system's screen saver in system.ini.
#include "installer/registration.h"

#include "format/file_name.h"
#include "installer/config.h"
#include "installer/output_files.h"
#include "platform/win32.h"

const char *short_install_path(const char *name) {
  if (file_name_has_short_shape(name)) return windows_dir_path(name);
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
  ask_display_properties_to_quit();
  return 1;
}
