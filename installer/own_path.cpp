#include "installer/own_path.h"

#include "format/file_name.h"
#include "installer/text.h"
#include "platform/win32.h"

namespace {

enum { OWN_PATH_SIZE = 256 };
char own_path[OWN_PATH_SIZE];

}  // namespace

const char *own_module_path(void) {
  DWORD length = GetModuleFileNameA(NULL, own_path, OWN_PATH_SIZE);
  if (length == 0 || length >= OWN_PATH_SIZE) own_path[0] = 0;  // failed, or cut short
  return own_path;
}

const char *own_path_with_exe(void) {
  const char *argv0 = startup_argv0();
  own_path[0] = 0;
  if (argv0 == NULL) return own_path;
  int32_t end = text_append(own_path, 0, OWN_PATH_SIZE, argv0);
  if (end > 4 && !text_equal_folded(own_path + end - 4, ".exe"))
    end = text_append(own_path, end, OWN_PATH_SIZE, ".exe");
  if (end < 0) own_path[0] = 0;
  return own_path;
}
